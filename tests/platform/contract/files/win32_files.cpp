// The file-system suite on Windows (and Wine): Windows error codes, reparse
// points (reparse_point.hpp), attributes, times in 100 ns ticks.
#include <stdexcept>

#include "platform/win32/wide_text.hpp"
#include "tests/platform/contract/files/platform_files.hpp"
#include "tests/wine/support/reparse_point.hpp"
#include "tests/wine/support/windows_files.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor::test {

using win32::to_wide;

namespace {

using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000;

std::chrono::system_clock::time_point time_of(const ::FILETIME& t) {
  const auto ticks = static_cast<std::int64_t>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(Ticks(ticks - kUnixEpochTicks)));
}

::FILETIME file_time_of(std::chrono::system_clock::time_point when) {
  const auto ticks = std::chrono::duration_cast<Ticks>(when.time_since_epoch()).count() + kUnixEpochTicks;
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32)};
}

win32::UniqueHandle open_for_times(const std::string& path, DWORD access) {
  return win32::UniqueHandle(CreateFileW(to_wide(path).c_str(), access,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Where the open file or folder really is, without the "\\?\" prefix.
std::wstring final_path_of(const std::wstring& path) {
  const win32::UniqueHandle opened(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!opened) return {};
  std::wstring final(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(opened.get(), final.data(), static_cast<DWORD>(final.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= final.size()) return {};
  final.resize(n);
  if (final.rfind(L"\\\\?\\", 0) == 0) final.erase(0, 4);
  return final;
}

// The attributes a test sets and reads back. Others are the system's
// business: Wine shows every file as one to archive, a temporary file may
// be "not indexed".
constexpr DWORD kProtections = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

const FailureCodes& failure_codes() {
  // The walk below the program folder reports a reparse point in the way
  // as a name it cannot resolve.
  static const FailureCodes codes{ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,        ERROR_ALREADY_EXISTS,
                                  ERROR_ACCESS_DENIED,  ERROR_CANT_RESOLVE_FILENAME, ERROR_ACCESS_DENIED};
  return codes;
}

// The system's message follows "error <code>"; its wording differs between
// Windows versions and Wine, the code does not.
std::string system_words(long code) { return "error " + std::to_string(code); }

bool names_may_differ_in_case_only() { return false; }

// The names are compared by the file system: Windows' table folds the
// final sigma to the capital, Wine's compare of names does not.
bool folds_final_sigma() { return !running_under_wine(); }

// Wine shows a symbolic link to a file as the file itself.
bool links_to_files_show() { return !running_under_wine(); }

std::filesystem::path native(const std::string& path) { return std::filesystem::path(to_wide(path)); }

std::optional<std::string> make_link(const std::string& link, const std::string& target) {
  return make_reparse_point(link, target);
}

void remove_link(const std::string& link) {
  const std::wstring wide = to_wide(link);
  if (!RemoveDirectoryW(wide.c_str())) DeleteFileW(wide.c_str());
}

// Wine shows a symbolic link to a file as the file itself: only where the
// open file really is tells it apart from a file in the folder.
bool is_link(const std::string& path) {
  const std::wstring wide = to_wide(windows_path(path));
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
  const auto slash = wide.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  const std::wstring folder = final_path_of(wide.substr(0, slash));
  const std::wstring here = final_path_of(wide);
  return !folder.empty() && !here.empty() &&
         CompareStringOrdinal(here.c_str(), -1, (folder + wide.substr(slash)).c_str(), -1, TRUE) != CSTR_EQUAL;
}

Protection protection_of(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) throw std::runtime_error("no file " + path);
  return attributes & kProtections;
}

void protect(const std::string& path, Protection protection) {
  const DWORD attributes = protection == 0 ? FILE_ATTRIBUTE_NORMAL : static_cast<DWORD>(protection);
  if (!SetFileAttributesW(to_wide(path).c_str(), attributes)) throw std::runtime_error("cannot protect " + path);
}

std::vector<Protection> read_only_protections() {
  return {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN,
          FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM};
}

// Hidden and system carry over to the file that replaces one.
std::vector<std::pair<Protection, Protection>> replaced_protections() {
  constexpr Protection hidden_system = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return {{hidden_system, hidden_system}, {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN}};
}

// Any file can be started: nothing changes.
std::vector<std::pair<Protection, Protection>> startable_protections() {
  return {{0, 0}, {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY}};
}

// Wine keeps no creation time on Linux file systems: it shows one made from
// the file's other times. Windows keeps its own.
FileTimes times_of(const std::string& path) {
  const auto file = open_for_times(path, FILE_READ_ATTRIBUTES);
  ::FILETIME creation{}, access{}, write{};
  if (!file || !GetFileTime(file.get(), &creation, &access, &write)) throw std::runtime_error("no file " + path);
  FileTimes times{time_of(access), time_of(write), std::nullopt};
  if (!running_under_wine()) times.creation = time_of(creation);
  return times;
}

void set_times(const std::string& path, std::chrono::system_clock::time_point access,
               std::chrono::system_clock::time_point write) {
  const auto file = open_for_times(path, FILE_WRITE_ATTRIBUTES);
  const ::FILETIME a = file_time_of(access), w = file_time_of(write);
  if (!file || !SetFileTime(file.get(), nullptr, &a, &w)) throw std::runtime_error("cannot set the times of " + path);
}

std::string pe_fixture(const std::string& name) { return from_linux_path(QOR_PE_FIXTURES "/" + name + ".exe"); }

}  // namespace qor::test
