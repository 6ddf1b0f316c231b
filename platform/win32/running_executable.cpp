#include "platform/win32/running_executable.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace win32 {
namespace {

struct FileIdentity {
  DWORD volume = 0;
  DWORD index_high = 0;
  DWORD index_low = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identity_of(const std::wstring& path) {
  // No access asked and every sharing allowed: a running program opens too.
  const UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace

std::optional<std::wstring> running_executable_path() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::nullopt;
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    // Truncated: try again with room for a long path.
    if (path.size() >= 32768) return std::nullopt;
    path.resize(path.size() * 2);
  }
}

bool is_running_executable(const std::wstring& path) {
  const auto self = running_executable_path();
  if (!self) return false;
  const auto mine = identity_of(*self);
  const auto theirs = identity_of(path);
  return mine && theirs && *mine == *theirs;
}

std::wstring set_aside_path(const std::wstring& executable) { return executable + L".old"; }

}  // namespace win32

void remove_set_aside_executable() {
  const auto self = win32::running_executable_path();
  if (!self) return;
  const std::wstring old = win32::set_aside_path(*self);
  // A read-only attribute carried over from the old file must not keep it.
  SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(old.c_str());
}

}  // namespace qor
