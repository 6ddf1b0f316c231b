#include "platform/win32/wide_text.hpp"

#include <climits>

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {
namespace {

// The conversion functions count in int; longer texts are not the client's.
int length_of(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

std::wstring multi_to_wide(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(code_page, 0, text.data(), length_of(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(code_page, 0, text.data(), length_of(text.size()), wide.data(), n);
  return wide;
}

}  // namespace

std::wstring to_wide(std::string_view utf8) { return multi_to_wide(CP_UTF8, utf8); }

std::string to_utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length_of(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), length_of(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::optional<std::string> utf8_to_code_page(std::string_view utf8, unsigned code_page) {
  const std::wstring wide = to_wide(utf8);
  if (to_utf8(wide) != utf8) return std::nullopt;  // not UTF-8 to begin with
  // UTF-8 needs no conversion, and refuses the lossiness check below.
  if (code_page == CP_UTF8) return std::string(utf8);
  if (wide.empty()) return std::string{};
  BOOL lossy = FALSE;
  const int size = length_of(wide.size());
  const int n = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &lossy);
  if (n <= 0 || lossy) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide.data(), size, bytes.data(), n, nullptr, &lossy);
  // Some code pages map a character to bytes that read back as another one
  // without calling it lossy.
  if (lossy || code_page_to_utf8(bytes, code_page) != utf8) return std::nullopt;
  return bytes;
}

std::optional<std::string> code_page_to_utf8(std::string_view bytes, unsigned code_page) {
  if (bytes.empty()) return std::string{};
  const int size = length_of(bytes.size());
  const int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  if (MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), n) != n)
    return std::nullopt;
  return to_utf8(wide);
}

std::optional<std::string> utf8_to_ansi(std::string_view utf8) { return utf8_to_code_page(utf8, GetACP()); }

std::string ansi_to_utf8(std::string_view ansi) { return to_utf8(multi_to_wide(CP_ACP, ansi)); }

}  // namespace qor::win32
