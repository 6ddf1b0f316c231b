// The date of a version as a file's last-write time. The platform converts
// local to UTC by the offset in effect now and clears and restores a
// read-only attribute around the stamp.
#include "QOR_sync_file_MOD.hpp"
#include "file_system.hpp"
#include "local_date.hpp"

namespace qor {

bool set_file_write_time(FileSystem& file_system, const std::string& path, const DateValue& date, bool date_is_local,
                         std::chrono::system_clock::time_point now) {
  if (!is_stampable_date(date)) return false;
  std::optional<FILETIME> time = date_to_file_time(date);
  if (date_is_local) time = local_file_time_to_file_time(*time, now);
  if (!time) return false;
  const Status stamped = file_system.set_last_write_time(path, *time);
  if (!stamped) report_failure("stamp", stamped.failure());
  return static_cast<bool>(stamped);
}

}  // namespace qor
