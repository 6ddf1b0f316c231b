// One HTTP GET without any user interaction: the update server's queries go
// through it.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "platform/keep_going.hpp"
#include "portable/result/result.hpp"

namespace qor {

struct FetchLimits {
  std::chrono::seconds connect_timeout{15};
  // Less than one byte a second for this long is a stall.
  std::chrono::seconds stall_time{30};
  // A server that keeps sending a byte now and then passes any stall limit;
  // this bounds the whole query so the window is never held for good.
  std::chrono::seconds total_time{300};
  // No answer of the update server comes near this; a larger body is refused
  // rather than held in memory.
  std::size_t max_body_bytes = std::size_t{64} << 20;
};

// The body's bytes as they arrived. A status of 400 or more is a failure:
// an error page is not an answer. Redirects (http only, at most 5) are
// followed. Every request names the client: "User-Agent: " kUserAgent
// (app_title.hpp). The caller waits, but is asked to keep_going before the
// query starts and about every 25 ms while it waits (see keep_going.hpp); a
// query it abandons fails at once with kAbandoned. The system's configured
// proxy carries the query, except to the loopback, which is always reached
// directly.
Result<std::string> http_fetch(const std::string& url, const FetchLimits& limits, const KeepGoing& keep_going = {});

}  // namespace qor
