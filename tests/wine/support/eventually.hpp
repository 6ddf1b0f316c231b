// Waiting in tests for what another process does.
#pragma once

#include <chrono>
#include <thread>

namespace qor::test {

// Asks `ready` every 50 ms until it says yes or `limit` has passed; its
// last answer.
template <class Ready>
bool eventually(Ready&& ready, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return ready();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace qor::test
