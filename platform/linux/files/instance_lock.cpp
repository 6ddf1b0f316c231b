// The program folder's lock on Linux: flock on the folder itself. Nothing
// is created in the folder, so a run that changes nothing (--check) leaves
// it exactly as it was; the kernel drops the lock with the last descriptor,
// also when the process is killed. flock locks belong to the open file
// description, so a second lock taken in the same process is refused as a
// second process is.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/instance_lock.hpp"
#include "platform/linux/files/unique_fd.hpp"

namespace qor {
namespace {

class FolderLock : public InstanceLock {
 public:
  explicit FolderLock(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;
};

}  // namespace

Result<std::unique_ptr<InstanceLock>> lock_program_folder(const std::string& program_folder) {
  // An unknown folder is no folder to lock, least of all the root.
  if (program_folder.empty()) return Failure{"the program folder is not known", ENOENT};
  const std::string& folder = program_folder;
  UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return failure_from_errno("open the program folder " + folder, errno);
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return Failure{"another QOR_sync_PRO works in " + folder, kFolderLocked};
    return failure_from_errno("lock the program folder " + folder, errno);
  }
  return std::unique_ptr<InstanceLock>(std::make_unique<FolderLock>(std::move(fd)));
}

std::string running_program_folder() {
  std::string path(PATH_MAX, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  const auto separator = path.find_last_of('/');
  if (separator == std::string::npos) return {};
  return separator == 0 ? std::string("/") : path.substr(0, separator);
}

}  // namespace qor
