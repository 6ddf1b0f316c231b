// Replacing the running program. Windows keeps a running .exe open, so it
// cannot be overwritten or deleted, but it can be renamed: an update of the
// client's own program file moves the running one aside to "<name>.old" and
// puts the new one in its place. The next start removes what was set aside.
//
// For the window toolkit: call remove_set_aside_executable() once at the
// start of the program, before the window shows.
#pragma once

#include <optional>
#include <string>

namespace qor {

// Deletes "<this program's file>.old" when an earlier run left it behind.
// Quietly leaves it while that earlier program still runs (the next start
// tries again).
void remove_set_aside_executable();

namespace win32 {

// The full path of this process's program file.
std::optional<std::wstring> running_executable_path();
// True when path is this process's program file, by file identity (volume
// and file index), so another spelling, case or link to it counts as well.
bool is_running_executable(const std::wstring& path);
// Where the running program goes while its replacement takes its place.
std::wstring set_aside_path(const std::wstring& executable);

}  // namespace win32
}  // namespace qor
