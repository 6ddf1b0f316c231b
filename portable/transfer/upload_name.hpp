// A name an upload sends goes into commands of its own (STOR, RNFR, RNTO,
// DELE): a control character in it could end the line and add commands.
#pragma once

#include <string>

namespace qor {

inline bool fit_for_commands(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

}  // namespace qor
