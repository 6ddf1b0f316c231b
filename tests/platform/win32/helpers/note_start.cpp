// A program for the tests of starting programs: it notes the window state
// it was asked to show in and the folder it started in, in
// "<its own path>.note" ("show=3", "folder=C:\..."), and ends. With "--hold"
// on its command line it then waits to be ended, a running program whose
// file stays in use.
#include <string>

#include "platform/win32/wide_text.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/unique_handle.hpp"
#include "platform/win32/windows_api.hpp"

int main() {
  wchar_t self[MAX_PATH];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return 1;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  wchar_t folder[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, folder);
  const std::string note = "show=" + std::to_string(show) + "\nfolder=" + qor::win32::to_utf8(folder) + "\n";

  // Written beside and moved into place, so a reader never sees half of it.
  const std::wstring path = std::wstring(self) + L".note";
  const std::wstring temp = path + L".tmp";
  qor::win32::UniqueHandle file(
      CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.get(), note.data(), static_cast<DWORD>(note.size()), &written, nullptr)) return 1;
  file.reset();
  if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return 1;

  if (std::wstring(GetCommandLineW()).find(L"--hold") != std::wstring::npos) Sleep(120'000);
  return 0;
}
