#include "portable/transfer/fetch_watch.hpp"

#include <limits>

namespace qor {

namespace {

// The general watch's own deadline, kept from ever coming first: the total
// time of a query is checked here, with a reason that says what it means.
TransferLimits total_only(const FetchLimits& limits) {
  TransferLimits transfer;
  transfer.deadline_floor = limits.total_time + std::chrono::seconds(1);
  transfer.min_rate = std::numeric_limits<std::uint64_t>::max();
  return transfer;
}

}  // namespace

FetchWatch::FetchWatch(const FetchLimits& limits, const KeepGoing& keep_going, const std::string& what)
    : limits_(limits),
      started_(Clock::now()),
      last_arrival_(started_),
      no_rate_limit_(total_only(limits)),
      watch_(no_rate_limit_, keep_going, what) {
  watch_.cap = [this](std::uint64_t received) { return over_time(received); };
}

std::optional<std::string> FetchWatch::over_time(std::uint64_t received) {
  const auto now = Clock::now();
  if (received != last_received_) {
    last_received_ = received;
    last_arrival_ = now;
  }
  if (now - started_ >= limits_.total_time)
    return "no whole answer within " + std::to_string(limits_.total_time.count()) + " s";
  if (now - last_arrival_ >= limits_.stall_time)
    return "nothing arrived for " + std::to_string(limits_.stall_time.count()) + " s";
  return std::nullopt;
}

}  // namespace qor
