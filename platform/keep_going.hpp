// How a network operation that may wait on a server lets its caller go on
// living meanwhile: it asks keep_going before it starts and then about every
// 25 milliseconds while it runs (the window handles its events there); false
// abandons the operation, which then fails with kAbandoned.
#pragma once

#include <functional>

namespace qor {

using KeepGoing = std::function<bool()>;

// The failure code of an operation that keep_going abandoned.
inline constexpr long kAbandoned = 12017;

}  // namespace qor
