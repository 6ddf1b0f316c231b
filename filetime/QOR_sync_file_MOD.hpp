// Stamping a file's last-write time with a date.
#pragma once

#include <cstdint>
#include <string>

#include "find_data.hpp"

namespace qor {

// A calendar date with a time of day to the second.
struct DateValue {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const DateValue&) const = default;
};

struct SYSTEMTIME {
  std::uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0, wHour = 0, wMinute = 0, wSecond = 0,
                wMilliseconds = 0;
};

SYSTEMTIME date_to_system_time(const DateValue& date);
FILETIME date_to_file_time(const DateValue& date);
bool set_file_write_time(const std::string& path, const DateValue& date, bool date_is_local);

}  // namespace qor
