#include "file_system.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "pe_version.hpp"

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
  bool CreateFolder(const std::string& path) override {
    const fs::path folder(local_path(path));
    std::error_code ec;
    fs::create_directory(folder, ec);
    return fs::is_directory(folder, ec);
  }

  bool FileExists(const std::string& path) override {
    const std::string p = local_path(path);
    // A path with a trailing separator names a folder, never a file.
    if (!p.empty() && p.back() == '/') return false;
    std::error_code ec;
    const auto status = fs::status(fs::path(p), ec);
    return !ec && fs::exists(status) && !fs::is_directory(status);
  }

  std::string GetFileVersion(const std::string& path) override { return read_pe_file_version(local_path(path)); }

  std::optional<std::chrono::system_clock::time_point> DateLastModified(const std::string& path) override {
    std::error_code ec;
    const auto written = fs::last_write_time(fs::path(local_path(path)), ec);
    if (ec) return std::nullopt;
    return std::chrono::time_point_cast<std::chrono::system_clock::duration>(std::chrono::file_clock::to_sys(written));
  }
};

}  // namespace

std::unique_ptr<FileSystem> make_local_file_system() { return std::make_unique<LocalFileSystem>(); }

}  // namespace qor
