#include "portable/transfer/download_bounds.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

namespace qor {

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kLookEvery = kMiB;
// Room for a file that grew since the listing: twice its listed size and this.
constexpr std::uint64_t kGrowthMargin = 16 * kMiB;

std::string bytes_text(std::uint64_t bytes) { return std::to_string(bytes) + " bytes"; }

}  // namespace

std::optional<std::uint64_t> size_in_reply(std::string_view reply) {
  if (!reply.starts_with("213 ")) return std::nullopt;
  const std::string_view digits = reply.substr(4);
  std::uint64_t size = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
  if (error != std::errc() || end == digits.data()) return std::nullopt;
  return size;
}

std::optional<std::uint64_t> size_to_hold_to(std::optional<std::uint64_t> listed,
                                             std::optional<std::uint64_t> size_reply) {
  if (!size_reply) return listed;
  if (!listed) return size_reply;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t believable = *listed > (kMax - kGrowthMargin) / 2 ? kMax : *listed * 2 + kGrowthMargin;
  return *size_reply <= believable ? size_reply : listed;
}

std::uint64_t disk_reserve(const TransferLimits& limits, std::uint64_t disk_total) {
  const std::uint64_t share = disk_total / 100 * std::min(limits.disk_reserve_percent, 100u);
  return std::max(share, limits.disk_reserve_floor);
}

DownloadBounds::DownloadBounds(const TransferLimits& limits, const ByteSink& sink, std::string what)
    : limits_(limits), sink_(sink), what_(std::move(what)) {}

std::optional<Failure> DownloadBounds::look(std::uint64_t bytes) {
  unlooked_ = 0;
  room_ = std::numeric_limits<std::uint64_t>::max();
  const auto disk = sink_.disk_space();
  // A file system that does not say how full it is is not held to a reserve.
  if (!disk) return std::nullopt;
  const std::uint64_t reserve = disk_reserve(limits_, disk->total);
  room_ = disk->available > reserve ? disk->available - reserve : 0;
  if (bytes <= room_ && disk->available >= reserve) return std::nullopt;
  return Failure{what_ + ": the disk is down to " + bytes_text(disk->available) + " free, and every download leaves " +
                 bytes_text(reserve) + " free"};
}

std::optional<Failure> DownloadBounds::refuse(std::optional<std::uint64_t> size) {
  if (auto full = look(0)) return full;
  if (size && *size > room_)
    return Failure{what_ + ": " + bytes_text(*size) + " announced, but the disk has " + bytes_text(room_) +
                   " free beyond the reserve every download leaves free"};
  return std::nullopt;
}

std::optional<Failure> DownloadBounds::admit(std::optional<std::uint64_t> size, std::uint64_t received,
                                             std::size_t bytes) {
  if (size && received + bytes > *size) return Failure{what_ + ": more than the " + bytes_text(*size) + " announced"};
  if (!size && received + bytes > limits_.max_unannounced_bytes)
    return Failure{what_ + ": more than the " + bytes_text(limits_.max_unannounced_bytes) +
                   " a download without an announced size may have"};
  unlooked_ += bytes;
  if (unlooked_ < kLookEvery && unlooked_ <= room_) return std::nullopt;
  if (auto full = look(bytes)) return full;
  unlooked_ = bytes;
  return std::nullopt;
}

std::optional<Failure> DownloadBounds::fall_short(std::optional<std::uint64_t> size, std::uint64_t received) const {
  // admit refuses a byte past the size, so any difference is a shortfall.
  if (!size || received == *size) return std::nullopt;
  return Failure{what_ + ": received " + std::to_string(received) + " of " + std::to_string(*size) + " bytes"};
}

}  // namespace qor
