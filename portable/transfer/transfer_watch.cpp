#include "portable/transfer/transfer_watch.hpp"

#include <algorithm>
#include <utility>

namespace qor {

namespace {

// Often enough for the window to repaint and answer, seldom enough that a
// fast transfer does not notice.
constexpr std::chrono::milliseconds kAskEvery{25};

}  // namespace

TransferWatch::TransferWatch(const TransferLimits& limits, const KeepGoing& keep_going, std::string what)
    : limits_(limits), keep_going_(keep_going), what_(std::move(what)), started_(std::chrono::steady_clock::now()) {}

std::optional<Failure> TransferWatch::check(std::uint64_t received) {
  const auto now = std::chrono::steady_clock::now();
  if (keep_going_ && (!last_asked_ || now - *last_asked_ >= kAskEvery)) {
    last_asked_ = now;
    if (!keep_going_()) return Failure{what_ + ": abandoned", transfer::kAbandoned};
  }
  if (cap) {
    if (auto reason = cap(received)) return Failure{what_ + ": " + *reason};
  }
  const auto allowed = limits_.time_allowed(std::max(announced ? announced() : 0, received));
  if (now - started_ > allowed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(allowed).count();
    return Failure{what_ + ": took longer than " + std::to_string(seconds) + " s"};
  }
  return std::nullopt;
}

}  // namespace qor
