// The UTC offset of the user's time zone, as the platform converts between
// local and UTC file times.
#pragma once

#include <chrono>

namespace qor {

// Seconds east of UTC in effect at that moment (daylight saving included).
std::chrono::seconds utc_offset_at(std::chrono::system_clock::time_point moment);

}  // namespace qor
