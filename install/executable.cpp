#include "executable.hpp"

#include <sys/stat.h>

namespace qor {

bool make_executable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  mode_t mode = st.st_mode & 07777;
  mode |= S_IXUSR;
  if (mode & S_IRGRP) mode |= S_IXGRP;
  if (mode & S_IROTH) mode |= S_IXOTH;
  return mode == (st.st_mode & 07777) || ::chmod(path.c_str(), mode) == 0;
}

}  // namespace qor
