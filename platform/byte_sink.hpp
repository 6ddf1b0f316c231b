// Where a download's bytes go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "portable/result/result.hpp"

namespace qor {

// The file system a sink writes to, in bytes.
struct DiskSpace {
  std::uint64_t available = 0;  // what this user may still write
  std::uint64_t total = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // A failure stops the transfer with the sink's reason (a full disk, say).
  virtual Status write(const char* data, std::size_t size) = 0;
  // Drops what was written so far, for a transfer that starts over.
  virtual Status rewind() = 0;
  // The space of the disk the bytes go to, asked now; none where the sink
  // keeps them elsewhere or the file system does not say.
  virtual std::optional<DiskSpace> disk_space() const { return std::nullopt; }
};

}  // namespace qor
