#include "platform/win32/internet_error.hpp"

#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

std::string last_server_reply() {
  DWORD code = 0;
  DWORD length = 0;
  InternetGetLastResponseInfoW(&code, nullptr, &length);
  if (length == 0) return {};
  std::wstring text(length + 1, L'\0');
  length = static_cast<DWORD>(text.size());
  if (!InternetGetLastResponseInfoW(&code, text.data(), &length)) return {};
  text.resize(length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return to_utf8(text);
}

Failure internet_failure(const std::string& what, unsigned long error) {
  const bool server_said_no = error == ERROR_INTERNET_EXTENDED_ERROR || error == ERROR_INTERNET_LOGIN_FAILURE;
  return internet_failure(what, error, server_said_no ? last_server_reply() : std::string());
}

Failure internet_failure(const std::string& what, unsigned long error, const std::string& reply) {
  Failure failure = windows_failure(what, error);
  if ((error == ERROR_INTERNET_EXTENDED_ERROR || error == ERROR_INTERNET_LOGIN_FAILURE) && !reply.empty())
    failure.reason += " (server: " + reply + ")";
  return failure;
}

}  // namespace qor::win32
