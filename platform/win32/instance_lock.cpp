// The program folder's lock on Windows: a hidden file in the folder, open
// with no sharing for the process's life and deleted when closed. Another
// open of it fails with a sharing violation while it is held; the system
// closes it, and so deletes it, however the process ends, so the folder
// holds it only while a client runs.
#include <string>

#include "platform/instance_lock.hpp"
#include "platform/win32/running_executable.hpp"
#include "platform/win32/wide_text.hpp"
#include "platform/win32/windows_error.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

namespace qor {
namespace {

constexpr const wchar_t* kLockName = L".qor-instance-lock";

class FolderLock : public InstanceLock {
 public:
  explicit FolderLock(win32::UniqueHandle file) : file_(std::move(file)) {}

 private:
  win32::UniqueHandle file_;
};

}  // namespace

Result<std::unique_ptr<InstanceLock>> lock_program_folder(const std::string& program_folder) {
  // An unknown folder is no folder to lock, least of all the working folder.
  if (program_folder.empty()) return Failure{"the program folder is not known", ERROR_PATH_NOT_FOUND};
  std::wstring path = win32::to_wide(program_folder);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += kLockName;
  win32::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    // Held open by another client; or, for the moment it takes that client
    // to end, its lock file waits to be deleted.
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
        (error == ERROR_ACCESS_DENIED && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES))
      return Failure{"another QOR_sync_PRO works in " + program_folder, kFolderLocked};
    return win32::windows_failure("lock the program folder " + program_folder, error);
  }
  return std::unique_ptr<InstanceLock>(std::make_unique<FolderLock>(std::move(file)));
}

std::string running_program_folder() {
  const auto path = win32::running_executable_path();
  if (!path) return {};
  const auto separator = path->find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  return win32::to_utf8(path->substr(0, separator));
}

}  // namespace qor
