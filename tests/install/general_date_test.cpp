// The general date form per locale, and its strict inverse.
#include <gtest/gtest.h>

#include "general_date.hpp"
#include "install_test_support.hpp"

namespace qor {
namespace {

struct Form {
  const char* locale;
  const char* afternoon;  // 2026-12-07 14:05:09
  const char* midnight;   // 2026-12-07 00:00:00
  const char* morning;    // 2026-01-02 00:30:00
};

const Form kForms[] = {
    {"de_DE.UTF-8", "07.12.2026 14:05:09", "07.12.2026", "02.01.2026 00:30:00"},
    {"en_US.UTF-8", "12/7/2026 2:05:09 PM", "12/7/2026", "1/2/2026 12:30:00 AM"},
    {"en", "12/7/2026 2:05:09 PM", "12/7/2026", "1/2/2026 12:30:00 AM"},
    {"en_GB.UTF-8", "07/12/2026 14:05:09", "07/12/2026", "02/01/2026 00:30:00"},
    {"C", "2026-12-07 14:05:09", "2026-12-07", "2026-01-02 00:30:00"},
    {"C.UTF-8", "2026-12-07 14:05:09", "2026-12-07", "2026-01-02 00:30:00"},
    {"", "2026-12-07 14:05:09", "2026-12-07", "2026-01-02 00:30:00"},
    {"fr_FR.UTF-8", "07/12/2026 14:05:09", "07/12/2026", "02/01/2026 00:30:00"},
};

TEST(GeneralDate, WritesEachLocalesFormAndReadsExactlyThatBack) {
  const DateValue afternoon{2026, 12, 7, 14, 5, 9}, midnight{2026, 12, 7, 0, 0, 0}, morning{2026, 1, 2, 0, 30, 0};
  for (const Form& f : kForms) {
    SCOPED_TRACE(f.locale);
    EXPECT_EQ(general_date_text(afternoon, f.locale), f.afternoon);
    EXPECT_EQ(general_date_text(midnight, f.locale), f.midnight);
    EXPECT_EQ(general_date_text(morning, f.locale), f.morning);
    EXPECT_EQ(parse_general_date(f.afternoon, f.locale), afternoon);
    EXPECT_EQ(parse_general_date(f.midnight, f.locale), midnight);
    EXPECT_EQ(parse_general_date(f.morning, f.locale), morning);
  }
  EXPECT_EQ(general_date_text({2026, 12, 7, 12, 0, 0}, "en_US"), "12/7/2026 12:00:00 PM");
  // Midnight written out is still that date.
  EXPECT_EQ(parse_general_date("07.12.2026 00:00:00", "de_DE"), midnight);
  EXPECT_EQ(parse_general_date("12/7/2026 12:00:00 AM", "en_US"), midnight);
}

TEST(GeneralDate, AnythingButTheExactFormIsNoDate) {
  const std::pair<const char*, const char*> not_dates[] = {
      {"de_DE", "7.12.2026 14:05:09"},    {"de_DE", "07.12.26 14:05:09"},    {"de_DE", "07.12.2026 14:05"},
      {"de_DE", "07.12.2026  14:05:09"},  {"de_DE", " 07.12.2026"},          {"de_DE", "31.02.2026"},
      {"de_DE", "07.12.2026 24:00:00"},   {"de_DE", "12/7/2026 2:05:09 PM"}, {"de_DE", ""},
      {"en_US", "12/07/2026 2:05:09 PM"}, {"en_US", "12/7/2026 2:05:09 pm"}, {"en_US", "12/7/2026 02:05:09 PM"},
      {"C", "2026-12-07T14:05:09"},       {"C", "2026-12-07 14:05:09x"},
  };
  for (const auto& [locale, text] : not_dates) {
    EXPECT_FALSE(parse_general_date(text, locale).has_value()) << locale << " \"" << text << "\"";
  }
}

}  // namespace
}  // namespace qor
