// What ends an HTTP query from outside the library that carries it, looked
// at while the query waits: the caller's keep_going (about every 25 ms), no
// byte of the answer for the stall time, and the total time. Each platform
// drives its query in short waits and asks this between them, so that no
// server, however slow, holds the window.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/http_fetch.hpp"
#include "portable/transfer/transfer_watch.hpp"

namespace qor {

class FetchWatch {
 public:
  // `what` starts every reason ("GET http://…").
  FetchWatch(const FetchLimits& limits, const KeepGoing& keep_going, const std::string& what);
  FetchWatch(const FetchWatch&) = delete;
  FetchWatch& operator=(const FetchWatch&) = delete;

  // None while the query may go on, else why it ends (code kAbandoned when
  // keep_going said so). `received` is the body's bytes so far.
  std::optional<Failure> check(std::uint64_t received) { return watch_.check(received); }

  // For the platform's helpers that take the general watch.
  TransferWatch& transfer_watch() { return watch_; }

 private:
  using Clock = std::chrono::steady_clock;

  std::optional<std::string> over_time(std::uint64_t received);

  FetchLimits limits_;
  // Started before the watch below, so that the total time counted here is
  // never shorter than the watch's own.
  Clock::time_point started_;
  Clock::time_point last_arrival_;
  std::uint64_t last_received_ = 0;
  TransferLimits no_rate_limit_;
  TransferWatch watch_;
};

}  // namespace qor
