#include "ftp/remote_name.hpp"

#include <algorithm>

namespace qor {

bool is_bare_file_name(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(),
                      [](unsigned char c) { return c == '/' || c == '\\' || c < 0x20 || c == 0x7F; });
}

}  // namespace qor
