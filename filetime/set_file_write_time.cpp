// The date of a version as a file's last-write time. The platform converts
// local to UTC by the offset in effect now and clears and restores a
// read-only attribute around the stamp.
#include <cstdio>

#include "filetime/filetime_steps.hpp"
#include "filetime/local_date.hpp"
#include "platform/file_system.hpp"

namespace qor {
namespace {

std::string date_text(const DateValue& d) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
  return text;
}

}  // namespace

Result<FILETIME> stamp_for(const std::string& path, const DateValue& date, bool date_is_local,
                           std::chrono::system_clock::time_point now) {
  if (!is_stampable_date(date))
    return Failure{"stamp " + path + ": the date " + date_text(date) + " names no time a file can carry"};
  std::optional<FILETIME> time = date_to_file_time(date);
  if (date_is_local) time = local_file_time_to_file_time(*time, now);
  if (!time) return Failure{"stamp " + path + ": the local date " + date_text(date) + " falls before 1601 in UTC"};
  return *time;
}

Status set_file_write_time(FileSystem& file_system, const std::string& path, const DateValue& date, bool date_is_local,
                           std::chrono::system_clock::time_point now) {
  const auto time = stamp_for(path, date, date_is_local, now);
  if (!time) return time.failure();
  return file_system.set_last_write_time(path, *time);
}

}  // namespace qor
