// How the user's locale writes a date and a time of day. Version dates of
// date-versioned packages are compared with a file's last-write time in this
// form, so the platform's locale data decides it.
//
// Patterns: d or dd (day), M or MM (month), yyyy (year), H or HH (hour of 24),
// h or hh (hour of 12), m or mm, s or ss, tt (the AM/PM designator), text in
// single quotes ('' is a quote); any other character stands for itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// The fixed forms of the general date table, the same on every platform:
// "de" (dd.MM.yyyy HH:mm:ss), "en_US" (M/d/yyyy h:mm:ss tt), "en_GB"
// (dd/MM/yyyy HH:mm:ss) and "C" (yyyy-MM-dd HH:mm:ss); any other name
// gives the form of "C".
const DateForm& fixed_date_form(std::string_view locale);

// The four fixed forms in the order in which a version date that is no date
// in the user's form is read: German first (servers write German dates in
// practice), then US English, British English, C.
const std::vector<DateForm>& fixed_date_forms();

// The form of a named locale ("de_DE.UTF-8", "en-US", "C"); a name the
// platform does not know gives the form of "C".
DateForm date_form_for(const std::string& locale_name);

}  // namespace qor
