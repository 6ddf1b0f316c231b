// The fixed forms of the general date table. Portable: every platform's
// date_form_for gives these for their locales, and version dates written in
// another locale's form are read in them.
#include "platform/date_form.hpp"

namespace qor {

const DateForm& fixed_date_form(std::string_view locale) {
  static const DateForm german{"dd.MM.yyyy", "HH:mm:ss"};
  static const DateForm us_english{"M/d/yyyy", "h:mm:ss tt"};
  static const DateForm british_english{"dd/MM/yyyy", "HH:mm:ss"};
  static const DateForm c{};
  if (locale == "de") return german;
  if (locale == "en_US") return us_english;
  if (locale == "en_GB") return british_english;
  return c;
}

const std::vector<DateForm>& fixed_date_forms() {
  static const std::vector<DateForm> forms{fixed_date_form("de"), fixed_date_form("en_US"), fixed_date_form("en_GB"),
                                           fixed_date_form("C")};
  return forms;
}

}  // namespace qor
