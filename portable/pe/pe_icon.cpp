#include "portable/pe/pe_icon.hpp"

#include <cstdint>

namespace qor {
namespace {

constexpr std::size_t kHeaderSize = 6;       // reserved, type (1: icon), count
constexpr std::size_t kGroupEntrySize = 14;  // GRPICONDIRENTRY: ends with the picture's resource id
constexpr std::size_t kFileEntrySize = 16;   // ICONDIRENTRY: ends with the picture's file offset

struct Picture {
  const unsigned char* entry;  // the group's entry: width to bit count
  std::vector<unsigned char> bytes;
};

void put16(std::vector<unsigned char>& out, std::uint32_t v) {
  out.push_back(static_cast<unsigned char>(v & 0xFF));
  out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
void put32(std::vector<unsigned char>& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

std::vector<unsigned char> ico_file(const std::vector<Picture>& pictures) {
  std::vector<unsigned char> out;
  put16(out, 0);
  put16(out, 1);
  put16(out, static_cast<std::uint32_t>(pictures.size()));
  auto offset = static_cast<std::uint32_t>(kHeaderSize + kFileEntrySize * pictures.size());
  for (const Picture& p : pictures) {
    out.insert(out.end(), p.entry, p.entry + 8);  // width, height, colours, reserved, planes, bits
    put32(out, static_cast<std::uint32_t>(p.bytes.size()));
    put32(out, offset);
    offset += static_cast<std::uint32_t>(p.bytes.size());
  }
  for (const Picture& p : pictures) out.insert(out.end(), p.bytes.begin(), p.bytes.end());
  return out;
}

std::vector<unsigned char> first_icon(const PeResources& resources) {
  const auto group_data = resources.find(kIconGroupResource);
  if (!group_data) return {};
  const auto group = resources.read_data(*group_data, kHeaderSize + kGroupEntrySize * 0xFFFF);
  if (!group || group->size() < kHeaderSize || le16(group->data()) != 0 || le16(group->data() + 2) != 1) return {};
  const std::size_t count = le16(group->data() + 4);
  if (group->size() < kHeaderSize + kGroupEntrySize * count) return {};

  std::vector<Picture> pictures;
  std::size_t total = 0;
  for (std::size_t i = 0; i < count && pictures.size() < kMaxIconPictures; ++i) {
    const unsigned char* entry = group->data() + kHeaderSize + kGroupEntrySize * i;
    const auto data = resources.find(kIconResource, le16(entry + 12));
    if (!data || data->size > kMaxIconBytes - total) continue;
    auto bytes = resources.read_data(*data, kMaxIconPictureBytes);
    if (!bytes || bytes->empty()) continue;
    total += bytes->size();
    pictures.push_back({entry, std::move(*bytes)});
  }
  if (pictures.empty()) return {};
  return ico_file(pictures);
}

}  // namespace

std::vector<unsigned char> read_pe_icon(const ByteSource& source) {
  try {
    return first_icon(PeResources(source));
  } catch (...) {
    return {};  // only allocation can throw; the entry keeps its plain icon
  }
}

std::vector<unsigned char> read_pe_icon_from_bytes(std::span<const unsigned char> bytes) {
  return read_pe_icon(MemorySource(bytes));
}

}  // namespace qor
