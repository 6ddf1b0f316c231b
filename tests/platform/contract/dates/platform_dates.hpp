// What the date-form and time-zone suite needs from the system it runs on,
// beside the interfaces under test: the user's form as the platform's
// locale data give it, and the offset the system itself applies. One
// implementation per platform: linux_dates.cpp, win32_dates.cpp.
#pragma once

#include <chrono>
#include <string>

#include "platform/date_form.hpp"

namespace qor::test {

// The user's form, without designators, in a session of the locale
// `session` ("de-DE", "en-GB"; CTest names it in QOR_TEST_SESSION_LOCALE).
DateForm session_form(const std::string& session);

// The offset from UTC the system applies when it turns `moment` into local
// time on its own (not through utc_offset_at).
std::chrono::seconds offset_the_system_applies(std::chrono::system_clock::time_point moment);

}  // namespace qor::test
