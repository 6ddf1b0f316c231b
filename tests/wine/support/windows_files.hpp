// What the Windows tests need beyond the shared test support (files.hpp):
// Windows' view of paths, and whether Wine stands in for Windows.
#pragma once

#include <string>

namespace qor::test {

// True exactly when a file (not a folder) is there.
bool file_exists(const std::string& path);

// The path with '\\' separators, as the shell and the system hand paths back.
std::string windows_path(std::string path);

// The Windows path of a file of the build tree, which the build knows by
// its Linux path: Wine shows the Linux file system as drive Z:.
std::string from_linux_path(const std::string& linux_path);

// Wine implements the Windows API on Linux; a few of its answers differ
// from Windows', and the tests that meet them say so where they do.
bool running_under_wine();

}  // namespace qor::test
