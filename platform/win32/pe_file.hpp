// The version resource of a PE file on disk, read by the project's own
// reader (pe_version.hpp) rather than the system's version functions, so
// both platforms read every image alike.
#pragma once

#include <string>

namespace qor::win32 {

// "a.b.c.d", or the empty text for anything but a PE file with a version
// resource.
std::string read_pe_file_version_at(const std::string& path);

}  // namespace qor::win32
