// Names of files and folders in a release that the client could not take:
// it fetches every file by its bare name from one FTP folder and writes it
// on Windows as well as on Linux, so a name must be one every platform and
// every answer can carry as it is.
#pragma once

#include <optional>
#include <string>

namespace qor::publish {

// Why the name cannot be published, or none. Refused: names that are not
// UTF-8, control characters, "." and "..", the characters Windows holds in
// no name (< > : " / \ | ? *; ":" also makes "C:" a drive), a final dot or
// space (Windows drops it), the device names (CON, NUL, COM1, ...), and the
// names the client takes for its own broken-off downloads.
std::optional<std::string> refused_name(const std::string& name);

}  // namespace qor::publish
