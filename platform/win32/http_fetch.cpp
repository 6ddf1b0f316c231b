// One HTTP GET through WinINet: a direct connection (never a proxy), never
// from or into the cache, no cookies, no dialogs; the agent WinINet names
// in every request is the client's own (kUserAgent). Redirects are followed
// here rather than by WinINet, so that they stay on http and stop after
// five.
#include "http_fetch.hpp"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "app_title.hpp"
#include "internet_error.hpp"
#include "wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "unique_internet.hpp"
#include "windows_api.hpp"

namespace qor {
namespace {

constexpr int kMaxRedirects = 5;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;

using Clock = std::chrono::steady_clock;

DWORD milliseconds(std::chrono::seconds s) { return static_cast<DWORD>(s.count() * 1000); }

bool is_http(const std::wstring& url) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  return InternetCrackUrlW(url.c_str(), 0, 0, &parts) && parts.nScheme == INTERNET_SCHEME_HTTP;
}

std::optional<std::wstring> header(HINTERNET request, DWORD query) {
  DWORD size = 0;
  HttpQueryInfoW(request, query, nullptr, &size, nullptr);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (!HttpQueryInfoW(request, query, value.data(), &size, nullptr)) return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  return value;
}

DWORD status_of(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
  return status;
}

// The announced length of the body, when there is one.
std::optional<std::uint64_t> content_length(HINTERNET request) {
  const auto text = header(request, HTTP_QUERY_CONTENT_LENGTH);
  if (!text || text->empty() || text->size() > 19) return std::nullopt;
  std::uint64_t length = 0;
  for (const wchar_t c : *text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    length = length * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return length;
}

bool is_redirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The Location of a redirect, resolved against the URL that sent it.
std::optional<std::wstring> redirect_target(HINTERNET request, const std::wstring& base) {
  const auto location = header(request, HTTP_QUERY_LOCATION);
  if (!location || location->empty()) return std::nullopt;
  std::wstring combined(INTERNET_MAX_URL_LENGTH, L'\0');
  DWORD size = static_cast<DWORD>(combined.size());
  if (!InternetCombineUrlW(base.c_str(), location->c_str(), combined.data(), &size, ICU_NO_ENCODE)) return std::nullopt;
  combined.resize(size);
  return combined;
}

class Fetch {
 public:
  Fetch(const std::string& url, const FetchLimits& limits)
      : what_("GET " + url), limits_(limits), deadline_(Clock::now() + limits.total_time) {}

  Result<std::string> run(const std::string& url) {
    const win32::UniqueInternet session(
        InternetOpenW(win32::to_wide(kUserAgent).c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) return failed("the internet functions cannot be used");
    set_limits(session.get());
    std::wstring location = win32::to_wide(url);
    for (int redirects = 0;; ++redirects) {
      if (!is_http(location)) return Failure{what_ + ": " + win32::to_utf8(location) + " is no http address"};
      const win32::UniqueInternet request(
          InternetOpenUrlW(session.get(), location.c_str(), nullptr, 0, kRequestFlags, 0));
      if (!request) return failed(redirects == 0 ? "send the request" : "follow the redirect");
      const DWORD status = status_of(request.get());
      if (is_redirect(status)) {
        if (redirects == kMaxRedirects)
          return Failure{what_ + ": more than " + std::to_string(kMaxRedirects) + " redirects"};
        const auto target = redirect_target(request.get(), location);
        if (!target)
          return Failure{what_ + ": HTTP status " + std::to_string(status) + " without a place to go",
                         static_cast<long>(status)};
        location = *target;
        continue;
      }
      if (status == 0) return Failure{what_ + ": the server sent no HTTP answer"};
      if (status >= 400) return Failure{what_ + ": HTTP status " + std::to_string(status), static_cast<long>(status)};
      return read_body(request.get());
    }
  }

 private:
  void set_limits(HINTERNET session) const {
    DWORD connect = milliseconds(limits_.connect_timeout);
    DWORD stall = milliseconds(limits_.stall_time);
    DWORD one_try = 1;
    InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(session, INTERNET_OPTION_CONNECT_RETRIES, &one_try, sizeof one_try);
    InternetSetOptionW(session, INTERNET_OPTION_SEND_TIMEOUT, &stall, sizeof stall);
    InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
  }

  // Reads what has arrived, piece by piece, so that the deadline is looked
  // at between pieces even when the server sends a byte now and then.
  Result<std::string> read_body(HINTERNET request) const {
    const auto announced = content_length(request);
    if (announced && *announced > limits_.max_body_bytes) return too_large();
    std::string body;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
      if (Clock::now() >= deadline_)
        return Failure{what_ + ": no whole answer within " + std::to_string(limits_.total_time.count()) + " s"};
      DWORD available = 0;
      if (!InternetQueryDataAvailable(request, &available, 0, 0)) return failed("read the answer");
      if (available == 0) break;
      DWORD got = 0;
      const DWORD want = std::min<DWORD>(available, static_cast<DWORD>(buffer.size()));
      if (!InternetReadFile(request, buffer.data(), want, &got)) return failed("read the answer");
      if (got == 0) break;
      if (body.size() + got > limits_.max_body_bytes) return too_large();
      body.append(buffer.data(), got);
    }
    if (announced && body.size() < *announced)
      return Failure{what_ + ": received " + std::to_string(body.size()) + " of " + std::to_string(*announced) +
                     " bytes"};
    return body;
  }

  Failure too_large() const {
    return {what_ + ": answer larger than " + std::to_string(limits_.max_body_bytes) + " bytes"};
  }

  // Right after the failing call: nothing may come between it and GetLastError.
  Failure failed(const char* doing) const {
    const DWORD error = GetLastError();
    return win32::internet_failure(what_ + ": " + doing, error);
  }

  std::string what_;
  const FetchLimits& limits_;
  Clock::time_point deadline_;
};

}  // namespace

Result<std::string> http_fetch(const std::string& url, const FetchLimits& limits) {
  return Fetch(url, limits).run(url);
}

}  // namespace qor
