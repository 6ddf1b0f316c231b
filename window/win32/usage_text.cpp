// Text before the window on Windows: a message box with the program's title,
// which needs no console, and the console's lines where the program was
// started from one.
#include <cstdio>

#include "platform/win32/wide_text.hpp"
#include "portable/app_title.hpp"
#include "window/form_toolkit.hpp"
#include "window/win32/parent_console.hpp"

// The Windows API last: <windows.h> redefines names the project's headers declare.
#include "platform/win32/windows_api.hpp"

namespace qor {

void show_usage_text(const std::string& text, bool is_error) {
  if (win32::use_parent_console()) {
    std::fputs(text.c_str(), is_error ? stderr : stdout);
    std::fflush(is_error ? stderr : stdout);
  }
  // A box shows its text as it is: no markup, its lines where they break.
  MessageBoxW(nullptr, win32::to_wide(text).c_str(), win32::to_wide(kApplicationTitle).c_str(),
              MB_OK | MB_SETFOREGROUND | (is_error ? MB_ICONERROR : MB_ICONINFORMATION));
}

}  // namespace qor
