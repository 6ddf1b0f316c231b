// Windows' date and time pictures (LOCALE_SSHORTDATE, LOCALE_STIMEFORMAT)
// in the pattern syntax of date_form.hpp.
#pragma once

#include <optional>
#include <string>

#include "platform/date_form.hpp"

namespace qor::win32 {

// What a locale says, as UTF-8.
struct LocalePictures {
  std::string short_date;  // e.g. "dd.MM.yyyy", "M/d/yy"
  std::string long_time;   // e.g. "HH:mm:ss", "h:mm:ss tt"
  std::string am;          // LOCALE_S1159
  std::string pm;          // LOCALE_S2359
};

// The form for those pictures: any run of y becomes the four-digit year,
// the era (g) is left out, "t" (the designator's first letter) becomes tt
// with designators of one letter. None when a picture names a field the
// form has no place for (day or month names: ddd, MMM).
std::optional<DateForm> date_form_from_pictures(const LocalePictures& pictures);

}  // namespace qor::win32
