#include <chrono>

#include "filetime/filetime_steps.hpp"
#include "filetime/local_date.hpp"

namespace qor {
namespace {

using namespace std::chrono;

constexpr std::uint64_t kTicksPerSecond = 10'000'000;

sys_days epoch_1601() { return sys_days{year{1601} / January / 1}; }

}  // namespace

bool is_stampable_date(const DateValue& d) {
  if (d.year < 1601 || d.year > 30827) return false;
  const year_month_day ymd{year{d.year}, month{static_cast<unsigned>(d.month)}, day{static_cast<unsigned>(d.day)}};
  if (d.month < 1 || d.day < 1 || !ymd.ok()) return false;
  return d.hour >= 0 && d.hour <= 23 && d.minute >= 0 && d.minute <= 59 && d.second >= 0 && d.second <= 59;
}

SYSTEMTIME date_to_system_time(const DateValue& d) {
  SYSTEMTIME st;
  st.wYear = static_cast<std::uint16_t>(d.year);
  st.wMonth = static_cast<std::uint16_t>(d.month);
  st.wDay = static_cast<std::uint16_t>(d.day);
  st.wHour = static_cast<std::uint16_t>(d.hour);
  st.wMinute = static_cast<std::uint16_t>(d.minute);
  st.wSecond = static_cast<std::uint16_t>(d.second);
  return st;
}

std::optional<FILETIME> system_time_to_file_time(const SYSTEMTIME& st) {
  const DateValue d{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  if (!is_stampable_date(d) || st.wMilliseconds > 999) return std::nullopt;
  const sys_days day_start{year{d.year} / month{st.wMonth} / day{st.wDay}};
  const auto seconds_since =
      duration_cast<seconds>(day_start - epoch_1601()).count() + d.hour * 3600LL + d.minute * 60LL + d.second;
  return file_time_from_ticks(static_cast<std::uint64_t>(seconds_since) * kTicksPerSecond +
                              std::uint64_t{st.wMilliseconds} * 10'000);
}

FILETIME date_to_file_time(const DateValue& d) {
  // The output starts as 0, so a date the conversion refuses yields time 0.
  return system_time_to_file_time(date_to_system_time(d)).value_or(FILETIME{});
}

std::uint64_t file_time_ticks(const FILETIME& ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME file_time_from_ticks(std::uint64_t ticks) {
  return {static_cast<std::uint32_t>(ticks & 0xFFFFFFFFu), static_cast<std::uint32_t>(ticks >> 32)};
}

}  // namespace qor
