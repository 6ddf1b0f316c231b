// The UTC offset as Windows converts file times: the time zone's rules for
// the given moment, which for the moment "now" is exactly what
// FileTimeToLocalFileTime and LocalFileTimeToFileTime apply (they use the
// offset in effect now, whatever the file time).
#include "platform/local_time.hpp"

#include "platform/win32/file_time.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor {

std::chrono::seconds utc_offset_at(std::chrono::system_clock::time_point moment) {
  const auto ticks = win32::ticks_from_time_point(moment);
  if (!ticks) return std::chrono::seconds{0};
  const ::FILETIME utc_file{static_cast<DWORD>(*ticks), static_cast<DWORD>(*ticks >> 32)};
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  ::FILETIME local_file{};
  if (!FileTimeToSystemTime(&utc_file, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
      !SystemTimeToFileTime(&local, &local_file)) {
    return std::chrono::seconds{0};
  }
  const std::uint64_t local_ticks = (std::uint64_t{local_file.dwHighDateTime} << 32) | local_file.dwLowDateTime;
  // Whole milliseconds survive the round trip through SYSTEMTIME; the
  // offset itself is whole minutes.
  const std::uint64_t utc_ticks = *ticks - *ticks % 10'000;
  return std::chrono::seconds{(static_cast<std::int64_t>(local_ticks) - static_cast<std::int64_t>(utc_ticks)) /
                              win32::kTicksPerSecond};
}

}  // namespace qor
