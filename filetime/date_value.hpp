// A calendar date with a time of day, as version dates and file stamps carry
// it; no time zone of its own.
#pragma once

namespace qor {

// A calendar date with a time of day to the second.
struct DateValue {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const DateValue&) const = default;
};

}  // namespace qor
