// The version resource of a PE file on disk.
#pragma once

#include <string>

namespace qor {

// "a.b.c.d", or the empty text for anything but a regular PE file with a
// version resource. Never blocks on a FIFO or device at the path.
std::string read_pe_file_version_at(const std::string& path);
// The same for the entry `name` of the open `folder`; a link there has none.
std::string read_pe_file_version_at(int folder, const std::string& name);

}  // namespace qor
