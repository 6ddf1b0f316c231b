// The outcome of a platform call: a value, or the reason it failed. The user
// sees the client's own texts; the reason goes to standard error, so that a
// vendor can tell why a file was not fetched.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace qor {

struct Failure {
  std::string reason;  // in words, e.g. "connect to 127.0.0.1:2121: Connection refused"
  long code = 0;       // the platform's own code (errno, GetLastError, CURLcode); 0 when none applies
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::move(value)) {}            // NOLINT(google-explicit-constructor)
  Result(Failure failure) : state_(std::move(failure)) {}  // NOLINT(google-explicit-constructor)
  explicit operator bool() const { return state_.index() == 0; }
  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  const Failure& failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)), ok_(false) {}  // NOLINT(google-explicit-constructor)
  explicit operator bool() const { return ok_; }
  const Failure& failure() const { return failure_; }

 private:
  Failure failure_;
  bool ok_ = true;
};

// Success or the reason for a failure, for calls that yield nothing else.
using Status = Result<void>;

// A failure of the C library or the kernel: `what` and strerror(errno).
Failure failure_from_errno(const std::string& what, int error);

// One line on standard error: "QOR_sync_PRO: <what>: <reason>".
void report_failure(const std::string& what, const Failure& failure);

}  // namespace qor
