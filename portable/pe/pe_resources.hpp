// The resource tree of a PE image (a Windows program or library), read
// piece by piece, so a large image costs no more than a small one. Every
// offset in the image is checked before use: reads go through ByteSource,
// which refuses anything past the end, and all arithmetic on values from
// the image is done in 64 bits so it cannot wrap. The tree is walked to its
// fixed depth of three, so a directory that points back at itself cannot
// make a walk loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qor {

// Random access to the bytes of an image.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills out with the n bytes at offset; false when any of them is missing.
  virtual bool read(std::uint64_t offset, std::size_t n, unsigned char* out) const = 0;
};

// The bytes of an image in memory.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const unsigned char> bytes) : bytes_(bytes) {}
  bool read(std::uint64_t offset, std::size_t n, unsigned char* out) const override;

 private:
  std::span<const unsigned char> bytes_;
};

// Resource types of the tree's first level.
inline constexpr std::uint32_t kIconResource = 3;
inline constexpr std::uint32_t kIconGroupResource = 14;
inline constexpr std::uint32_t kVersionResource = 16;

std::uint16_t le16(const unsigned char* p);
std::uint32_t le32(const unsigned char* p);

class PeResources {
 public:
  // Reads the headers; an image without a resource table has no resources.
  explicit PeResources(const ByteSource& source);

  // Where a resource's data lies in the loaded image.
  struct Data {
    std::uint32_t rva;
    std::uint32_t size;
  };
  // The resource of `type` with the numeric name `name` (the type's first
  // entry when none), in that name's first language.
  std::optional<Data> find(std::uint32_t type, std::optional<std::uint32_t> name = std::nullopt) const;
  // The n bytes at an address of the loaded image, when one section holds
  // all of them.
  bool read_rva(std::uint64_t rva, std::size_t n, unsigned char* out) const;
  // The whole data of a resource, when it holds at most `most` bytes.
  std::optional<std::vector<unsigned char>> read_data(const Data& data, std::size_t most) const;

 private:
  struct Section {
    std::uint32_t virtual_address;
    std::uint32_t mapped_size;  // bytes of the section that come from the file
    std::uint32_t raw_offset;
  };
  std::optional<std::uint64_t> file_offset(std::uint64_t rva, std::uint64_t n) const;
  bool read_headers();
  std::optional<std::uint32_t> directory_entry(std::uint32_t directory, std::optional<std::uint32_t> id,
                                               bool want_directory) const;

  const ByteSource& source_;
  std::vector<Section> sections_;
  std::optional<std::uint32_t> root_;  // the resource table's address
};

}  // namespace qor
