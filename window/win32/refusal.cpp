// Why the window does not open, on Windows: a box with the program's title,
// and the line on the console the program was started from.
#include <cstdio>

#include "platform/win32/wide_text.hpp"
#include "portable/app_title.hpp"
#include "window/form_toolkit.hpp"
#include "window/win32/parent_console.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

#include <io.h>

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
