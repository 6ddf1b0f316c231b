// Names and accounts as WinINet's ANSI FTP functions take them: in the
// running system's ANSI code page, which is what such a system's FTP
// servers and their files were named in. Where that code page lacks a
// character, Windows-1252; where that lacks one too, UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "portable/transfer/listing_names.hpp"

namespace qor::win32 {

// The bytes to send for `utf8` to a server of a system whose ANSI code page
// is `code_page`.
std::string bytes_for_server_in(std::string_view utf8, unsigned code_page);
// The text of bytes such a server sent: UTF-8 as it is, else read in the
// code page, else (bytes that are no text there) as Windows-1252.
std::string text_from_server_in(std::string_view bytes, unsigned code_page);

// The two above with this system's ANSI code page.
std::string bytes_for_ansi_server(std::string_view utf8);
std::string text_from_ansi_server(std::string_view bytes);

// The listing's names read and written so.
inline NameCodec ansi_names() { return {text_from_ansi_server, bytes_for_ansi_server}; }

}  // namespace qor::win32
