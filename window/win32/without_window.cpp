// What the program needs of the toolkit without its window or instead of
// it, on Windows. Why the window does not open: a box with the program's
// title, and the line on the console the program was started from.
#include <cstdio>

#include "platform/win32/wide_text.hpp"
#include "portable/app_title.hpp"
#include "window/form_toolkit.hpp"
#include "window/win32/parent_console.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

#include <io.h>
#include <shellapi.h>

namespace qor {

void show_refusal(int /*argc*/, char** /*argv*/, const std::string& text) {
  if (win32::use_parent_console()) {
    std::fputs((std::string(kApplicationTitle) + ": " + text + "\n").c_str(), stderr);
    std::fflush(stderr);
  }
  MessageBoxW(nullptr, win32::to_wide(text).c_str(), win32::to_wide(kApplicationTitle).c_str(),
              MB_OK | MB_SETFOREGROUND | MB_ICONWARNING);
}

bool connect_standard_streams() {
  win32::use_parent_console();
  // The C library's stream, not the system's handle: a stream opened on the
  // console leaves the process's standard handle as it was.
  const int output = _fileno(stdout);
  return output >= 0 && _get_osfhandle(output) >= 0;
}

}  // namespace qor

namespace qor {

std::vector<std::string> program_arguments(int /*argc*/, char** /*argv*/) {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 1; words != nullptr && i < count; ++i) out.push_back(win32::to_utf8(words[i]));
  if (words != nullptr) LocalFree(words);
  return out;
}

}  // namespace qor
