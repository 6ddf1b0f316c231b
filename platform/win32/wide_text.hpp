// Texts at the edge of the Windows API: the project speaks UTF-8, the wide
// API UTF-16, WinINet's FTP functions the ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qor::win32 {

// Invalid UTF-8 becomes U+FFFD.
std::wstring to_wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string to_utf8(std::wstring_view wide);

// The text in code page `code_page`; none when a character has no place in
// it, so that a name is never sent with a stand-in ('?', or a best fit such
// as 'a' for 'ā'): the bytes read back as the same text.
std::optional<std::string> utf8_to_code_page(std::string_view utf8, unsigned code_page);
// Bytes in code page `code_page` as UTF-8; none when they are no text there
// (a byte the code page leaves unassigned, a broken double-byte character).
std::optional<std::string> code_page_to_utf8(std::string_view bytes, unsigned code_page);

// The text in the running system's ANSI code page (GetACP), as
// utf8_to_code_page.
std::optional<std::string> utf8_to_ansi(std::string_view utf8);
// Bytes in the ANSI code page as UTF-8.
std::string ansi_to_utf8(std::string_view ansi);

}  // namespace qor::win32
