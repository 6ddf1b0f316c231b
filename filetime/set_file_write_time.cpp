// On this platform a file's "attributes" are its permission bits: a
// read-only file is one without the owner's write bit. It gets that bit for
// the moment of stamping and its exact bits back afterwards, also when the
// stamping fails, so a failure never leaves a protected file writable.
#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "QOR_sync_file_MOD.hpp"
#include "local_time.hpp"
#include "unique_fd.hpp"

namespace qor {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochIn1601Seconds = 11'644'473'600;

// Gives the owner write permission for its lifetime; the original bits come
// back on destruction.
class WritableForAMoment {
 public:
  WritableForAMoment(const std::string& path, mode_t mode) : path_(path), mode_(mode & 07777) {
    changed_ = (mode_ & S_IWUSR) == 0 && ::chmod(path_.c_str(), mode_ | S_IWUSR) == 0;
  }
  WritableForAMoment(const WritableForAMoment&) = delete;
  WritableForAMoment& operator=(const WritableForAMoment&) = delete;
  ~WritableForAMoment() {
    if (changed_) ::chmod(path_.c_str(), mode_);
  }

 private:
  std::string path_;
  mode_t mode_;
  bool changed_ = false;
};

}  // namespace

bool set_file_write_time(const std::string& path, const DateValue& date, bool date_is_local) {
  return set_file_write_time(path, date, date_is_local, std::chrono::system_clock::now());
}

bool set_file_write_time(const std::string& path, const DateValue& date, bool date_is_local,
                         std::chrono::system_clock::time_point now) {
  if (!is_stampable_date(date)) return false;
  std::int64_t seconds_1601 = static_cast<std::int64_t>(file_time_ticks(date_to_file_time(date)) / kTicksPerSecond);
  if (date_is_local) seconds_1601 -= utc_offset_at(now).count();
  if (seconds_1601 < 0) return false;  // east of UTC on 1601-01-01: before the FILETIME epoch

  struct stat before {};
  if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode)) return false;

  WritableForAMoment writable(path, before.st_mode);
  // O_NONBLOCK: a path swapped for a FIFO meanwhile must not hang the window.
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) return false;
  struct stat opened {};
  if (::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return false;

  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds_1601 - kUnixEpochIn1601Seconds);
  times[1].tv_nsec = 0;
  if (::futimens(file.get(), times) != 0) return false;
  return file.close();
}

}  // namespace qor
