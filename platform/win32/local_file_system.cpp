// The file-system object on Windows: the wide-character API, UTF-8 paths at
// the edge. Names match regardless of case because the platform's file
// systems do. "Read-only" is the read-only attribute; programs need nothing
// to be startable. Paths below the program folder go through its walk
// (program_folder_root.hpp).
#include <algorithm>

#include "platform/file_system.hpp"
#include "platform/win32/download_leftovers.hpp"
#include "platform/win32/file_time.hpp"
#include "platform/win32/pe_file.hpp"
#include "platform/win32/placement_run.hpp"
#include "platform/win32/program_folder_root.hpp"
#include "platform/win32/replacement_file.hpp"
#include "platform/win32/stamp_file.hpp"
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"
#include "platform/win32/windows_names.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor {

// Windows takes '/' as well as '\', and the step code checks components
// between '/' only, so '/' is the one separator paths carry here too.
std::string local_path(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// The user knows paths on this system by their "\", as the shell writes them.
std::string display_path(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

namespace {

using win32::EntryBelow;

DWORD attributes_of(const std::string& path) { return GetFileAttributesW(win32::to_wide(path).c_str()); }

Result<std::chrono::system_clock::time_point> last_write_of(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(win32::to_wide(path).c_str(), GetFileExInfoStandard, &data)) {
    const DWORD error = GetLastError();
    return win32::windows_failure("last-write time of " + path, error);
  }
  return win32::time_point_from_ticks((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                      data.ftLastWriteTime.dwLowDateTime);
}

class LocalFileSystem final : public FileSystem {
 public:
  explicit LocalFileSystem(const std::string& program_folder) : root_(local_path(program_folder)) {}

  bool FolderExists(const std::string& path) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) {
      const DWORD attributes = attributes_of(p);
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    const auto found = root_.walk(*relative, false);
    return found && found->is_folder();
  }

  // Succeeds when the folder is there afterwards, also when someone else
  // created it between the caller's FolderExists and this call.
  Status CreateFolder(const std::string& path) override {
    auto entry = walk_for_writing("create folder", path);
    if (!entry) return entry.failure();
    if (entry->name.empty() || entry->is_folder()) return {};
    if (entry->is_reparse_point())
      return Failure{"create folder " + win32::reparse_point_in_the_way(entry->path).reason,
                     win32::kReparsePointInTheWay};
    if (CreateDirectoryW(win32::to_wide(entry->path).c_str(), nullptr)) return {};
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && FolderExists(entry->path)) return {};
    return win32::windows_failure("create folder " + entry->path, error);
  }

  bool FileExists(const std::string& path) override {
    const std::string p = local_path(path);
    // A path with a trailing separator names a folder, never a file.
    if (!p.empty() && p.back() == '/') return false;
    const auto relative = root_.below(p);
    if (!relative) {
      const DWORD attributes = attributes_of(p);
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    const auto found = root_.walk(*relative, false);
    return found && is_file_here(*found);
  }

  std::string GetFileVersion(const std::string& path) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return win32::read_pe_file_version_at(p);
    const auto found = root_.walk(*relative, false);
    if (!found || !is_file_here(*found)) return {};
    return win32::read_pe_file_version_at(found->path);
  }

  Result<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return last_write_of(p);
    auto found = root_.walk(*relative, false);
    if (!found) return found.failure();
    if (!found->exists) return win32::windows_failure("last-write time of " + found->path, ERROR_FILE_NOT_FOUND);
    if (found->is_reparse_point())
      return Failure{"last-write time of " + win32::reparse_point_in_the_way(found->path).reason,
                     win32::kReparsePointInTheWay};
    if (Status here = root_.check_entry(*found); !here)
      return Failure{"last-write time of " + here.failure().reason, here.failure().code};
    return last_write_of(found->path);
  }

  Result<std::string> regular_file_inside(const std::string& path) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return outside("start", p);
    auto found = root_.walk(*relative, false);
    if (!found) return found.failure();
    if (!found->exists) return win32::windows_failure(found->path, ERROR_FILE_NOT_FOUND);
    if (found->is_reparse_point()) return win32::reparse_point_in_the_way(found->path);
    if (!found->is_file() || found->name.empty()) return Failure{found->path + ": not a regular file"};
    if (Status here = root_.check_entry(*found); !here) return here.failure();
    return found->path;
  }

  Status read_file(const std::string& path, ByteSink& sink, std::uint64_t max_bytes) override {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return outside("read", p);
    auto found = root_.walk(*relative, false);
    if (!found) return found.failure();
    if (!found->exists) return win32::windows_failure("read " + found->path, ERROR_FILE_NOT_FOUND);
    if (found->is_reparse_point()) return win32::reparse_point_in_the_way(found->path);
    if (!found->is_file() || found->name.empty()) return Failure{"read " + found->path + ": not a regular file"};
    if (Status here = root_.check_entry(*found); !here) return here.failure();
    // Others may go on using the file meanwhile; a reparse point put there
    // after the walk is opened as itself, and refused below.
    const win32::UniqueHandle file(CreateFileW(win32::to_wide(found->path).c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return win32::windows_failure("read " + found->path, GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
      return Failure{"read " + found->path + ": not a regular file"};
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    const Failure too_large{"read " + found->path + ": larger than " + std::to_string(max_bytes) + " bytes",
                            ERROR_FILE_TOO_LARGE};
    if (size > max_bytes) return too_large;
    std::uint64_t total = 0;
    char buffer[64 * 1024];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
        return win32::windows_failure("read " + found->path, GetLastError());
      if (got == 0) return {};
      total += got;
      if (total > max_bytes) return too_large;
      if (Status written = sink.write(buffer, got); !written) return written;
    }
  }

  Result<std::unique_ptr<ReplacementFile>> replace_file(const std::string& path) override {
    auto entry = walk_for_writing("replace", path);
    if (!entry) return entry.failure();
    if (Status here = root_.check_entry(*entry); !here)
      return Failure{"replace " + here.failure().reason, here.failure().code};
    return win32::start_replacement(std::move(*entry));
  }

  Status set_last_write_time(const std::string& path, const qor::FILETIME& utc) override {
    const auto entry = walk_for_writing("stamp", path);
    if (!entry) return entry.failure();
    if (entry->is_reparse_point())
      return Failure{"stamp " + win32::reparse_point_in_the_way(entry->path).reason, win32::kReparsePointInTheWay};
    return win32::stamp_last_write_time(entry->path, utc, [this, &entry](void* file) {
      return root_.check_is_at(static_cast<HANDLE>(file), entry->path);
    });
  }

  // Any file can be started on Windows; whether it is a program is the
  // loader's business. Only what lies inside the folder is the client's.
  Status make_startable(const std::string& path) override {
    const auto entry = walk_for_writing("make startable", path);
    if (!entry) return entry.failure();
    if (!entry->exists) return win32::windows_failure("make startable " + entry->path, ERROR_FILE_NOT_FOUND);
    if (entry->is_reparse_point())
      return Failure{"make startable " + win32::reparse_point_in_the_way(entry->path).reason,
                     win32::kReparsePointInTheWay};
    if (Status here = root_.check_entry(*entry); !here)
      return Failure{"make startable " + here.failure().reason, here.failure().code};
    return {};
  }

  Status remove_download_leftovers() override {
    if (const auto root = root_.walk("", false); !root || !root->is_folder())
      return win32::windows_failure("list the program folder " + root_.path(), ERROR_PATH_NOT_FOUND);
    return win32::remove_download_leftovers_in(root_.path());
  }

  std::unique_ptr<PlacementRun> start_placement_run() override { return win32::start_placement_run(root_); }

  Status finish_interrupted_run() override { return win32::finish_interrupted_run(root_); }

 private:
  // A file of its own at its place, not one a link leads to.
  bool is_file_here(const EntryBelow& entry) const {
    return entry.is_file() && static_cast<bool>(root_.check_entry(entry));
  }

  Failure outside(const std::string& what, const std::string& path) const {
    return Failure{what + " " + path + ": outside the program folder " + root_.path(), ERROR_ACCESS_DENIED};
  }

  // The reason names the whole path as the caller gave it.
  Result<EntryBelow> walk_for_writing(const std::string& what, const std::string& path) const {
    const std::string p = local_path(path);
    const auto relative = root_.below(p);
    if (!relative) return outside(what, p);
    auto entry = root_.walk(*relative, true);
    if (entry) return entry;
    return Failure{what + " " + p + ": " + entry.failure().reason, entry.failure().code};
  }

  win32::ProgramFolderRoot root_;
};

}  // namespace

std::unique_ptr<FileSystem> make_local_file_system(const std::string& program_folder) {
  return std::make_unique<LocalFileSystem>(program_folder);
}

}  // namespace qor
