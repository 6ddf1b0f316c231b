// Reparse points for the tests of the walk below the program folder: a
// junction to a folder, a symbolic link to a file. Windows makes them
// itself; Wine cannot (FSCTL_SET_REPARSE_POINT answers ERROR_NOT_SUPPORTED,
// CreateSymbolicLinkW says yes and makes nothing), so there the test server
// host makes a symbolic link on the Linux side (the test program runs with
// SERVERS). Wine shows one to a folder as a reparse point, and one to a file
// as that file itself: only an open handle's final path tells it is a link.
#pragma once

#include <optional>
#include <string>

namespace qor::test {

// Makes `link` (which must not exist) lead to `target`, a folder or a file;
// the reason when it could not.
std::optional<std::string> make_reparse_point(const std::string& link, const std::string& target);

}  // namespace qor::test
