#include "platform/win32/windows_error.hpp"

#include <cstdio>
#include <memory>

#include "platform/win32/wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {
namespace {

constexpr unsigned long kFirstInternetError = 12000;
constexpr unsigned long kLastInternetError = 12175;

struct LocalFree {
  void operator()(wchar_t* text) const { ::LocalFree(text); }
};

// Words for the WinINet errors the client meets, for systems whose WinINet
// carries no messages of its own (Wine's).
const char* internet_words(unsigned long code) {
  switch (code) {
    case 12002:
      return "The operation timed out";
    case 12003:
      return "The server returned extended information";
    case 12005:
      return "The URL is invalid";
    case 12006:
      return "The URL scheme could not be recognized or is not supported";
    case 12007:
      return "The server name could not be resolved";
    case 12013:
      return "The user name was not allowed";
    case 12014:
      return "The password was not allowed";
    case 12015:
      return "The login request was denied";
    case 12017:
      return "The operation was canceled";
    case 12029:
      return "A connection with the server could not be established";
    case 12030:
      return "The connection with the server was terminated abnormally";
    case 12031:
      return "The connection with the server was reset";
    case 12111:
      return "The FTP operation was not completed because the session was aborted";
    case 12152:
      return "The server response could not be parsed";
    default:
      return nullptr;
  }
}

std::string message_of(unsigned long code) {
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
  HMODULE source = nullptr;
  if (code >= kFirstInternetError && code <= kLastInternetError) {
    source = GetModuleHandleW(L"wininet.dll");
    if (source != nullptr) flags = (flags & ~FORMAT_MESSAGE_FROM_SYSTEM) | FORMAT_MESSAGE_FROM_HMODULE;
  }
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(flags, source, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFree> owned(buffer);
  if (n == 0 || buffer == nullptr) {
    const char* words = internet_words(code);
    return words != nullptr ? words : "(no description)";
  }
  std::wstring text(buffer, n);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
    text.pop_back();
  return to_utf8(text);
}

}  // namespace

Failure hresult_failure(const std::string& what, long result) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(result));
  return {what + ": HRESULT " + hex + ": " + message_of(static_cast<unsigned long>(result)), result};
}

Failure windows_failure(const std::string& what, unsigned long code) {
  return {what + ": error " + std::to_string(code) + ": " + message_of(code), static_cast<long>(code)};
}

}  // namespace qor::win32
