// The event loop's part in the chain of steps, without waiting for it: the
// enabled timers tick until none is enabled.
#pragma once

namespace qor {
class QOR_sync_FRM;
}

namespace qor::test {

// Each round ticks the first enabled one of Timer1 to Timer4; at most 100
// rounds, so a chain that re-enables itself cannot hang a test. The number
// of ticks.
int run_timers(QOR_sync_FRM& form);

}  // namespace qor::test
