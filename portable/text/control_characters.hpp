// Control characters (below U+0020, and DEL) in a text from the server. No
// account, folder or file name needs one, and a line break in one would end
// a command, a line of the desktop entry or of a message early.
#pragma once

#include <algorithm>
#include <string_view>

namespace qor {

inline bool holds_control_character(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

}  // namespace qor
