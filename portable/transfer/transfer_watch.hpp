// What ends an FTP operation from outside the library that carries it,
// looked at between the pieces of its transfer: the caller's keep_going, the
// operation's deadline and a cap the operation sets (the size of a listing).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/ftp_transfer.hpp"

namespace qor {

class TransferWatch {
 public:
  // `what` starts every reason ("fetch a.dll").
  TransferWatch(const TransferLimits& limits, const KeepGoing& keep_going, std::string what);

  // The size announced for the operation, once it is known (0 before).
  std::function<std::uint64_t()> announced;
  // A further limit, given what has arrived; returns the reason to stop.
  std::function<std::optional<std::string>(std::uint64_t received)> cap;

  // None while the operation may go on, else why it ends. keep_going is
  // asked on the first look and then about every 25 ms.
  std::optional<Failure> check(std::uint64_t received);

 private:
  const TransferLimits& limits_;
  const KeepGoing& keep_going_;
  std::string what_;
  std::chrono::steady_clock::time_point started_;
  std::optional<std::chrono::steady_clock::time_point> last_asked_;
};

}  // namespace qor
