// The file-system object on Windows: the wide-character API, UTF-8 paths at
// the edge. Names match regardless of case because the platform's file
// systems do. "Read-only" is the read-only attribute; programs need nothing
// to be startable.
#include <algorithm>

#include "file_system.hpp"
#include "file_time.hpp"
#include "pe_file.hpp"
#include "replacement_file.hpp"
#include "stamp_file.hpp"
#include "wide_text.hpp"
#include "windows_error.hpp"
#include "windows_names.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "windows_api.hpp"

namespace qor {

// Windows takes '/' as well as '\', and the step code checks components
// between '/' only, so '/' is the one separator paths carry here too.
std::string local_path(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

namespace {

DWORD attributes_of(const std::string& path) { return GetFileAttributesW(win32::to_wide(local_path(path)).c_str()); }

class LocalFileSystem final : public FileSystem {
 public:
  bool FolderExists(const std::string& path) override {
    const DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  // Succeeds when the folder is there afterwards, also when someone else
  // created it between the caller's FolderExists and this call.
  Status CreateFolder(const std::string& path) override {
    const std::string folder = local_path(path);
    if (const auto alias = win32::aliased_component(folder))
      return Failure{"create folder " + folder + ": Windows would not keep the name \"" + *alias + "\" as written",
                     ERROR_INVALID_NAME};
    if (CreateDirectoryW(win32::to_wide(folder).c_str(), nullptr)) return {};
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && FolderExists(folder)) return {};
    return win32::windows_failure("create folder " + folder, error);
  }

  bool FileExists(const std::string& path) override {
    const std::string p = local_path(path);
    // A path with a trailing separator names a folder, never a file.
    if (!p.empty() && p.back() == '/') return false;
    const DWORD attributes = attributes_of(p);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }

  std::string GetFileVersion(const std::string& path) override {
    return win32::read_pe_file_version_at(local_path(path));
  }

  Result<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) override {
    const std::string p = local_path(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(win32::to_wide(p).c_str(), GetFileExInfoStandard, &data)) {
      const DWORD error = GetLastError();
      return win32::windows_failure("last-write time of " + p, error);
    }
    return win32::time_point_from_ticks((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                        data.ftLastWriteTime.dwLowDateTime);
  }

  Result<std::unique_ptr<ReplacementFile>> replace_file(const std::string& path) override {
    return win32::start_replacement(local_path(path));
  }

  Status set_last_write_time(const std::string& path, const qor::FILETIME& utc) override {
    return win32::stamp_last_write_time(local_path(path), utc);
  }

  // Any file can be started on Windows; whether it is a program is the
  // loader's business.
  Status make_startable(const std::string& /*path*/) override { return {}; }
};

}  // namespace

std::unique_ptr<FileSystem> make_local_file_system(const std::string& /*program_folder*/) {
  return std::make_unique<LocalFileSystem>();
}

}  // namespace qor
