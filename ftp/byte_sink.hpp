// Where a download's bytes go.
#pragma once

#include <cstddef>

namespace qor {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False when the bytes could not be kept; the transfer then stops.
  virtual bool write(const char* data, std::size_t size) = 0;
  // Drops what was written so far, for a transfer that starts over.
  virtual bool rewind() = 0;
};

}  // namespace qor
