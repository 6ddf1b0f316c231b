// Version dates of date-versioned packages. A server writes "ve=" in its
// own locale's form, German in practice, which need not be the user's: a
// text that is no date in the user's form is read in the fixed forms of the
// general date table, German first, so that a file stamped by one run is
// current in the next whatever the locale of either.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "filetime/date_value.hpp"

namespace qor {

// The local date and time a "ve=" text names: read in the user's form, else
// in the fixed forms (de, en_US, en_GB, C); none when it is a date in none.
std::optional<DateValue> read_version_date(const std::string& version);

// Whether a file last written at `written` carries the version's date: its
// local time, written in the user's form, is the text, or is to the second
// the date that read_version_date finds in it.
bool is_version_date_of(const std::string& version, std::chrono::system_clock::time_point written);

}  // namespace qor
