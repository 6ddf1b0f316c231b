// The file-system object on a POSIX system. "Read-only" is the owner's write
// bit; a program is startable with its execute bits.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "executable.hpp"
#include "file_system.hpp"
#include "pe_file.hpp"
#include "replacement_file.hpp"
#include "stamp_file.hpp"

namespace qor {
namespace fs = std::filesystem;

std::string local_path(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

namespace {

class LocalFileSystem final : public FileSystem {
 public:
  bool FolderExists(const std::string& path) override {
    std::error_code ec;
    return fs::is_directory(fs::path(local_path(path)), ec);
  }

  // Succeeds when the folder is there afterwards, also when someone else
  // created it between the caller's FolderExists and this call.
  Status CreateFolder(const std::string& path) override {
    const std::string folder = local_path(path);
    if (::mkdir(folder.c_str(), 0777) == 0) return {};
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return {};
    return failure_from_errno("create folder " + folder, error);
  }

  bool FileExists(const std::string& path) override {
    const std::string p = local_path(path);
    // A path with a trailing separator names a folder, never a file.
    if (!p.empty() && p.back() == '/') return false;
    std::error_code ec;
    const auto status = fs::status(fs::path(p), ec);
    return !ec && fs::exists(status) && !fs::is_directory(status);
  }

  std::string GetFileVersion(const std::string& path) override { return read_pe_file_version_at(local_path(path)); }

  Result<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) override {
    const std::string p = local_path(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return failure_from_errno("last-write time of " + p, errno);
    return std::chrono::system_clock::time_point{std::chrono::seconds{st.st_mtim.tv_sec} +
                                                 std::chrono::nanoseconds{st.st_mtim.tv_nsec}};
  }

  Result<std::unique_ptr<ReplacementFile>> replace_file(const std::string& path) override {
    return start_replacement(local_path(path));
  }

  Status set_last_write_time(const std::string& path, const FILETIME& utc) override {
    return stamp_last_write_time(local_path(path), utc);
  }

  Status make_startable(const std::string& path) override { return make_executable(local_path(path)); }
};

}  // namespace

std::unique_ptr<FileSystem> make_local_file_system(const std::string& /*program_folder*/) {
  return std::make_unique<LocalFileSystem>();
}

}  // namespace qor
