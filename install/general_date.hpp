// The general date form: how a date value is written as text in the user's
// locale (the short date, a space and the long time; the time part left out
// at exactly midnight), and the strict way back. Version dates from the
// server are compared with a file's rendered last-write time as text, so the
// rendering and the parsing must be exact inverses.
#pragma once

#include <optional>
#include <string>

#include "filetime/date_value.hpp"
#include "platform/date_form.hpp"

namespace qor {

std::string general_date_text(const DateValue& date, const DateForm& form);

// Accepts exactly the text general_date_text writes in this form, with or
// without the time part; anything else is not a date. A text longer than
// any date of the form is refused without being read.
std::optional<DateValue> parse_general_date(const std::string& text, const DateForm& form);

}  // namespace qor
