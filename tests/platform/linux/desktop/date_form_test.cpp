// Which locale a Linux session's user has for dates: LC_ALL, else LC_TIME,
// else LANG. The forms of the locales are in tests/platform/contract/dates.
#include <gtest/gtest.h>

#include "platform/date_form.hpp"
#include "tests/support/scoped_env.hpp"

namespace qor {
namespace {

const DateForm kGerman{"dd.MM.yyyy", "HH:mm:ss"};
const DateForm kUs{"M/d/yyyy", "h:mm:ss tt"};
const DateForm kBritish{"dd/MM/yyyy", "HH:mm:ss"};
const DateForm kC{"yyyy-MM-dd", "HH:mm:ss"};

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
