// Reads the fixed file version of a PE file's version resource.
#pragma once

#include <span>
#include <string>

namespace qor {

// "a.b.c.d" from the VS_FIXEDFILEINFO of the file at path; the empty text for
// a file that is not a PE file, has no version resource, or is damaged.
std::string read_pe_file_version(const std::string& path);

// The same for a PE image already in memory.
std::string read_pe_file_version_from_bytes(std::span<const unsigned char> bytes);

}  // namespace qor
