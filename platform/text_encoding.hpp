// Bytes from servers as text: UTF-8 when they are valid UTF-8, otherwise
// Windows-1252 (the code page such servers write), converted to UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace qor {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// Every byte is one character; 0x80-0x9F follow the Windows-1252 table, the
// five bytes it leaves unassigned map to the C1 control of the same number.
std::string windows1252_to_utf8(std::string_view bytes);

}  // namespace qor
