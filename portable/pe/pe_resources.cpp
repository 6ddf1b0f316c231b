#include "portable/pe/pe_resources.hpp"

#include <cstring>

namespace qor {
namespace {

constexpr std::uint32_t kSubdirectoryFlag = 0x80000000u;

}  // namespace

bool MemorySource::read(std::uint64_t offset, std::size_t n, unsigned char* out) const {
  if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
  if (n > 0) std::memcpy(out, bytes_.data() + offset, n);
  return true;
}

std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

PeResources::PeResources(const ByteSource& source) : source_(source) {
  if (!read_headers()) {
    sections_.clear();
    root_.reset();
  }
}

std::optional<std::uint64_t> PeResources::file_offset(std::uint64_t rva, std::uint64_t n) const {
  for (const Section& s : sections_) {
    if (rva >= s.virtual_address && rva + n <= std::uint64_t{s.virtual_address} + s.mapped_size) {
      return std::uint64_t{s.raw_offset} + (rva - s.virtual_address);
    }
  }
  return std::nullopt;
}

bool PeResources::read_rva(std::uint64_t rva, std::size_t n, unsigned char* out) const {
  const auto offset = file_offset(rva, n);
  return offset && source_.read(*offset, n, out);
}

// The headers and the section table; the resource table's address.
bool PeResources::read_headers() {
  unsigned char dos[64];
  if (!source_.read(0, sizeof dos, dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
  const std::uint64_t pe = le32(dos + 0x3C);

  unsigned char coff[24];
  if (!source_.read(pe, sizeof coff, coff) || std::memcmp(coff, "PE\0\0", 4) != 0) return false;
  const std::uint16_t section_count = le16(coff + 6);
  const std::uint16_t optional_size = le16(coff + 20);
  const std::uint64_t optional = pe + sizeof coff;

  unsigned char magic[2];
  if (!source_.read(optional, sizeof magic, magic)) return false;
  // PE32+ widens five fields to 64 bits and drops BaseOfData, so its data
  // directories start 16 bytes later.
  const std::uint16_t format = le16(magic);
  if (format != 0x10b && format != 0x20b) return false;
  const std::uint64_t directories = format == 0x10b ? 96 : 112;
  constexpr std::uint32_t kResourceIndex = 2;
  const std::uint64_t resource_entry = directories + std::uint64_t{8} * kResourceIndex;
  if (optional_size < resource_entry + 8) return false;
  unsigned char count[4];
  unsigned char entry[8];
  if (!source_.read(optional + directories - 4, sizeof count, count) || le32(count) <= kResourceIndex ||
      !source_.read(optional + resource_entry, sizeof entry, entry)) {
    return false;
  }
  const std::uint32_t rva = le32(entry);
  if (rva == 0 || le32(entry + 4) == 0) return false;

  constexpr std::size_t kSectionHeaderSize = 40;
  std::vector<unsigned char> table(std::size_t{section_count} * kSectionHeaderSize);
  if (table.empty() || !source_.read(optional + optional_size, table.size(), table.data())) return false;
  for (std::size_t i = 0; i < section_count; ++i) {
    const unsigned char* h = table.data() + i * kSectionHeaderSize;
    const std::uint32_t virtual_size = le32(h + 8);
    const std::uint32_t raw_size = le32(h + 16);
    // Bytes past the virtual size are not part of the loaded section.
    const std::uint32_t mapped = virtual_size != 0 && virtual_size < raw_size ? virtual_size : raw_size;
    sections_.push_back({le32(h + 12), mapped, le32(h + 20)});
  }
  root_ = rva;
  return true;
}

// One level of the resource tree: the target of the entry with the given
// id, or of the first entry when id is empty. want_directory says whether the
// target must be a subdirectory (levels one and two) or a data entry.
std::optional<std::uint32_t> PeResources::directory_entry(std::uint32_t directory, std::optional<std::uint32_t> id,
                                                          bool want_directory) const {
  unsigned char header[16];
  if (!read_rva(std::uint64_t{*root_} + directory, sizeof header, header)) return std::nullopt;
  const std::size_t count = std::size_t{le16(header + 12)} + le16(header + 14);
  if (count == 0) return std::nullopt;
  const std::size_t wanted = id ? count : 1;
  std::vector<unsigned char> entries(wanted * 8);
  if (!read_rva(std::uint64_t{*root_} + directory + sizeof header, entries.size(), entries.data())) {
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

std::optional<PeResources::Data> PeResources::find(std::uint32_t type, std::optional<std::uint32_t> name) const {
  if (!root_) return std::nullopt;
  const auto names = directory_entry(0, type, true);
  if (!names) return std::nullopt;
  const auto languages = directory_entry(*names, name, true);
  if (!languages) return std::nullopt;
  const auto data = directory_entry(*languages, std::nullopt, false);
  if (!data) return std::nullopt;
  unsigned char entry[16];
  if (!read_rva(std::uint64_t{*root_} + *data, sizeof entry, entry)) return std::nullopt;
  return Data{le32(entry), le32(entry + 4)};
}

std::optional<std::vector<unsigned char>> PeResources::read_data(const Data& data, std::size_t most) const {
  // Checked before anything is allocated: the size comes from the image.
  if (data.size > most || !file_offset(data.rva, data.size)) return std::nullopt;
  std::vector<unsigned char> bytes(data.size);
  if (!read_rva(data.rva, bytes.size(), bytes.data())) return std::nullopt;
  return bytes;
}

}  // namespace qor
