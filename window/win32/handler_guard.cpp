#include "window/win32/handler_guard.hpp"

#include <exception>

namespace qor::win32 {

void HandlerGuard::run(const std::function<void()>& handler) const {
  if (!handler) return;
  try {
    handler();
  } catch (const std::exception& e) {
    report(e.what());
  } catch (...) {
    report("unknown error");
  }
}

// The report itself must not throw out of a window procedure either.
void HandlerGuard::report(const std::string& what) const {
  if (!on_error) return;
  try {
    on_error(what);
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to tell it with
  }
}

}  // namespace qor::win32
