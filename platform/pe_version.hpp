// Reads the fixed file version of a PE image's version resource ("exe"
// packages are compared by it). The image is read piece by piece, so a large
// program costs no more than a small one, and every offset in it is checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qor {

// Random access to the bytes of an image.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills out with the n bytes at offset; false when any of them is missing.
  virtual bool read(std::uint64_t offset, std::size_t n, unsigned char* out) const = 0;
};

// "a.b.c.d" from the VS_FIXEDFILEINFO; the empty text for bytes that are not
// a PE image, have no version resource, or are damaged.
std::string read_pe_file_version(const ByteSource& source);
std::string read_pe_file_version_from_bytes(std::span<const unsigned char> bytes);

}  // namespace qor
