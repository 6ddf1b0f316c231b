#include "platform/linux/files/executable.hpp"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace qor {

Status make_executable_at(int folder, const std::string& name, const std::string& shown) {
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return failure_from_errno("make startable " + shown, errno);
  if (S_ISLNK(st.st_mode)) return Failure{"make startable " + shown + ": a symbolic link is in the way", ELOOP};
  if (!S_ISREG(st.st_mode)) return Failure{"make startable " + shown + ": not a regular file"};
  mode_t mode = st.st_mode & 07777;
  mode |= S_IXUSR;
  if (mode & S_IRGRP) mode |= S_IXGRP;
  if (mode & S_IROTH) mode |= S_IXOTH;
  if (mode == (st.st_mode & 07777) || ::fchmodat(folder, name.c_str(), mode, AT_SYMLINK_NOFOLLOW) == 0) return {};
  return failure_from_errno("make startable " + shown, errno);
}

}  // namespace qor
