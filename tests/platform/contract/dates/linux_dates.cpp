// The dates suite on Linux: the session's locale names a form of the date
// table, and the C library turns times into local time.
#include <ctime>

#include "tests/platform/contract/dates/platform_dates.hpp"

namespace qor::test {

DateForm session_form(const std::string& session) {
  DateForm form = date_form_for(session);
  form.am.clear();
  form.pm.clear();
  return form;
}

// The local calendar time read back as if it were UTC, less the moment.
std::chrono::seconds offset_the_system_applies(std::chrono::system_clock::time_point moment) {
  const std::time_t t = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  localtime_r(&t, &local);
  return std::chrono::seconds{timegm(&local) - t};
}

}  // namespace qor::test
