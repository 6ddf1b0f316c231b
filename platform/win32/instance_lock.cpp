// The program folder's lock on Windows: a named mutex of the system, named
// after the folder's identity on its volume (volume serial and file index),
// so that every spelling of the folder (letter case, short names, a mapped
// drive of the same volume) names the same lock, and nothing is written
// into the folder. The system deletes the mutex with its last handle,
// however the process ends. It lives in the global namespace: a scheduled
// task runs in another session than the user who opens the window.
#include <cstdio>
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

class FolderLock : public InstanceLock {
 public:
  explicit FolderLock(win32::UniqueHandle mutex) : mutex_(std::move(mutex)) {}

 private:
  win32::UniqueHandle mutex_;
};

// The mutex's name for the folder, or the reason it has none.
Result<std::wstring> lock_name(const std::string& program_folder) {
  // No access asked and every sharing allowed: the folder stays usable by all.
  const win32::UniqueHandle folder(CreateFileW(win32::to_wide(program_folder).c_str(), 0,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!folder || !GetFileInformationByHandle(folder.get(), &info))
    return win32::windows_failure("open the program folder " + program_folder, GetLastError());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return Failure{"the program folder " + program_folder + " is no folder", ERROR_DIRECTORY};
  wchar_t name[96];
  std::swprintf(name, sizeof name / sizeof name[0], L"Global\\QOR_sync_PRO-folder-%08lx-%08lx%08lx",
                static_cast<unsigned long>(info.dwVolumeSerialNumber), static_cast<unsigned long>(info.nFileIndexHigh),
                static_cast<unsigned long>(info.nFileIndexLow));
  return std::wstring(name);
}

}  // namespace

Result<std::unique_ptr<InstanceLock>> lock_program_folder(const std::string& program_folder) {
  // An unknown folder is no folder to lock, least of all the working folder.
  if (program_folder.empty()) return Failure{"the program folder is not known", ERROR_PATH_NOT_FOUND};
  const Result<std::wstring> name = lock_name(program_folder);
  if (!name) return name.failure();
  win32::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, name->c_str()));
  const DWORD error = GetLastError();
  // The mutex exists while another client holds it open.
  if (mutex && error == ERROR_ALREADY_EXISTS)
    return Failure{"another QOR_sync_PRO works in " + program_folder, kFolderLocked};
  // One made by another account (a task running as SYSTEM) refuses us
  // access; a refusal to make it at all is no other client.
  if (!mutex && error == ERROR_ACCESS_DENIED) {
    const win32::UniqueHandle theirs(OpenMutexW(SYNCHRONIZE, FALSE, name->c_str()));
    if (theirs || GetLastError() == ERROR_ACCESS_DENIED)
      return Failure{"another QOR_sync_PRO works in " + program_folder, kFolderLocked};
  }
  if (!mutex) return win32::windows_failure("lock the program folder " + program_folder, error);
  return std::unique_ptr<InstanceLock>(std::make_unique<FolderLock>(std::move(mutex)));
}

std::string running_program_folder() {
  const auto path = win32::running_executable_path();
  if (!path) return {};
  const auto separator = path->find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {};
  return win32::to_utf8(path->substr(0, separator));
}

}  // namespace qor
