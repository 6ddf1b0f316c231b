#include "platform/win32/ansi_names.hpp"

#include "platform/win32/wide_text.hpp"
#include "portable/text/text_encoding.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

std::string bytes_for_server_in(std::string_view utf8, unsigned code_page) {
  if (auto in_code_page = utf8_to_code_page(utf8, code_page)) return std::move(*in_code_page);
  return bytes_for_server(utf8);
}

std::string text_from_server_in(std::string_view bytes, unsigned code_page) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  if (auto text = code_page_to_utf8(bytes, code_page)) return std::move(*text);
  return windows1252_to_utf8(bytes);
}

std::string bytes_for_ansi_server(std::string_view utf8) { return bytes_for_server_in(utf8, GetACP()); }

std::string text_from_ansi_server(std::string_view bytes) { return text_from_server_in(bytes, GetACP()); }

}  // namespace qor::win32
