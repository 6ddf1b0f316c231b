// RAII for libcurl: the process-wide initialisation (once), easy and multi
// handles; and the one loop that drives a transfer under a watch.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "portable/result/result.hpp"

namespace qor {

// curl_global_init once per process; false when it failed.
bool curl_initialised();

struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

// An empty handle when the library is unusable.
CurlEasy make_curl_easy();

struct CurlMultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;

// Runs the transfer of `easy` on `multi`, waiting at most `wait_ms` at a
// time, and asks `watch.check(bytes received)` before it starts and between
// the waits. A reason from the watch ends the transfer
// (CURLE_ABORTED_BY_CALLBACK) and is left in `stopped`; taken out of the
// multi handle unfinished, the transfer is abandoned and its connection
// closed, so the next one opens a fresh one. Driven this way rather than by
// curl_easy_perform so that nothing outside libcurl waits on it unseen.
template <class Watch>
CURLcode run_watched(CURLM* multi, CURL* easy, int wait_ms, Watch& watch, std::optional<Failure>& stopped) {
  stopped = watch.check(0);
  if (stopped) return CURLE_ABORTED_BY_CALLBACK;
  if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode rc = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      rc = CURLE_FAILED_INIT;
      break;
    }
    if (running == 0) {
      int left = 0;
      for (CURLMsg* msg; (msg = curl_multi_info_read(multi, &left)) != nullptr;)
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) rc = msg->data.result;
      break;
    }
    curl_off_t received = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received);
    stopped = watch.check(static_cast<std::uint64_t>(received));
    if (stopped) {
      rc = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    curl_multi_poll(multi, nullptr, 0, wait_ms, nullptr);
  }
  curl_multi_remove_handle(multi, easy);
  return rc;
}

}  // namespace qor
