#include "tests/support/allocation_calls.hpp"

#include <malloc.h>

#include <cstdlib>
#include <cstring>

namespace qor::test {
namespace {

// The C runtime keeps over-aligned blocks apart, and this one cannot tell
// their size: such a block starts with a header of one alignment's width
// that holds its size.
bool over_aligned(std::size_t alignment) { return alignment > alignof(std::max_align_t); }

unsigned char* header_of(void* p, std::size_t alignment) { return static_cast<unsigned char*>(p) - alignment; }

}  // namespace

void* allocate_block(std::size_t n, std::size_t alignment) {
  if (!over_aligned(alignment)) return std::malloc(n);
  auto* block = static_cast<unsigned char*>(::_aligned_malloc(alignment + n, alignment));
  if (block == nullptr) return nullptr;
  const std::size_t size = alignment + n;
  std::memcpy(block, &size, sizeof size);
  return block + alignment;
}

std::size_t block_size(void* p, std::size_t alignment) {
  if (!over_aligned(alignment)) return ::_msize(p);
  std::size_t size = 0;
  std::memcpy(&size, header_of(p, alignment), sizeof size);
  return size;
}

void free_block(void* p, std::size_t alignment) {
  if (over_aligned(alignment)) {
    ::_aligned_free(header_of(p, alignment));
  } else {
    std::free(p);
  }
}

}  // namespace qor::test
