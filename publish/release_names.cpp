#include "publish/release_names.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "portable/text/control_characters.hpp"
#include "portable/text/letter_case.hpp"
#include "portable/text/text_encoding.hpp"
#include "portable/transfer/download_names.hpp"

namespace qor::publish {
namespace {

// Windows opens a device for these in any folder, whatever the extension
// and trailing spaces before it.
bool is_device_name(std::string_view name) {
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  const std::string base = to_upper_text(name);
  constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kPlain.begin(), kPlain.end(), base) != kPlain.end()) return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::optional<std::string> refused_name(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return "names no file of its own";
  if (!is_valid_utf8(name)) return "the name is not UTF-8 text";
  if (holds_control_character(name)) return "a control character in the name";
  const auto bad = name.find_first_of("<>:\"/\\|?*");
  if (bad != std::string::npos) return std::string("\"") + name[bad] + "\" cannot stand in a name on Windows";
  if (name.back() == '.' || name.back() == ' ') return "Windows drops a final dot or space from a name";
  if (is_device_name(name)) return "Windows reads this name as a device";
  if (is_download_leftover_name(name)) return "the client removes files of this name as its own broken-off downloads";
  const std::string folded = fold_case_text(name);
  if (folded.starts_with(kUploadPrefix)) return "the upload gives names of this form to files going up";
  // A signed release's own files lie beside the package files, and the
  // client keeps what it accepted in its folder: a release file of such a
  // name would replace them.
  if (folded.starts_with("qor-release-") && (folded.ends_with(".manifest") || folded.ends_with(".sig")))
    return "signed releases publish their manifests and signatures under names of this form";
  if (folded == ".qor-release-accepted") return "the client keeps the signed release it accepted under this name";
  if (folded.ends_with(kKeyFileExtension)) return "a release's private key file: it is never published";
  return std::nullopt;
}

}  // namespace qor::publish
