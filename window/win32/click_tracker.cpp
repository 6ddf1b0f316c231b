#include "window/win32/click_tracker.hpp"

#include <cstdlib>

namespace qor::win32 {

ClickTracker::Limits ClickTracker::system_limits() {
  return {GetDoubleClickTime(), SIZE{GetSystemMetrics(SM_CXDOUBLECLK), GetSystemMetrics(SM_CYDOUBLECLK)}};
}

bool ClickTracker::press(const Control& control, POINT screen, DWORD time, const Limits& limits) {
  // Message times wrap after 49.7 days; unsigned subtraction keeps the interval right.
  const bool second_of_double = last_ == &control && time - last_time_ <= limits.time_ms &&
                                std::abs(screen.x - last_point_.x) <= limits.box.cx / 2 &&
                                std::abs(screen.y - last_point_.y) <= limits.box.cy / 2;
  if (second_of_double) {
    // A third press starts afresh, as the system counts it.
    last_ = nullptr;
    pressed_ = nullptr;
    return false;
  }
  last_ = &control;
  last_point_ = screen;
  last_time_ = time;
  pressed_ = &control;
  return true;
}

}  // namespace qor::win32
