#include "platform/linux/files/stamp_file.hpp"

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/files/unique_fd.hpp"

namespace qor {
namespace {

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochIn1601Seconds = 11'644'473'600;

}  // namespace

time_t unix_time_of(const FILETIME& utc) {
  const std::uint64_t ticks = (std::uint64_t{utc.dwHighDateTime} << 32) | utc.dwLowDateTime;
  return static_cast<time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) - kUnixEpochIn1601Seconds);
}

Status stamp_last_write_time_at(int folder, const std::string& name, const std::string& shown, const FILETIME& utc) {
  struct stat before {};
  if (::fstatat(folder, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0)
    return failure_from_errno("stamp " + shown, errno);
  if (S_ISLNK(before.st_mode)) return Failure{"stamp " + shown + ": a symbolic link is in the way", ELOOP};
  if (!S_ISREG(before.st_mode)) return Failure{"stamp " + shown + ": not a regular file"};

  // The owner sets a time through any descriptor; read access suffices, and
  // a file without it (write-only) is opened for writing instead.
  // O_NONBLOCK: a path swapped for a FIFO meanwhile must not hang the window.
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  UniqueFd file(::openat(folder, name.c_str(), O_RDONLY | kFlags));
  if (file.get() < 0 && errno == EACCES) file = UniqueFd(::openat(folder, name.c_str(), O_WRONLY | kFlags));
  if (file.get() < 0) return failure_from_errno("stamp " + shown, errno);
  struct stat opened {};
  if (::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
    return Failure{"stamp " + shown + ": not a regular file"};

  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = unix_time_of(utc);
  times[1].tv_nsec = 0;
  if (::futimens(file.get(), times) != 0) return failure_from_errno("stamp " + shown, errno);
  return {};
}

Status stamp_last_write_time(const std::string& path, const FILETIME& utc) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const UniqueFd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return failure_from_errno("stamp " + path, errno);
  return stamp_last_write_time_at(dir.get(), slash == std::string::npos ? path : path.substr(slash + 1), path, utc);
}

}  // namespace qor
