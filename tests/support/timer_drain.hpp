// The event loop's part in the chain of steps, without waiting for it: the
// enabled timers tick until none is enabled.
#pragma once

#include <functional>

namespace qor {
class QOR_sync_FRM;
class Timer;
}  // namespace qor

namespace qor::test {

// Each round ticks the first enabled one of Timer1 to Timer4, through
// `tick` when given (to time each handler, say); at most 100 rounds, so a
// chain that re-enables itself cannot hang a test. The number of ticks.
int run_timers(QOR_sync_FRM& form, const std::function<void(Timer&)>& tick = {});

}  // namespace qor::test
