// Bytes from servers as text: UTF-8 when they are valid UTF-8, otherwise
// Windows-1252 (the code page such servers write), converted to UTF-8. And
// back: text for such a server in Windows-1252 where it can be written so.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qor {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view bytes);

// Every byte is one character; 0x80-0x9F follow the Windows-1252 table, the
// five bytes it leaves unassigned map to the C1 control of the same number.
std::string windows1252_to_utf8(std::string_view bytes);

// The text of bytes a server sent: UTF-8 as it is, anything else read as
// Windows-1252.
std::string text_from_server(std::string_view bytes);

// The Windows-1252 bytes of UTF-8 text, the exact reverse of
// windows1252_to_utf8; none when the text is not UTF-8 or holds a character
// the code page lacks.
std::optional<std::string> utf8_to_windows1252(std::string_view utf8);

// Text for a server: in Windows-1252 where every character has a byte
// there, else the UTF-8 as it is.
std::string bytes_for_server(std::string_view utf8);

}  // namespace qor
