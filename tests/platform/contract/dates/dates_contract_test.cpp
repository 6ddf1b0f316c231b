// The date forms (date_form.hpp) and the time zone's offset (local_time.hpp)
// as every platform provides them. CTest runs this program in a German
// session in Berlin and in a British one in London (LC_ALL and TZ, which
// Wine maps to the user's locale and time zone); QOR_TEST_SESSION_LOCALE
// names the session's locale.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string_view>

#include "install/general_date.hpp"
#include "platform/date_form.hpp"
#include "platform/local_time.hpp"
#include "tests/platform/contract/dates/platform_dates.hpp"

namespace qor {
namespace {

using namespace std::chrono;

DateForm without_designators(DateForm form) {
  form.am.clear();
  form.pm.clear();
  return form;
}

// German, US and British English and C have the fixed forms of the date
// table, by Linux and Windows names alike; other locales their own data.
TEST(DateForm, TheLocalesOfTheDateTableGetItsFixedForms) {
  const std::pair<const char*, std::string_view> cases[] = {
      {"de_DE.UTF-8", "de"},
      {"de-DE", "de"},
      {"de_AT", "de"},
      {"de", "de"},
      {"de_DE.UTF-8@euro", "de"},
      {"en_US.UTF-8", "en_US"},
      {"en", "en_US"},
      {"en-US", "en_US"},
      {"en_GB.UTF-8", "en_GB"},
      {"en-GB", "en_GB"},
      {"C", "C"},
      {"C.UTF-8", "C"},
      {"POSIX", "C"},
      {"", "C"},
  };
  for (const auto& [locale, fixed] : cases) EXPECT_EQ(date_form_for(locale), fixed_date_form(fixed)) << locale;
  EXPECT_EQ(date_form_for("de-DE"), (DateForm{"dd.MM.yyyy", "HH:mm:ss"}));
  EXPECT_EQ(date_form_for("en-US"), (DateForm{"M/d/yyyy", "h:mm:ss tt", "AM", "PM"}));
  EXPECT_EQ(date_form_for("en_GB.UTF-8"), (DateForm{"dd/MM/yyyy", "HH:mm:ss"}));
  EXPECT_EQ(date_form_for("C"), (DateForm{"yyyy-MM-dd", "HH:mm:ss"}));
}

// From the platform's locale data: the short date with a four-digit year and
// the long time without its zone.
TEST(DateForm, OtherLocalesGetTheirShortDateAndLongTime) {
  for (const char* name : {"fr-FR", "fr_FR.UTF-8"}) {
    SCOPED_TRACE(name);
    const DateForm french = date_form_for(name);
    EXPECT_EQ(french.date_pattern, "dd/MM/yyyy");
    EXPECT_EQ(french.time_pattern, "HH:mm:ss");
  }
}

TEST(DateForm, UnknownLocalesGiveTheFormOfC) {
  for (const char* name : {"xx-YY", "xx_YY", "qq_QQ.UTF-8", "not a locale"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(date_form_for(name), DateForm{});
  }
}

TEST(DateForm, TheUsersFormIsTheSessionLocalesShortDateAndLongTime) {
  const char* session = std::getenv("QOR_TEST_SESSION_LOCALE");
  if (session == nullptr) GTEST_SKIP() << "QOR_TEST_SESSION_LOCALE names no session locale";
  EXPECT_EQ(without_designators(user_date_form()), test::session_form(session));
}

// The general date, written and read back in the platform's forms.
TEST(DateForm, GeneralDatesRoundTripInThePlatformsForms) {
  const DateValue afternoon{2026, 12, 7, 14, 5, 9};
  const DateValue midnight{2026, 12, 7, 0, 0, 0};
  const DateValue morning{2026, 1, 2, 0, 30, 0};
  EXPECT_EQ(general_date_text(afternoon, date_form_for("en-US")), "12/7/2026 2:05:09 PM");
  EXPECT_EQ(general_date_text(morning, date_form_for("en-US")), "1/2/2026 12:30:00 AM");
  EXPECT_EQ(general_date_text(afternoon, date_form_for("en-GB")), "07/12/2026 14:05:09");
  EXPECT_EQ(general_date_text(midnight, date_form_for("en-GB")), "07/12/2026");
  EXPECT_EQ(general_date_text(morning, date_form_for("de-DE")), "02.01.2026 00:30:00");
  for (const char* name : {"de-DE", "en-US", "en-GB", "fr-FR", "ja-JP", "ko-KR", "fi-FI", "C"}) {
    SCOPED_TRACE(name);
    const DateForm form = date_form_for(name);
    for (const DateValue& date : {afternoon, midnight, morning})
      EXPECT_EQ(parse_general_date(general_date_text(date, form), form), date);
  }
  // And in the session's own form, whatever it is.
  for (const DateValue& date : {afternoon, midnight, morning})
    EXPECT_EQ(parse_general_date(general_date_text(date, user_date_form()), user_date_form()), date);
}

// The offset file times are converted with is the one the system applies
// itself now (Windows applies the present offset to every file time, so
// only "now" compares on both).
TEST(LocalTime, IsTheOffsetTheSystemAppliesNow) {
  const auto now = floor<seconds>(system_clock::now());
  EXPECT_EQ(utc_offset_at(now), test::offset_the_system_applies(now));
}

TEST(LocalTime, FollowsTheZonesSeasons) {
  const char* zone = std::getenv("TZ");
  if (zone == nullptr) GTEST_SKIP() << "no TZ: the zone is unknown";
  const auto winter = sys_days{2026y / January / 15} + 12h;
  const auto summer = sys_days{2026y / July / 15} + 12h;
  if (std::string(zone) == "Europe/Berlin") {
    EXPECT_EQ(utc_offset_at(winter), 1h);
    EXPECT_EQ(utc_offset_at(summer), 2h);
  } else if (std::string(zone) == "Europe/London") {
    EXPECT_EQ(utc_offset_at(winter), 0h);
    EXPECT_EQ(utc_offset_at(summer), 1h);
  } else {
    GTEST_SKIP() << "no offsets known for " << zone;
  }
}

}  // namespace
}  // namespace qor
