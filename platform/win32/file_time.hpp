// FILETIME (100-ns ticks since 1601, UTC) and the standard clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace qor::win32 {

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Ticks from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000;

inline std::chrono::system_clock::time_point time_point_from_ticks(std::uint64_t ticks) {
  const auto since_1970 = std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>(
      static_cast<std::int64_t>(ticks) - kUnixEpochTicks);
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(since_1970));
}

// None for a moment before 1601.
inline std::optional<std::uint64_t> ticks_from_time_point(std::chrono::system_clock::time_point moment) {
  const auto since_1970 =
      std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>>(
          moment.time_since_epoch());
  const std::int64_t ticks = since_1970.count() + kUnixEpochTicks;
  if (ticks < 0) return std::nullopt;
  return static_cast<std::uint64_t>(ticks);
}

}  // namespace qor::win32
