// A download's bytes hashed on their way into its file, so that a file of a
// signed release is checked without reading it again.
#pragma once

#include <cstdint>

#include "platform/byte_sink.hpp"
#include "platform/release_crypto.hpp"

namespace qor {

class HashingSink final : public ByteSink {
 public:
  explicit HashingSink(ByteSink& target) : target_(target) {}

  Status write(const char* data, std::size_t size) override;
  // A transfer that starts over drops the bytes, and so their hash. A
  // resumed one writes only the bytes after those kept, so what was kept is
  // hashed once, as it first arrived.
  Status rewind() override;
  std::optional<DiskSpace> disk_space() const override { return target_.disk_space(); }

  std::uint64_t size() const { return size_; }
  // The digest of every byte written since the last rewind; once.
  crypto::Sha256Digest finish() { return hash_.finish(); }

 private:
  ByteSink& target_;
  crypto::Sha256 hash_;
  std::uint64_t size_ = 0;
};

}  // namespace qor
