#include "filetime/local_date.hpp"

#include "platform/local_time.hpp"

namespace qor {

using namespace std::chrono;

namespace {
constexpr std::int64_t kTicksPerSecond = 10'000'000;
}

DateValue utc_to_local_date(system_clock::time_point t, system_clock::time_point now) {
  const auto local = floor<seconds>(t) + utc_offset_at(now);
  const auto day_start = floor<days>(local);
  const year_month_day ymd{day_start};
  const hh_mm_ss hms{local - day_start};
  return DateValue{static_cast<int>(ymd.year()),
                   static_cast<int>(static_cast<unsigned>(ymd.month())),
                   static_cast<int>(static_cast<unsigned>(ymd.day())),
                   static_cast<int>(hms.hours().count()),
                   static_cast<int>(hms.minutes().count()),
                   static_cast<int>(hms.seconds().count())};
}

std::optional<FILETIME> local_file_time_to_file_time(const FILETIME& local, system_clock::time_point now) {
  const auto ticks = static_cast<std::int64_t>(file_time_ticks(local)) - utc_offset_at(now).count() * kTicksPerSecond;
  if (ticks < 0) return std::nullopt;  // east of UTC on 1601-01-01: before the FILETIME epoch
  return file_time_from_ticks(static_cast<std::uint64_t>(ticks));
}

}  // namespace qor
