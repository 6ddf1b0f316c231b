#include "platform/win32/windows_names.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace qor::win32 {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
  return out;
}

// The device names are matched before any extension and trailing spaces.
bool is_device_name(std::string_view name) {
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  const std::string base = upper(name);
  constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  if (std::find(kPlain.begin(), kPlain.end(), base) != kPlain.end()) return true;
  return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' && base[3] <= '9';
}

bool is_aliased(std::string_view name) {
  if (name == "." || name == "..") return false;
  if (name.back() == '.' || name.back() == ' ') return true;
  return name.find(':') != std::string_view::npos || is_device_name(name);
}

// Where the components start: past "C:", "\\?\C:", "\\server\share".
std::size_t first_component(const std::string& path) {
  std::size_t at = 0;
  if (path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) && (path[2] == '?' || path[2] == '.') &&
      is_separator(path[3])) {
    at = 4;
  } else if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    // Server and share name the place, not a file in it.
    at = 2;
    for (int skip = 0; skip < 2; ++skip) {
      while (at < path.size() && !is_separator(path[at])) ++at;
      while (at < path.size() && is_separator(path[at])) ++at;
    }
    return at;
  }
  if (path.size() >= at + 2 && std::isalpha(static_cast<unsigned char>(path[at])) && path[at + 1] == ':') at += 2;
  return at;
}

}  // namespace

std::optional<std::string> aliased_component(const std::string& path) {
  std::size_t start = first_component(path);
  while (start < path.size()) {
    std::size_t end = start;
    while (end < path.size() && !is_separator(path[end])) ++end;
    const std::string_view name = std::string_view(path).substr(start, end - start);
    if (!name.empty() && is_aliased(name)) return std::string(name);
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace qor::win32
