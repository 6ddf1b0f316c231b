// Reads the fixed file version of a PE image's version resource ("exe"
// packages are compared by it), through the checked resource reader.
#pragma once

#include <span>
#include <string>

#include "portable/pe/pe_resources.hpp"

namespace qor {

// "a.b.c.d" from the VS_FIXEDFILEINFO; the empty text for bytes that are not
// a PE image, have no version resource, or are damaged.
std::string read_pe_file_version(const ByteSource& source);
std::string read_pe_file_version_from_bytes(std::span<const unsigned char> bytes);

}  // namespace qor
