// Temporary folders and files on Windows: the wide-character API under UTF-8
// paths; "permission bits" as the read-only attribute shows them.
#include "tests/support/files.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/win32/wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::test {

namespace fs = std::filesystem;
using win32::to_utf8;
using win32::to_wide;

namespace {

using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000;

win32::UniqueHandle open_for_times(const std::string& path, DWORD access) {
  return win32::UniqueHandle(CreateFileW(to_wide(path).c_str(), access,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace

TempDir::TempDir() {
  const fs::path base = fs::temp_directory_path();
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = base / ("qor-test-" + std::to_string(random()));
    if (CreateDirectoryW(folder.c_str(), nullptr)) {
      // With '/' throughout, as the client's own paths are (local_path).
      path_ = to_utf8(folder.generic_wstring());
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  const fs::path root(to_wide(path_));
  std::error_code ec;
  // Read-only files would refuse to go.
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::remove_all(root, ec);
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(fs::path(to_wide(path)), std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out << content;
  if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream in(fs::path(to_wide(path)), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> file_names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(to_wide(folder))))
    names.push_back(to_utf8(entry.path().filename().wstring()));
  std::sort(names.begin(), names.end());
  return names;
}

mode_t mode_of(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
  const mode_t readable = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0555 : 0444;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? readable : readable | 0222;
}

void set_last_write(const std::string& path, std::chrono::system_clock::time_point when) {
  const auto ticks = std::chrono::duration_cast<Ticks>(when.time_since_epoch()).count() + kUnixEpochTicks;
  const ::FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32)};
  const auto file = open_for_times(path, FILE_WRITE_ATTRIBUTES);
  if (!file || !SetFileTime(file.get(), nullptr, nullptr, &time))
    throw std::runtime_error("cannot set the time of " + path);
}

std::chrono::system_clock::time_point last_write(const std::string& path) {
  const auto file = open_for_times(path, FILE_READ_ATTRIBUTES);
  ::FILETIME time{};
  if (!file || !GetFileTime(file.get(), nullptr, nullptr, &time)) throw std::runtime_error("no file " + path);
  const auto ticks = static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(Ticks(ticks - kUnixEpochTicks)));
}

}  // namespace qor::test
