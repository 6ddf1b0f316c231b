// The general date form: each form written as it reads, midnight without
// its time, and the strict way back.
#include <gtest/gtest.h>

#include "install/general_date.hpp"

namespace qor {
namespace {

struct Case {
  const char* name;
  DateForm form;
  const char* afternoon;  // 2026-12-07 14:05:09
  const char* midnight;   // 2026-12-07 00:00:00
  const char* morning;    // 2026-01-02 00:30:00
};

const Case kCases[] = {
    {"German", {"dd.MM.yyyy", "HH:mm:ss"}, "07.12.2026 14:05:09", "07.12.2026", "02.01.2026 00:30:00"},
    {"US English", {"M/d/yyyy", "h:mm:ss tt"}, "12/7/2026 2:05:09 PM", "12/7/2026", "1/2/2026 12:30:00 AM"},
    {"British English", {"dd/MM/yyyy", "HH:mm:ss"}, "07/12/2026 14:05:09", "07/12/2026", "02/01/2026 00:30:00"},
    {"C", {}, "2026-12-07 14:05:09", "2026-12-07", "2026-01-02 00:30:00"},
    // Quoted text, a designator first and designators of other letters.
    {"quoted",
     {"yyyy'年'M'月'd'日'", "tth:mm:ss", "午前", "午後"},
     "2026年12月7日 午後2:05:09",
     "2026年12月7日",
     "2026年1月2日 午前12:30:00"},
    {"a quote", {"d''M''yyyy", "H.mm.ss"}, "7'12'2026 14.05.09", "7'12'2026", "2'1'2026 0.30.00"},
};

TEST(GeneralDate, WritesEachFormAndReadsExactlyThatBack) {
  const DateValue afternoon{2026, 12, 7, 14, 5, 9}, midnight{2026, 12, 7, 0, 0, 0}, morning{2026, 1, 2, 0, 30, 0};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(general_date_text(afternoon, c.form), c.afternoon);
    EXPECT_EQ(general_date_text(midnight, c.form), c.midnight);
    EXPECT_EQ(general_date_text(morning, c.form), c.morning);
    EXPECT_EQ(parse_general_date(c.afternoon, c.form), afternoon);
    EXPECT_EQ(parse_general_date(c.midnight, c.form), midnight);
    EXPECT_EQ(parse_general_date(c.morning, c.form), morning);
  }
  const DateForm us{"M/d/yyyy", "h:mm:ss tt"};
  EXPECT_EQ(general_date_text({2026, 12, 7, 12, 0, 0}, us), "12/7/2026 12:00:00 PM");
  EXPECT_EQ(parse_general_date("12/7/2026 12:00:00 PM", us), (DateValue{2026, 12, 7, 12, 0, 0}));
  // Midnight written out is still that date.
  EXPECT_EQ(parse_general_date("07.12.2026 00:00:00", kCases[0].form), midnight);
  EXPECT_EQ(parse_general_date("12/7/2026 12:00:00 AM", us), midnight);
}

TEST(GeneralDate, AnythingButTheExactFormIsNoDate) {
  const DateForm de{"dd.MM.yyyy", "HH:mm:ss"};
  const DateForm us{"M/d/yyyy", "h:mm:ss tt"};
  const DateForm c{};
  const std::pair<const DateForm*, const char*> not_dates[] = {
      {&de, "7.12.2026 14:05:09"},
      {&de, "07.12.26 14:05:09"},
      {&de, "07.12.2026 14:05"},
      {&de, "07.12.2026  14:05:09"},
      {&de, " 07.12.2026"},
      {&de, "31.02.2026"},
      {&de, "29.02.2026"},
      {&de, "07.12.2026 24:00:00"},
      {&de, "07.12.2026 14:60:00"},
      {&de, "12/7/2026 2:05:09 PM"},
      {&de, ""},
      {&de, "07.12.2026 "},
      {&de, "07.12.20261"},
      {&us, "12/07/2026 2:05:09 PM"},
      {&us, "12/7/2026 2:05:09 pm"},
      {&us, "12/7/2026 02:05:09 PM"},
      {&us, "12/7/2026 0:05:09 AM"},
      {&us, "12/7/2026 13:05:09 PM"},
      {&us, "12/7/2026 2:05:09"},
      {&c, "2026-12-07T14:05:09"},
      {&c, "2026-12-07 14:05:09x"},
      {&c, "2026-13-01"},
  };
  for (const auto& [form, text] : not_dates) {
    EXPECT_FALSE(parse_general_date(text, *form).has_value()) << form->date_pattern << " \"" << text << "\"";
  }
  EXPECT_EQ(parse_general_date("29.02.2028", de), (DateValue{2028, 2, 29, 0, 0, 0}));
}

}  // namespace
}  // namespace qor
