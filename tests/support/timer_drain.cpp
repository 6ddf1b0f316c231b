#include "tests/support/timer_drain.hpp"

#include "window/QOR_sync_FRM.hpp"

namespace qor::test {

int run_timers(QOR_sync_FRM& form, const std::function<void(Timer&)>& tick) {
  int ticks = 0;
  for (; ticks < 100; ++ticks) {
    Timer* next = nullptr;
    for (Timer* timer : {&form.Timer1, &form.Timer2, &form.Timer3, &form.Timer4}) {
      if (timer->Enabled) {
        next = timer;
        break;
      }
    }
    if (next == nullptr) break;
    if (tick) {
      tick(*next);
    } else {
      next->Tick();
    }
  }
  return ticks;
}

}  // namespace qor::test
