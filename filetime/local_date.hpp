// Local time by the offset in effect at one moment. Stamping and reading a
// stamp back both use the offset of "now", whatever the season of the date,
// so a stamped date reads back unchanged while the offset stays the same.
#pragma once

#include <chrono>
#include <cstdint>

#include "filetime/filetime_steps.hpp"

namespace qor {

// The UTC moment `t` as a local calendar date, shifted by the offset in
// effect at `now`; sub-seconds are dropped.
DateValue utc_to_local_date(std::chrono::system_clock::time_point t,
                            std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// A local file time as UTC, by the offset in effect at `now`; none when the
// result would fall before 1601.
std::optional<FILETIME> local_file_time_to_file_time(const FILETIME& local, std::chrono::system_clock::time_point now);

// FILETIME: 100 ns intervals since 1601-01-01 00:00 UTC.
std::uint64_t file_time_ticks(const FILETIME& ft);
FILETIME file_time_from_ticks(std::uint64_t ticks);

}  // namespace qor
