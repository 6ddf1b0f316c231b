#include "publish/publish_settings.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "portable/text/control_characters.hpp"

namespace qor::publish {
namespace {

constexpr std::array<std::string_view, 13> kCaptionKeys = {"lab6_0",    "lab6_1",   "lab6_2",   "lab6_3", "lab6_4",
                                                           "com6_1",    "com6_2",   "com6_3",   "com6_4", "col_head",
                                                           "col_thead", "col_list", "col_tlist"};
constexpr std::array<std::string_view, 4> kTransferKeys = {"se", "fo", "us", "pa"};

std::string trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return std::string(s.substr(first, last - first + 1));
}

template <std::size_t N>
bool one_of(const std::string& key, const std::array<std::string_view, N>& keys) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// A colour the client reads: a decimal number of 32 bits (0x00BBGGRR, or a
// negative system colour).
bool is_colour(const std::string& value) {
  std::size_t i = value.starts_with('-') ? 1 : 0;
  if (i == value.size() || value.size() - i > 10) return false;
  if (!std::all_of(value.begin() + static_cast<long>(i), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const long long n = std::stoll(value);
  return n >= -2147483648LL && n <= 4294967295LL;
}

}  // namespace

PublishSettings read_publish_settings(const std::string& text, const std::string& source, Findings& findings) {
  PublishSettings settings;
  enum class Section { None, Program, Transfer, Upload, Signing, InstallOnly, Captions } section = Section::None;
  KeyValues* captions = nullptr;
  std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  int line_no = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view raw(text.data() + start, end - start);
    start = end + 1;
    ++line_no;
    if (raw.ends_with('\r')) raw.remove_suffix(1);
    const std::string line = trimmed(raw);
    const std::string where = source + ":" + std::to_string(line_no);
    if (line.empty() || line[0] == '#' || line[0] == ';') {
      if (end == text.size()) break;
      continue;
    }
    if (line.front() == '[' && line.back() == ']') {
      const std::string name = trimmed(std::string_view(line).substr(1, line.size() - 2));
      captions = nullptr;
      if (name == "program")
        section = Section::Program;
      else if (name == "transfer")
        section = Section::Transfer;
      else if (name == "upload")
        section = Section::Upload;
      else if (name == "signing")
        section = Section::Signing;
      else if (name == "install-only")
        section = Section::InstallOnly;
      else if (name.starts_with("captions ") && !trimmed(std::string_view(name).substr(9)).empty()) {
        section = Section::Captions;
        const std::string language = trimmed(std::string_view(name).substr(9));
        auto found = std::find_if(settings.captions.begin(), settings.captions.end(),
                                  [&](const auto& entry) { return entry.first == language; });
        if (found == settings.captions.end()) {
          settings.captions.emplace_back(language, KeyValues{});
          captions = &settings.captions.back().second;
        } else {
          captions = &found->second;
        }
      } else {
        findings.error(where, "unknown section [" + name + "]");
        section = Section::None;
      }
      if (end == text.size()) break;
      continue;
    }
    if (holds_control_character(line)) {
      findings.error(where, "a control character in the line");
    } else if (section == Section::InstallOnly) {
      settings.install_only.push_back(line);
    } else {
      const auto eq = line.find('=');
      const std::string key = eq == std::string::npos ? line : trimmed(std::string_view(line).substr(0, eq));
      const std::string value = eq == std::string::npos ? "" : trimmed(std::string_view(line).substr(eq + 1));
      if (eq == std::string::npos) {
        findings.error(where, "expected \"key = value\"");
      } else if (value.find('|') != std::string::npos && section != Section::Program && section != Section::Upload &&
                 section != Section::Signing) {
        // The answers separate their fields with "|": the value would end there.
        findings.error(where, "\"|\" cannot stand in a value the client is told");
      } else if (section == Section::Program) {
        if (key == "main")
          settings.main_program = value;
        else if (key == "update")
          settings.update_program = value;
        else if (key == "charset" && (value == "utf-8" || value == "windows-1252"))
          settings.charset = value;
        else if (key == "charset")
          findings.error(where, "charset is utf-8 or windows-1252, not \"" + value + "\"");
        else
          findings.error(where, "unknown key \"" + key + "\" in [program]");
      } else if (section == Section::Transfer) {
        if (!one_of(key, kTransferKeys))
          findings.error(where, "unknown key \"" + key + "\" in [transfer] (se fo us pa)");
        else
          settings.transfer.emplace_back(key, value);
      } else if (section == Section::Upload) {
        // The vendor's own account: the tool uses it, the catalogue never holds it.
        if (key == "server")
          settings.upload.server = value;
        else if (key == "user")
          settings.upload.user = value;
        else if (key == "password")
          settings.upload.password = value;
        else if (key == "catalogue")
          settings.upload.catalogue_to = value;
        else
          findings.error(where, "unknown key \"" + key + "\" in [upload] (server user password catalogue)");
      } else if (section == Section::Signing) {
        // The vendor's private key signs the release; it is read, never published.
        if (key == "key" && !value.empty())
          settings.signing_key = value;
        else if (key == "key")
          findings.error(where, "no key file named");
        else
          findings.error(where, "unknown key \"" + key + "\" in [signing] (key)");
      } else if (section == Section::Captions && captions) {
        if (!one_of(key, kCaptionKeys))
          findings.error(where, "unknown caption key \"" + key + "\"");
        else if (key.starts_with("col_") && !is_colour(value))
          findings.error(where, "the colour " + key + " is no decimal number (0x00BBGGRR as a decimal)");
        else
          captions->emplace_back(key, value);
      } else {
        findings.error(where, "a setting outside any section");
      }
    }
    if (end == text.size()) break;
  }
  if (settings.main_program.empty()) findings.error(source, "no main program ([program] main = ...)");
  return settings;
}

}  // namespace qor::publish
