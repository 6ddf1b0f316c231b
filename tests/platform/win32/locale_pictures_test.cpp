// Windows' date and time pictures as the form's patterns: the pictures of
// real locales, and those the form cannot hold.
#include <gtest/gtest.h>

#include "platform/win32/locale_pictures.hpp"

namespace qor::win32 {
namespace {

DateForm form(const char* date, const char* time, const char* am = "AM", const char* pm = "PM") {
  return date_form_from_pictures({date, time, am, pm}).value_or(DateForm{"none", "none", "", ""});
}

TEST(LocalePictures, TheFieldsOfCommonPicturesPassUnchanged) {
  EXPECT_EQ(form("dd.MM.yyyy", "HH:mm:ss", "", ""), (DateForm{"dd.MM.yyyy", "HH:mm:ss", "", ""}));
  EXPECT_EQ(form("M/d/yyyy", "h:mm:ss tt"), (DateForm{"M/d/yyyy", "h:mm:ss tt", "AM", "PM"}));
  EXPECT_EQ(form("yyyy-MM-dd", "H.mm.ss", "ap.", "ip."), (DateForm{"yyyy-MM-dd", "H.mm.ss", "ap.", "ip."}));
  EXPECT_EQ(form("yyyy. M. d.", "tt h:mm:ss", "\xEC\x98\xA4\xEC\xA0\x84", "\xEC\x98\xA4\xED\x9B\x84"),
            (DateForm{"yyyy. M. d.", "tt h:mm:ss", "\xEC\x98\xA4\xEC\xA0\x84", "\xEC\x98\xA4\xED\x9B\x84"}));
}

TEST(LocalePictures, EveryYearIsFourDigitsAndTheEraIsLeftOut) {
  EXPECT_EQ(form("dd.MM.yy", "HH:mm:ss").date_pattern, "dd.MM.yyyy");
  EXPECT_EQ(form("d/M/y", "HH:mm:ss").date_pattern, "d/M/yyyy");
  EXPECT_EQ(form("yyyyy-MM-dd", "HH:mm:ss").date_pattern, "yyyy-MM-dd");
  EXPECT_EQ(form("gg yyyy/MM/dd", "HH:mm:ss").date_pattern, "yyyy/MM/dd");
}

TEST(LocalePictures, TheDesignatorsFirstLetterBecomesADesignatorOfOneLetter) {
  EXPECT_EQ(form("M/d/yyyy", "h:mm:ss t"), (DateForm{"M/d/yyyy", "h:mm:ss tt", "A", "P"}));
  EXPECT_EQ(form("M/d/yyyy", "h:mm:ss t", "\xC3\xA4m", "pm").am, "\xC3\xA4");  // a whole character, not a byte
}

TEST(LocalePictures, LiteralTextReadsAsItselfInTheForm) {
  // Letters outside quotes stand for themselves in a date picture; quotes
  // keep them from being read as the form's fields.
  EXPECT_EQ(form("dd 'de' MM 'de' yyyy", "HH:mm:ss").date_pattern, "dd 'd''e' MM 'd''e' yyyy");
  EXPECT_EQ(form("dd.MM.yyyy", "HH 'h' mm").time_pattern, "HH 'h' mm");
  EXPECT_EQ(form("d-M-yyyy", "HH''mm").time_pattern, "HH''mm");
  EXPECT_EQ(form("d-M-yyyy", "HH'h''m'mm").time_pattern, "HH'h''''m'mm");
  EXPECT_EQ(form("d-M-yyyy", "HH:mm:ss 'Uhr'").time_pattern, "HH:mm:ss 'U''h''r'");
  // Hours, minutes and seconds mean nothing in a date picture.
  EXPECT_EQ(form("yyyy/M/d h", "HH:mm").date_pattern, "yyyy/M/d 'h'");
}

TEST(LocalePictures, NamesOfDaysAndMonthsHaveNoPlaceInTheForm) {
  EXPECT_FALSE(date_form_from_pictures({"ddd, dd.MM.yyyy", "HH:mm:ss", "", ""}));
  EXPECT_FALSE(date_form_from_pictures({"dd MMM yyyy", "HH:mm:ss", "", ""}));
  EXPECT_FALSE(date_form_from_pictures({"", "HH:mm:ss", "", ""}));
  EXPECT_FALSE(date_form_from_pictures({"dd.MM.yyyy", "", "", ""}));
}

}  // namespace
}  // namespace qor::win32
