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
  return std::nullopt;
}

}  // namespace qor::publish
