#include "local_time.hpp"

#include <ctime>

namespace qor {

using namespace std::chrono;

seconds utc_offset_at(system_clock::time_point moment) {
  const std::time_t t = system_clock::to_time_t(moment);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return seconds{0};
  return seconds{local.tm_gmtoff};
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

}  // namespace qor
