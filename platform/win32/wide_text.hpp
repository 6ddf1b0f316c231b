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

// The text in the ANSI code page (CP_ACP); none when a character has no
// place in it, so that a name is never sent with a stand-in '?'.
std::optional<std::string> utf8_to_ansi(std::string_view utf8);
// Bytes in the ANSI code page as UTF-8.
std::string ansi_to_utf8(std::string_view ansi);

}  // namespace qor::win32
