// How the user's locale writes a date and a time of day. Version dates of
// date-versioned packages are compared with a file's last-write time in this
// form, so the platform's locale data decides it.
//
// Patterns: d or dd (day), M or MM (month), yyyy (year), H or HH (hour of 24),
// h or hh (hour of 12), m or mm, s or ss, tt (the AM/PM designator), text in
// single quotes ('' is a quote); any other character stands for itself.
#pragma once

#include <string>

namespace qor {

struct DateForm {
  std::string date_pattern = "yyyy-MM-dd";  // the short date, with a four-digit year
  std::string time_pattern = "HH:mm:ss";    // the long time
  std::string am = "AM";
  std::string pm = "PM";
  bool operator==(const DateForm&) const = default;
};

// The form of the user's locale.
DateForm user_date_form();

// The form of a named locale ("de_DE.UTF-8", "en-US", "C"); a name the
// platform does not know gives the form of "C".
DateForm date_form_for(const std::string& locale_name);

}  // namespace qor
