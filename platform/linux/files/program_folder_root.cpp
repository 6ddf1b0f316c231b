#include "platform/linux/files/program_folder_root.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "platform/file_system.hpp"
#include "portable/text/letter_case.hpp"

namespace qor {

UniqueFd open_for_listing(int folder) { return UniqueFd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)); }

std::vector<std::string> entries_matching(int folder, const std::string& name) {
  std::vector<std::string> found;
  UniqueFd listing = open_for_listing(folder);
  if (listing.get() < 0) return found;
  // fdopendir takes the descriptor over; closedir closes it.
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(listing.get()), ::closedir);
  if (!dir) return found;
  listing.release();
  const std::string wanted = fold_case_text(name);
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (name.empty() || fold_case_text(entry) == wanted) found.push_back(entry);
  }
  return found;
}

bool place_taken(int folder, const std::string& name) {
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return true;
  return !entries_matching(folder, name).empty();
}

bool place_taken(int folder, const std::string& name, FoldedNames& names) {
  struct stat st {};
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return true;
  return !names.matching(folder, name).empty();
}

ProgramFolderRoot::ProgramFolderRoot(const std::string& program_folder) : path_(local_path(program_folder)) {
  while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
  // The folder itself may be reached through a link: only what lies below
  // it is walked without following links.
  fd_ = UniqueFd(::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (fd_.get() < 0) open_error_ = errno;
}

std::optional<std::string> ProgramFolderRoot::below(const std::string& local) const {
  if (path_ == "/") {
    if (local.starts_with('/')) return local.substr(1);
    return std::nullopt;
  }
  if (local == path_) return std::string();
  if (local.size() > path_.size() && local.starts_with(path_) && local[path_.size()] == '/')
    return local.substr(path_.size() + 1);
  return std::nullopt;
}

Result<EntryBelow> ProgramFolderRoot::walk(const std::string& relative) const {
  if (fd_.get() < 0) return failure_from_errno("open the program folder " + path_, open_error_);
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start <= relative.size()) {
    auto slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    std::string part = relative.substr(start, slash - start);
    if (part == "..") return Failure{path_ + "/" + relative + ": leaves the program folder"};
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = slash + 1;
  }

  EntryBelow entry{UniqueFd(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0)), std::string(), path_};
  if (entry.folder.get() < 0) return failure_from_errno("open the program folder " + path_, errno);
  if (parts.empty()) {
    entry.exists = ::fstat(entry.folder.get(), &entry.st) == 0;
    return entry;
  }
  const auto path_of = [&entry](const std::string& name) { return (entry.path == "/" ? "" : entry.path) + "/" + name; };
  const auto other_case = [this, &entry](const std::string& name) {
    const auto matching = names_->matching(entry.folder.get(), name);
    return matching.size() == 1 ? matching.front() : name;
  };
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    constexpr int kFolder = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    std::string name = parts[i];
    UniqueFd next(::openat(entry.folder.get(), name.c_str(), kFolder));
    if (next.get() < 0 && errno == ENOENT) {
      name = other_case(name);
      if (name != parts[i]) next = UniqueFd(::openat(entry.folder.get(), name.c_str(), kFolder));
      if (name == parts[i]) errno = ENOENT;
    }
    if (next.get() < 0) {
      const int error = errno;
      struct stat st {};
      if (::fstatat(entry.folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return Failure{path_of(name) + ": a symbolic link is in the way", ELOOP};
      return failure_from_errno("open folder " + path_of(name), error);
    }
    entry.path = path_of(name);
    entry.folder = std::move(next);
  }
  entry.name = parts.back();
  entry.exists = ::fstatat(entry.folder.get(), entry.name.c_str(), &entry.st, AT_SYMLINK_NOFOLLOW) == 0;
  if (!entry.exists && errno == ENOENT) {
    entry.name = other_case(entry.name);
    if (entry.name != parts.back())
      entry.exists = ::fstatat(entry.folder.get(), entry.name.c_str(), &entry.st, AT_SYMLINK_NOFOLLOW) == 0;
  } else if (!entry.exists) {
    return failure_from_errno("look at " + path_of(entry.name), errno);
  }
  entry.path = path_of(entry.name);
  return entry;
}

}  // namespace qor
