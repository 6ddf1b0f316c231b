// Stamping a file's last-write time with a date.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "filetime/date_value.hpp"
#include "platform/find_data.hpp"
#include "portable/result/result.hpp"

namespace qor {

class FileSystem;

struct SYSTEMTIME {
  std::uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0, wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};

// True for a real calendar date and time of day in the years 1601 to 30827,
// the range a FILETIME holds.
bool is_stampable_date(const DateValue& date);

// The date's calendar fields; day of the week and milliseconds 0.
SYSTEMTIME date_to_system_time(const DateValue& date);
// The calendar fields as a FILETIME; none for a record that names no time a
// FILETIME can hold.
std::optional<FILETIME> system_time_to_file_time(const SYSTEMTIME& st);
// 0 for a date outside is_stampable_date.
FILETIME date_to_file_time(const DateValue& date);

// The last-write time (UTC) a file stamped with `date` carries, converted as
// set_file_write_time converts it; the reason when there is none. `path`
// names the file in the reason.
Result<FILETIME> stamp_for(const std::string& path, const DateValue& date, bool date_is_local,
                           std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// Sets only the last-write time (access and other times stay), milliseconds
// 0. With date_is_local the date is taken as local time and converted with
// the UTC offset in effect at `now`, not the offset of the date itself, so
// that reading it back with utc_to_local_date(..., now) gives the same date.
// A read-only file is stamped and read-only again afterwards. Fails for a
// missing, non-regular or unwritable file, or a date outside
// is_stampable_date; nothing is created. The caller tells the reason.
Status set_file_write_time(FileSystem& file_system, const std::string& path, const DateValue& date, bool date_is_local,
                           std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace qor
