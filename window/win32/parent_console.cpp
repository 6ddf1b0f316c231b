#include "window/win32/parent_console.hpp"

#include <cstdio>

#include "platform/win32/windows_api.hpp"

#include <fcntl.h>
#include <io.h>

namespace qor::win32 {
namespace {

bool leads_somewhere(FILE* stream, DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && _fileno(stream) >= 0 &&
         _get_osfhandle(_fileno(stream)) >= 0;
}

// The stream written to the console. freopen does it where the C library
// lets it; some (Wine's) leave the streams a GUI program starts with
// without a file even when they say it worked, and for those the C
// library's documented older way serves: a stream opened on the console,
// copied into the standard one and written unbuffered. The copied-from
// stream stays open for the program's life.
bool write_to_console(FILE* stream) {
  FILE* reopened = nullptr;
  if (freopen_s(&reopened, "CONOUT$", "w", stream) == 0 && _fileno(stream) >= 0) return true;
  const int console = _open("CONOUT$", _O_WRONLY | _O_TEXT);
  if (console < 0) return false;
  FILE* opened = _fdopen(console, "w");
  if (opened == nullptr) {
    _close(console);
    return false;
  }
  *stream = *opened;
  return setvbuf(stream, nullptr, _IONBF, 0) == 0;
}

}  // namespace

bool use_parent_console() {
  if (leads_somewhere(stderr, STD_ERROR_HANDLE)) return true;
  // Refused as "access denied" when the process has that console already
  // (Wine hands it on to a GUI program, only not its handles).
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) return false;
  if (!leads_somewhere(stdout, STD_OUTPUT_HANDLE)) write_to_console(stdout);
  return write_to_console(stderr);
}

}  // namespace qor::win32
