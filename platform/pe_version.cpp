#include "pe_version.hpp"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

// Every offset below comes from the image itself, so every one is checked
// before use: reads go through ByteSource, which refuses anything past the end,
// and all arithmetic on file values is done in 64 bits so it cannot wrap.
// The resource tree is walked to a fixed depth, so a directory that points
// back at itself cannot make the walk loop.

namespace qor {
namespace {

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const unsigned char> bytes) : bytes_(bytes) {}
  bool read(std::uint64_t offset, std::size_t n, unsigned char* out) const override {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
    if (n > 0) std::memcpy(out, bytes_.data() + offset, n);
    return true;
  }

 private:
  std::span<const unsigned char> bytes_;
};

std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct Section {
  std::uint32_t virtual_address;
  std::uint32_t mapped_size;  // bytes of the section that come from the file
  std::uint32_t raw_offset;
};

constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kVersionResourceType = 16;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::size_t kFixedInfoSize = 52;
// wLength, wValueLength, wType, L"VS_VERSION_INFO" with its terminator, then
// padding to the next 32-bit boundary.
constexpr std::size_t kFixedInfoOffset = 40;
constexpr std::array<char, 16> kVersionKey = {'V', 'S', '_', 'V', 'E', 'R', 'S', 'I',
                                              'O', 'N', '_', 'I', 'N', 'F', 'O', '\0'};

class PeImage {
 public:
  explicit PeImage(const ByteSource& source) : source_(source) {}

  std::string file_version() {
    const auto resources = resource_directory_rva();
    if (!resources) return {};
    const auto data = version_data_entry(*resources);
    if (!data) return {};
    return fixed_file_version(data->first, data->second);
  }

 private:
  bool read(std::uint64_t offset, std::size_t n, unsigned char* out) const { return source_.read(offset, n, out); }

  // The file offset of n bytes at an address of the loaded image, when a
  // single section holds all of them.
  std::optional<std::uint64_t> file_offset(std::uint64_t rva, std::uint64_t n) const {
    for (const Section& s : sections_) {
      if (rva >= s.virtual_address && rva + n <= std::uint64_t{s.virtual_address} + s.mapped_size) {
        return std::uint64_t{s.raw_offset} + (rva - s.virtual_address);
      }
    }
    return std::nullopt;
  }

  bool read_rva(std::uint64_t rva, std::size_t n, unsigned char* out) const {
    const auto offset = file_offset(rva, n);
    return offset && read(*offset, n, out);
  }

  // Reads the headers and the section table; the resource table's address.
  std::optional<std::uint32_t> resource_directory_rva() {
    unsigned char dos[64];
    if (!read(0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
    const std::uint64_t pe = le32(dos + 0x3C);

    unsigned char coff[24];
    if (!read(pe, sizeof coff, coff) || std::memcmp(coff, "PE\0\0", 4) != 0) return std::nullopt;
    const std::uint16_t section_count = le16(coff + 6);
    const std::uint16_t optional_size = le16(coff + 20);
    const std::uint64_t optional = pe + sizeof coff;

    unsigned char magic[2];
    if (!read(optional, sizeof magic, magic)) return std::nullopt;
    // PE32+ widens five fields to 64 bits and drops BaseOfData, so its data
    // directories start 16 bytes later.
    const std::uint16_t format = le16(magic);
    if (format != 0x10b && format != 0x20b) return std::nullopt;
    const std::uint64_t directories = format == 0x10b ? 96 : 112;
    constexpr std::uint32_t kResourceIndex = 2;
    const std::uint64_t resource_entry = directories + std::uint64_t{8} * kResourceIndex;
    if (optional_size < resource_entry + 8) return std::nullopt;
    unsigned char count[4];
    unsigned char entry[8];
    if (!read(optional + directories - 4, sizeof count, count) || le32(count) <= kResourceIndex ||
        !read(optional + resource_entry, sizeof entry, entry)) {
      return std::nullopt;
    }
    const std::uint32_t rva = le32(entry);
    if (rva == 0 || le32(entry + 4) == 0) return std::nullopt;

    constexpr std::size_t kSectionHeaderSize = 40;
    std::vector<unsigned char> table(std::size_t{section_count} * kSectionHeaderSize);
    if (table.empty() || !read(optional + optional_size, table.size(), table.data())) return std::nullopt;
    sections_.clear();
    for (std::size_t i = 0; i < section_count; ++i) {
      const unsigned char* h = table.data() + i * kSectionHeaderSize;
      const std::uint32_t virtual_size = le32(h + 8);
      const std::uint32_t raw_size = le32(h + 16);
      // Bytes past the virtual size are not part of the loaded section.
      const std::uint32_t mapped = virtual_size != 0 && virtual_size < raw_size ? virtual_size : raw_size;
      sections_.push_back({le32(h + 12), mapped, le32(h + 20)});
    }
    return rva;
  }

  // One level of the resource tree: the target of the entry with the given
  // id, or of the first entry when id is empty. want_directory says whether the
  // target must be a subdirectory (levels one and two) or a data entry.
  std::optional<std::uint32_t> directory_entry(std::uint32_t root, std::uint32_t directory,
                                               std::optional<std::uint32_t> id, bool want_directory) const {
    unsigned char header[16];
    if (!read_rva(std::uint64_t{root} + directory, sizeof header, header)) return std::nullopt;
    const std::size_t count = std::size_t{le16(header + 12)} + le16(header + 14);
    if (count == 0) return std::nullopt;
    const std::size_t wanted = id ? count : 1;
    std::vector<unsigned char> entries(wanted * 8);
    if (!read_rva(std::uint64_t{root} + directory + sizeof header, entries.size(), entries.data())) {
      return std::nullopt;
    }
    for (std::size_t i = 0; i < wanted; ++i) {
      const std::uint32_t name = le32(entries.data() + i * 8);
      const std::uint32_t target = le32(entries.data() + i * 8 + 4);
      if (id && name != *id) continue;  // named entries carry the high bit, so never match an id
      const bool is_directory = (target & kSubdirectoryFlag) != 0;
      if (is_directory != want_directory) return std::nullopt;
      return target & ~kSubdirectoryFlag;
    }
    return std::nullopt;
  }

  // Type 16, its first name, that name's first language: the data's address and size.
  std::optional<std::pair<std::uint32_t, std::uint32_t>> version_data_entry(std::uint32_t root) const {
    const auto names = directory_entry(root, 0, kVersionResourceType, true);
    if (!names) return std::nullopt;
    const auto languages = directory_entry(root, *names, std::nullopt, true);
    if (!languages) return std::nullopt;
    const auto data = directory_entry(root, *languages, std::nullopt, false);
    if (!data) return std::nullopt;
    unsigned char entry[16];
    if (!read_rva(std::uint64_t{root} + *data, sizeof entry, entry)) return std::nullopt;
    return std::pair{le32(entry), le32(entry + 4)};
  }

  std::string fixed_file_version(std::uint32_t rva, std::uint32_t size) const {
    constexpr std::size_t kNeeded = kFixedInfoOffset + kFixedInfoSize;
    if (size < kNeeded) return {};
    unsigned char block[kNeeded];
    if (!read_rva(rva, sizeof block, block)) return {};
    const std::uint16_t length = le16(block);
    const std::uint16_t value_length = le16(block + 2);
    if (length < kNeeded || length > size || value_length < kFixedInfoSize) return {};
    for (std::size_t i = 0; i < kVersionKey.size(); ++i) {
      if (le16(block + 6 + 2 * i) != static_cast<unsigned char>(kVersionKey[i])) return {};
    }
    const unsigned char* info = block + kFixedInfoOffset;
    if (le32(info) != kFixedInfoSignature) return {};
    const std::uint32_t ms = le32(info + 8);
    const std::uint32_t ls = le32(info + 12);
    return std::to_string(ms >> 16) + '.' + std::to_string(ms & 0xFFFF) + '.' + std::to_string(ls >> 16) + '.' +
           std::to_string(ls & 0xFFFF);
  }

  const ByteSource& source_;
  std::vector<Section> sections_;
};

std::string version_from(const ByteSource& source) {
  try {
    return PeImage(source).file_version();
  } catch (...) {
    return {};  // only allocation can throw; a version is not worth failing for
  }
}

}  // namespace

std::string read_pe_file_version_from_bytes(std::span<const unsigned char> bytes) {
  return version_from(MemorySource(bytes));
}

std::string read_pe_file_version(const ByteSource& source) { return version_from(source); }

}  // namespace qor
