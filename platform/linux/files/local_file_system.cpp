// The file-system object on Linux. "Read-only" is the owner's write
// bit; a program is startable with its execute bits. Paths below the program
// folder go through its walk (program_folder_root.hpp).
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.hpp"
#include "platform/linux/files/download_leftovers.hpp"
#include "platform/linux/files/executable.hpp"
#include "platform/linux/files/pe_file.hpp"
#include "platform/linux/files/placement_run.hpp"
#include "platform/linux/files/program_folder_root.hpp"
#include "platform/linux/files/replacement_file.hpp"
#include "platform/linux/files/stamp_file.hpp"

namespace qor {
namespace fs = std::filesystem;

std::string local_path(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string display_path(std::string path) { return local_path(std::move(path)); }

namespace {

class LocalFileSystem final : public FileSystem {
 public:
  explicit LocalFileSystem(const std::string& program_folder) : root_(program_folder) {}

  bool FolderExists(const std::string& path) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) {
      std::error_code ec;
      return fs::is_directory(fs::path(p), ec);
    }
    const auto found = root_.walk(*relative);
    return found && (found->name.empty() || (found->exists && S_ISDIR(found->st.st_mode)));
  }

  // Succeeds when the folder is there afterwards, also when someone else
  // created it between the caller's FolderExists and this call.
  Status CreateFolder(const std::string& path) override {
    auto entry = walk_for_writing("create folder", path);
    if (!entry) return entry.failure();
    if (entry->name.empty()) return {};  // the program folder itself
    const int folder = entry->folder.get();
    if (::mkdirat(folder, entry->name.c_str(), 0777) == 0) return {};
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::fstatat(folder, entry->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISDIR(st.st_mode)) return {};
      if (S_ISLNK(st.st_mode))
        return Failure{"create folder " + entry->path + ": a symbolic link is in the way", ELOOP};
    }
    return failure_from_errno("create folder " + entry->path, error);
  }

  bool FileExists(const std::string& path) override {
    const std::string p = local_path(path);
    // A path with a trailing separator names a folder, never a file.
    if (!p.empty() && p.back() == '/') return false;
    const auto relative = root_.below(p);
    if (!relative) {
      std::error_code ec;
      const auto status = fs::status(fs::path(p), ec);
      return !ec && fs::exists(status) && !fs::is_directory(status);
    }
    const auto found = root_.walk(*relative);
    return found && found->exists && !S_ISDIR(found->st.st_mode) && !S_ISLNK(found->st.st_mode);
  }

  std::string GetFileVersion(const std::string& path) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return read_pe_file_version_at(p);
    const auto entry = root_.walk(*relative);
    if (!entry || entry->name.empty()) return {};
    return read_pe_file_version_at(entry->folder.get(), entry->name);
  }

  Result<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) override {
    const std::string p = local_path(path);
    struct stat st {};
    if (const auto relative = root_.below(p)) {
      auto found = root_.walk(*relative);
      if (!found) return found.failure();
      if (!found->exists) return failure_from_errno("last-write time of " + found->path, ENOENT);
      if (S_ISLNK(found->st.st_mode))
        return Failure{"last-write time of " + found->path + ": a symbolic link is in the way", ELOOP};
      st = found->st;
    } else if (::stat(p.c_str(), &st) != 0) {
      return failure_from_errno("last-write time of " + p, errno);
    }
    return std::chrono::system_clock::time_point{std::chrono::seconds{st.st_mtim.tv_sec} +
                                                 std::chrono::nanoseconds{st.st_mtim.tv_nsec}};
  }

  Result<std::string> regular_file_inside(const std::string& path) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return outside("start", p);
    auto found = root_.walk(*relative);
    if (!found) return found.failure();
    const std::string& shown = found->path;
    if (!found->exists) return failure_from_errno(shown, ENOENT);
    if (S_ISLNK(found->st.st_mode)) return Failure{shown + ": a symbolic link is in the way", ELOOP};
    if (!S_ISREG(found->st.st_mode) || found->name.empty()) return Failure{shown + ": not a regular file"};
    return shown;
  }

  Status read_file(const std::string& path, ByteSink& sink, std::uint64_t max_bytes) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return outside("read", p);
    auto found = root_.walk(*relative);
    if (!found) return found.failure();
    const std::string& shown = found->path;
    if (!found->exists) return failure_from_errno("read " + shown, ENOENT);
    if (found->name.empty() || !S_ISREG(found->st.st_mode)) return Failure{"read " + shown + ": not a regular file"};
    // O_NOFOLLOW: a link put there after the walk is not read through;
    // O_NONBLOCK: nor does a FIFO put there hold the client.
    const UniqueFd file(
        ::openat(found->folder.get(), found->name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return failure_from_errno("read " + shown, errno);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return failure_from_errno("read " + shown, errno);
    if (!S_ISREG(st.st_mode)) return Failure{"read " + shown + ": not a regular file"};
    if (static_cast<std::uint64_t>(st.st_size) > max_bytes)
      return Failure{"read " + shown + ": larger than " + std::to_string(max_bytes) + " bytes", EFBIG};
    std::uint64_t total = 0;
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return failure_from_errno("read " + shown, errno);
      if (got == 0) return {};
      // A file that grows while it is read is held to the same cap.
      total += static_cast<std::uint64_t>(got);
      if (total > max_bytes)
        return Failure{"read " + shown + ": larger than " + std::to_string(max_bytes) + " bytes", EFBIG};
      if (Status written = sink.write(buffer, static_cast<std::size_t>(got)); !written) return written;
    }
  }

  Result<std::unique_ptr<ReplacementFile>> replace_file(const std::string& path) override {
    auto entry = walk_for_writing("replace", path);
    if (!entry) return entry.failure();
    if (entry->name.empty()) return Failure{"replace " + entry->path + ": not a regular file"};
    return start_replacement(std::move(entry->folder), std::move(entry->name), std::move(entry->path), root_.names());
  }

  Status set_last_write_time(const std::string& path, const FILETIME& utc) override {
    const auto entry = walk_for_writing("stamp", path);
    if (!entry) return entry.failure();
    return stamp_last_write_time_at(entry->folder.get(), entry->name.empty() ? "." : entry->name, entry->path, utc);
  }

  Status make_startable(const std::string& path) override {
    const auto entry = walk_for_writing("make startable", path);
    if (!entry) return entry.failure();
    return make_executable_at(entry->folder.get(), entry->name.empty() ? "." : entry->name, entry->path);
  }

  Status remove_download_leftovers() override {
    if (root_.fd() < 0) return root_.walk("").failure();
    return remove_download_leftovers_in(root_.fd(), root_.path());
  }

  std::unique_ptr<PlacementRun> start_placement_run() override { return qor::start_placement_run(root_); }

  Status finish_interrupted_run() override { return qor::finish_interrupted_run(root_); }

 private:
  Failure outside(const std::string& what, const std::string& path) const {
    return Failure{what + " " + path + ": outside the program folder " + root_.path(), EPERM};
  }

  // The reason names the whole path; a link on the way is named as well.
  Result<EntryBelow> walk_for_writing(const std::string& what, const std::string& path) const {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return outside(what, p);
    auto entry = root_.walk(*relative);
    if (entry) return entry;
    const Failure& failure = entry.failure();
    if (failure.code == ELOOP || failure.code == 0)
      return Failure{what + " " + p + ": " + failure.reason, failure.code};
    return failure_from_errno(what + " " + p, static_cast<int>(failure.code));
  }

  ProgramFolderRoot root_;
};

}  // namespace

std::unique_ptr<FileSystem> make_local_file_system(const std::string& program_folder) {
  return std::make_unique<LocalFileSystem>(program_folder);
}

}  // namespace qor
