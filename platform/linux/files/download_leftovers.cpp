#include "platform/linux/files/download_leftovers.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/linux/files/program_folder_root.hpp"
#include "platform/linux/files/unique_fd.hpp"
#include "portable/transfer/download_names.hpp"

namespace qor {
namespace {

// Deeper folders than this are left alone: the client never makes them, and
// each level holds a descriptor open.
constexpr int kDeepestFolder = 64;

Result<std::vector<std::string>> entries_of(int folder, const std::string& shown) {
  UniqueFd listing = open_for_listing(folder);
  if (listing.get() < 0) return failure_from_errno("list " + shown, errno);
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listing.get()), ::closedir);
  if (!dir) return failure_from_errno("list " + shown, errno);
  listing.release();
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir.get())) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
  }
  return names;
}

void remove_in(int folder, const std::string& shown, int depth, Status& first_failure) {
  const auto note = [&first_failure](Failure failure) {
    if (first_failure) first_failure = std::move(failure);
  };
  const auto names = entries_of(folder, shown);
  if (!names) return note(names.failure());
  for (const std::string& name : *names) {
    const std::string path = std::string(shown).append("/").append(name);
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    if (S_ISDIR(st.st_mode) && depth < kDeepestFolder) {
      const UniqueFd below(::openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (below.get() < 0) {
        note(failure_from_errno("open folder " + path, errno));
      } else {
        remove_in(below.get(), path, depth + 1, first_failure);
      }
    } else if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && is_download_leftover_name(name)) {
      if (::unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT)
        note(failure_from_errno("remove the leftover " + path, errno));
    }
  }
}

}  // namespace

Status remove_download_leftovers_in(int folder, const std::string& shown) {
  Status first_failure;
  remove_in(folder, shown, 0, first_failure);
  return first_failure;
}

}  // namespace qor
