#include "ftp/hashing_sink.hpp"

namespace qor {

Status HashingSink::write(const char* data, std::size_t size) {
  // Only bytes the file took count: a refused write ends the transfer.
  Status written = target_.write(data, size);
  if (!written) return written;
  hash_.add(data, size);
  size_ += size;
  return {};
}

Status HashingSink::rewind() {
  Status rewound = target_.rewind();
  hash_ = crypto::Sha256();
  size_ = 0;
  return rewound;
}

}  // namespace qor
