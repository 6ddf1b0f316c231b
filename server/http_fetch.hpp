// One GET over a fresh libcurl easy handle, without any user interaction.
// The query operations build on it; tests use it with short time-outs.
#pragma once

#include <cstddef>
#include <string>

namespace qor {

struct FetchLimits {
  long connect_timeout_s = 15;
  // Below this many bytes per second for low_speed_time_s seconds is a stall.
  long low_speed_limit = 1;
  long low_speed_time_s = 30;
  // A server that keeps sending a byte now and then passes any low-speed
  // limit; this bounds the whole query so the window is never held for good.
  long total_timeout_s = 300;
  // No answer of the update server comes near this; a larger body is refused
  // rather than held in memory.
  std::size_t max_body_bytes = std::size_t{64} << 20;
};

struct FetchResult {
  bool ok = false;
  std::string text;   // the answer as UTF-8 (see answer_text.hpp) when ok
  std::string error;  // why not, in words, when not ok
};

// A status of 400 or more is a failure: an error page is not an answer.
FetchResult http_fetch(const std::string& url, const FetchLimits& limits = {});

// True when libcurl is initialised and can give an easy handle.
bool transfer_library_ready();

}  // namespace qor
