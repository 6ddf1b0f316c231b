// Which press a release completes into a Click. A press and a release on the
// same control are a Click. The second press of a double click on the same
// control (within the system's double-click time and distance) is no press
// of its own, so a double click gives one Click; a fast press on another
// control is a press of its own.
#pragma once

#include "platform/win32/windows_api.hpp"

#include <utility>

namespace qor {
class Control;
}

namespace qor::win32 {

class ClickTracker {
 public:
  struct Limits {
    DWORD time_ms;
    SIZE box;  // the double-click rectangle, centred on the first press
  };
  // The system's settings at this moment.
  static Limits system_limits();

  // True when the press counts (its release may complete a Click).
  bool press(const Control& control, POINT screen, DWORD time, const Limits& limits);
  // The control the current press is on, taken away; null when there is none.
  const Control* take_pressed() { return std::exchange(pressed_, nullptr); }
  const Control* pressed() const { return pressed_; }
  // The press was lost (capture taken away, window gone).
  void cancel() { pressed_ = nullptr; }

 private:
  const Control* pressed_ = nullptr;
  const Control* last_ = nullptr;
  POINT last_point_{0, 0};
  DWORD last_time_ = 0;
};

}  // namespace qor::win32
