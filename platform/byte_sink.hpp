// Where a download's bytes go.
#pragma once

#include <cstddef>

#include "result.hpp"

namespace qor {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // A failure stops the transfer with the sink's reason (a full disk, say).
  virtual Status write(const char* data, std::size_t size) = 0;
  // Drops what was written so far, for a transfer that starts over.
  virtual Status rewind() = 0;
};

}  // namespace qor
