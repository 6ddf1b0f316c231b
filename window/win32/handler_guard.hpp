// Runs an event handler; an error escaping it must not cross the message
// loop (it would unwind through the system's window procedure), so it is
// reported and the program carries on.
#pragma once

#include <functional>
#include <string>

namespace qor::win32 {

class HandlerGuard {
 public:
  std::function<void(const std::string& what)> on_error;
  void run(const std::function<void()>& handler) const;

 private:
  void report(const std::string& what) const;
};

}  // namespace qor::win32
