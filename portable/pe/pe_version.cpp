#include "portable/pe/pe_version.hpp"

#include <array>
#include <cstdint>

namespace qor {
namespace {

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::size_t kFixedInfoSize = 52;
// wLength, wValueLength, wType, L"VS_VERSION_INFO" with its terminator, then
// padding to the next 32-bit boundary.
constexpr std::size_t kFixedInfoOffset = 40;
constexpr std::array<char, 16> kVersionKey = {'V', 'S', '_', 'V', 'E', 'R', 'S', 'I',
                                              'O', 'N', '_', 'I', 'N', 'F', 'O', '\0'};

std::string fixed_file_version(const PeResources& resources, const PeResources::Data& data) {
  constexpr std::size_t kNeeded = kFixedInfoOffset + kFixedInfoSize;
  if (data.size < kNeeded) return {};
  unsigned char block[kNeeded];
  if (!resources.read_rva(data.rva, sizeof block, block)) return {};
  const std::uint16_t length = le16(block);
  const std::uint16_t value_length = le16(block + 2);
  if (length < kNeeded || length > data.size || value_length < kFixedInfoSize) return {};
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

}  // namespace

std::string read_pe_file_version(const ByteSource& source) {
  try {
    const PeResources resources(source);
    const auto data = resources.find(kVersionResource);
    return data ? fixed_file_version(resources, *data) : std::string();
  } catch (...) {
    return {};  // only allocation can throw; a version is not worth failing for
  }
}

std::string read_pe_file_version_from_bytes(std::span<const unsigned char> bytes) {
  return read_pe_file_version(MemorySource(bytes));
}

}  // namespace qor
