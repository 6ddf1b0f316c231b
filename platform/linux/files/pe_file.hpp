// The resources of a PE file on disk: its version and its icon.
#pragma once

#include <string>
#include <vector>

namespace qor {

// "a.b.c.d", or the empty text for anything but a regular PE file with a
// version resource. Never blocks on a FIFO or device at the path.
std::string read_pe_file_version_at(const std::string& path);
// The same for the entry `name` of the open `folder`; a link there has none.
std::string read_pe_file_version_at(int folder, const std::string& name);

// The first icon group as an .ico file (see read_pe_icon); empty for
// anything but a regular PE file with an icon. Never blocks either.
std::vector<unsigned char> read_pe_icon_at(const std::string& path);

}  // namespace qor
