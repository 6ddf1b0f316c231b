// One HTTP GET through WinINet: through the proxy the system is set up
// with, but straight to the loopback; never from or into the cache, no
// cookies, no dialogs; the agent WinINet names in every request is the
// client's own (kUserAgent). Redirects are followed here rather than by
// WinINet, so that they stay on http and stop after five.
//
// WinINet's calls block until the server answers, and Wine's WinINet sets
// no receive time-out on a request at all: each blocking call runs on a
// worker (call_worker.hpp) while the caller waits in short steps and asks a
// FetchWatch, which also holds the query to its stall and total limits.
#include "platform/http_fetch.hpp"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/internet_error.hpp"
#include "platform/win32/wide_text.hpp"
#include "portable/app_title.hpp"
#include "portable/transfer/fetch_watch.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/call_worker.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

constexpr int kMaxRedirects = 5;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTO_REDIRECT;

using win32::CallWorker;
using win32::InternetRef;
using win32::SharedInternet;

DWORD milliseconds(std::chrono::seconds s) { return static_cast<DWORD>(s.count() * 1000); }

bool is_http(const std::wstring& url) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  return InternetCrackUrlW(url.c_str(), 0, 0, &parts) && parts.nScheme == INTERNET_SCHEME_HTTP;
}

// 127.0.0.0/8, ::1 and localhost: the test and local servers a proxy in
// front of the machine itself could only get wrong.
bool is_loopback(const std::wstring& url) {
  std::wstring host(INTERNET_MAX_HOST_NAME_LENGTH, L'\0');
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = static_cast<DWORD>(host.size());
  if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return false;
  host.resize(parts.dwHostNameLength);
  std::transform(host.begin(), host.end(), host.begin(),
                 [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; });
  if (host.ends_with(L".")) host.pop_back();
  return host == L"localhost" || host.ends_with(L".localhost") || host.starts_with(L"127.") || host == L"::1" ||
         host == L"[::1]";
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

// What a blocking call left: its result and the error, which only its own
// thread can read.
struct Opened {
  InternetRef request;
  DWORD error = 0;
};

struct Piece {
  bool read = false;
  DWORD size = 0;
  DWORD error = 0;
};

constexpr DWORD kPieceSize = 64 * 1024;

InternetRef shared(HINTERNET handle) { return handle != nullptr ? std::make_shared<SharedInternet>(handle) : nullptr; }

class Fetch {
 public:
  Fetch(const std::string& url, const FetchLimits& limits, const KeepGoing& keep_going)
      : what_("GET " + url), limits_(limits), watch_(limits, keep_going, what_), worker_(watch_.transfer_watch()) {}

  Result<std::string> run(const std::string& url) {
    std::wstring location = win32::to_wide(url);
    for (int redirects = 0;; ++redirects) {
      if (!is_http(location)) return Failure{what_ + ": " + win32::to_utf8(location) + " is no http address"};
      // A session per address, since whether a proxy carries the request
      // depends on where it goes.
      auto opened_session = open_session(location);
      if (!opened_session) return opened_session.failure();
      const InternetRef session = *opened_session;
      auto opened = worker_.run<Opened>(
          [session, location] {
            HINTERNET request = InternetOpenUrlW(session->get(), location.c_str(), nullptr, 0, kRequestFlags, 0);
            const DWORD error = request != nullptr ? 0 : GetLastError();
            return Opened{shared(request), error};
          },
          0, session.get());
      if (!opened) return opened.failure();
      if (!opened->request) return failed(redirects == 0 ? "send the request" : "follow the redirect", opened->error);
      const InternetRef request = opened->request;
      const DWORD status = status_of(request->get());
      if (is_redirect(status)) {
        if (redirects == kMaxRedirects)
          return Failure{what_ + ": more than " + std::to_string(kMaxRedirects) + " redirects"};
        const auto target = redirect_target(request->get(), location);
        if (!target)
          return Failure{what_ + ": HTTP status " + std::to_string(status) + " without a place to go",
                         static_cast<long>(status)};
        location = *target;
        continue;
      }
      if (status == 0) return Failure{what_ + ": the server sent no HTTP answer"};
      if (status >= 400) return Failure{what_ + ": HTTP status " + std::to_string(status), static_cast<long>(status)};
      return read_body(request);
    }
  }

 private:
  Result<InternetRef> open_session(const std::wstring& location) const {
    const DWORD access = is_loopback(location) ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG;
    const std::wstring agent = win32::to_wide(kUserAgent);
    HINTERNET session = InternetOpenW(agent.c_str(), access, nullptr, nullptr, 0);
    if (session == nullptr) return failed("the internet functions cannot be used", GetLastError());
    set_limits(session);
    return std::make_shared<SharedInternet>(session);
  }

  // Windows honours these; the watch holds the query to its limits where
  // they are not (Wine sets no receive time-out).
  void set_limits(HINTERNET session) const {
    DWORD connect = milliseconds(limits_.connect_timeout);
    DWORD stall = milliseconds(limits_.stall_time);
    DWORD one_try = 1;
    InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(session, INTERNET_OPTION_CONNECT_RETRIES, &one_try, sizeof one_try);
    InternetSetOptionW(session, INTERNET_OPTION_SEND_TIMEOUT, &stall, sizeof stall);
    InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &stall, sizeof stall);
  }

  // Reads what has arrived, piece by piece, on the worker.
  Result<std::string> read_body(const InternetRef& request) {
    const auto announced = content_length(request->get());
    if (announced && *announced > limits_.max_body_bytes) return too_large();
    std::string body;
    // Shared with the call, which may outlive this fetch.
    const auto buffer = std::make_shared<std::vector<char>>(kPieceSize);
    for (;;) {
      auto piece = worker_.run<Piece>(
          [request, buffer] {
            Piece got;
            DWORD available = 0;
            if (!InternetQueryDataAvailable(request->get(), &available, 0, 0)) {
              got.error = GetLastError();
              return got;
            }
            got.read = available == 0 ||
                       InternetReadFile(request->get(), buffer->data(), std::min(available, kPieceSize), &got.size);
            if (!got.read) got.error = GetLastError();
            return got;
          },
          body.size(), request.get());
      if (!piece) return piece.failure();
      if (!piece->read) return failed("read the answer", piece->error);
      if (piece->size == 0) break;
      if (body.size() + piece->size > limits_.max_body_bytes) return too_large();
      body.append(buffer->data(), piece->size);
    }
    if (announced && body.size() < *announced)
      return Failure{what_ + ": received " + std::to_string(body.size()) + " of " + std::to_string(*announced) +
                     " bytes"};
    return body;
  }

  Failure too_large() const {
    return {what_ + ": answer larger than " + std::to_string(limits_.max_body_bytes) + " bytes"};
  }

  Failure failed(const char* doing, DWORD error) const { return win32::internet_failure(what_ + ": " + doing, error); }

  std::string what_;
  const FetchLimits& limits_;
  FetchWatch watch_;
  CallWorker worker_;
};

}  // namespace

Result<std::string> http_fetch(const std::string& url, const FetchLimits& limits, const KeepGoing& keep_going) {
  return Fetch(url, limits, keep_going).run(url);
}

}  // namespace qor
