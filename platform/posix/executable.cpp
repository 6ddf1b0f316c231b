#include "executable.hpp"

#include <cerrno>

#include <sys/stat.h>

namespace qor {

Status make_executable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return failure_from_errno("make startable " + path, errno);
  if (!S_ISREG(st.st_mode)) return Failure{"make startable " + path + ": not a regular file"};
  mode_t mode = st.st_mode & 07777;
  mode |= S_IXUSR;
  if (mode & S_IRGRP) mode |= S_IXGRP;
  if (mode & S_IROTH) mode |= S_IXOTH;
  if (mode == (st.st_mode & 07777) || ::chmod(path.c_str(), mode) == 0) return {};
  return failure_from_errno("make startable " + path, errno);
}

}  // namespace qor
