#include "platform/http_fetch.hpp"

#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/linux/curl/curl_easy.hpp"
#include "portable/app_title.hpp"
#include "portable/transfer/fetch_watch.hpp"

namespace qor {

namespace {

struct Sink {
  std::string body;
  std::size_t limit;
  bool too_large = false;
};

std::size_t write_body(char* data, std::size_t size, std::size_t count, void* user) {
  auto& sink = *static_cast<Sink*>(user);
  const std::size_t n = size * count;
  if (sink.body.size() + n > sink.limit) {
    sink.too_large = true;
    return 0;  // makes libcurl stop with a write error
  }
  try {
    sink.body.append(data, n);
  } catch (...) {  // nothing may unwind through libcurl's C frames
    sink.too_large = true;
    return 0;
  }
  return n;
}

// Proxies from the environment are honoured, but the loopback is always
// reached directly: a proxy in front of 127.0.0.1 is never what is meant.
std::string no_proxy_list() {
  std::string list = "localhost,127.0.0.1,::1";
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
      list += ',';
      list += value;
    }
  }
  return list;
}

}  // namespace

Result<std::string> http_fetch(const std::string& url, const FetchLimits& limits, const KeepGoing& keep_going) {
  CurlEasy curl = make_curl_easy();
  CurlMulti multi{curl ? curl_multi_init() : nullptr};
  if (!curl || !multi) return Failure{"GET " + url + ": libcurl cannot be used"};
  Sink sink{{}, limits.max_body_bytes};
  char error_buffer[CURL_ERROR_SIZE] = {};
  const std::string no_proxy = no_proxy_list();
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(h, CURLOPT_NOPROXY, no_proxy.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(limits.connect_timeout.count()));
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.stall_time.count()));
  curl_easy_setopt(h, CURLOPT_TIMEOUT, static_cast<long>(limits.total_time.count()));
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, write_body);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error_buffer);

  FetchWatch watch(limits, keep_going, "GET " + url);
  std::optional<Failure> stopped;
  // Short waits: the watch (and through it the window) is asked while the
  // server keeps the query waiting.
  constexpr int kWaitMs = 10;
  const CURLcode code = run_watched(multi.get(), h, kWaitMs, watch, stopped);
  if (stopped) return *stopped;
  if (sink.too_large)
    return Failure{"GET " + url + ": answer larger than " + std::to_string(limits.max_body_bytes) + " bytes"};
  if (code != CURLE_OK)
    return Failure{"GET " + url + ": " + (error_buffer[0] != '\0' ? error_buffer : curl_easy_strerror(code)), code};
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 400) return Failure{"GET " + url + ": HTTP status " + std::to_string(status), status};
  return std::move(sink.body);
}

}  // namespace qor
