// Which date form a locale gets: fixed forms for German, US and British
// English and C, Qt's locale data for the rest, and the locale taken from
// LC_ALL, else LC_TIME, else LANG.
#include <gtest/gtest.h>

#include "platform/date_form.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor {
namespace {

const DateForm kGerman{"dd.MM.yyyy", "HH:mm:ss"};
const DateForm kUs{"M/d/yyyy", "h:mm:ss tt"};
const DateForm kBritish{"dd/MM/yyyy", "HH:mm:ss"};
const DateForm kC{"yyyy-MM-dd", "HH:mm:ss"};

TEST(DateForm, EachLocaleNameGetsItsForm) {
  const std::pair<const char*, DateForm> cases[] = {
      {"de_DE.UTF-8", kGerman},
      {"de_AT", kGerman},
      {"de", kGerman},
      {"de_DE.UTF-8@euro", kGerman},
      {"en_US.UTF-8", kUs},
      {"en", kUs},
      {"en-US", kUs},
      {"en_GB.UTF-8", kBritish},
      {"C", kC},
      {"C.UTF-8", kC},
      {"POSIX", kC},
      {"", kC},
      {"xx_YY", kC},
  };
  for (const auto& [locale, form] : cases) EXPECT_EQ(date_form_for(locale), form) << locale;
  // From Qt's data: the short date with a four-digit year and the long time without its zone.
  const DateForm french = date_form_for("fr_FR.UTF-8");
  EXPECT_EQ(french.date_pattern, "dd/MM/yyyy");
  EXPECT_EQ(french.time_pattern, "HH:mm:ss");
}

TEST(DateForm, TheUsersLocaleIsLcAllThenLcTimeThenLangAndEmptyCountsAsUnset) {
  struct Case {
    std::optional<std::string> lc_all, lc_time, lang;
    DateForm form;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", "en_US.UTF-8", "en_GB.UTF-8", kGerman},
      {std::nullopt, "en_US.UTF-8", "de_DE.UTF-8", kUs},
      {"", "", "en_GB", kBritish},
      {std::nullopt, std::nullopt, std::nullopt, kC},
  };
  for (const Case& c : cases) {
    const test::ScopedEnv lc_all("LC_ALL", c.lc_all), lc_time("LC_TIME", c.lc_time), lang("LANG", c.lang);
    EXPECT_EQ(user_date_form(), c.form) << c.lc_all.value_or("-") << " " << c.lc_time.value_or("-") << " "
                                        << c.lang.value_or("-");
  }
}

}  // namespace
}  // namespace qor
