// The demo's main application on Windows: it notes that it was started,
// in which folder, and the window state it was asked to show in (the
// nCmdShow value, 3 for maximized), then ends.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  wchar_t folder[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, folder, MAX_PATH);
  if (wchar_t* slash = std::wcsrchr(folder, L'\\')) *slash = L'\0';
  wchar_t working[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, working);
  wchar_t note[MAX_PATH + 32] = {};
  std::swprintf(note, MAX_PATH + 32, L"%ls\\main_app_started.txt", folder);
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILE* out = _wfopen(note, L"a");
  if (out == nullptr) return 1;
  std::fwprintf(out, L"started %04u-%02u-%02u %02u:%02u:%02u in %ls show %d working folder %ls\n", now.wYear,
                now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, folder, show, working);
  std::fclose(out);
  return 0;
}
