#include "stamp_file.hpp"

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "unique_fd.hpp"

namespace qor {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochIn1601Seconds = 11'644'473'600;

// Gives the owner write permission for its lifetime; the original bits come
// back on destruction, so a failure never leaves a protected file writable.
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

Status stamp_last_write_time(const std::string& path, const FILETIME& utc) {
  const std::uint64_t ticks = (std::uint64_t{utc.dwHighDateTime} << 32) | utc.dwLowDateTime;
  const std::int64_t unix_seconds = static_cast<std::int64_t>(ticks / kTicksPerSecond) - kUnixEpochIn1601Seconds;

  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) return failure_from_errno("stamp " + path, errno);
  if (!S_ISREG(before.st_mode)) return Failure{"stamp " + path + ": not a regular file"};

  WritableForAMoment writable(path, before.st_mode);
  // O_NONBLOCK: a path swapped for a FIFO meanwhile must not hang the window.
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) return failure_from_errno("stamp " + path, errno);
  struct stat opened {};
  if (::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
    return Failure{"stamp " + path + ": not a regular file"};

  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(unix_seconds);
  times[1].tv_nsec = 0;
  if (::futimens(file.get(), times) != 0) return failure_from_errno("stamp " + path, errno);
  if (!file.close()) return failure_from_errno("stamp " + path, errno);
  return {};
}

}  // namespace qor
