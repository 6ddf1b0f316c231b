// The general date form: how a date value is written as text in the user's
// locale, and the strict way back. Version dates from the server are
// compared with a file's rendered last-write time as text, so the rendering
// and the parsing must be exact inverses.
#pragma once

#include <optional>
#include <string>

#include "QOR_sync_file_MOD.hpp"

namespace qor {

// The locale that governs dates: LC_ALL, else LC_TIME, else LANG (empty
// values count as unset); empty when none is set.
std::string user_time_locale();

// Date, a space and the time; the time part left out at exactly midnight.
std::string general_date_text(const DateValue& date, const std::string& locale);

// Accepts exactly the form general_date_text writes for this locale, with or
// without the time part; anything else is not a date.
std::optional<DateValue> parse_general_date(const std::string& text, const std::string& locale);

}  // namespace qor
