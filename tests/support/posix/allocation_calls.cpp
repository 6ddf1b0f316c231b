#include "tests/support/allocation_calls.hpp"

#include <malloc.h>

#include <cstdlib>

namespace qor::test {

void* allocate_block(std::size_t n, std::size_t alignment) {
  if (alignment <= alignof(std::max_align_t)) return std::malloc(n);
  return std::aligned_alloc(alignment, (n + alignment - 1) / alignment * alignment);
}

std::size_t block_size(void* p, std::size_t /*alignment*/) { return ::malloc_usable_size(p); }

void free_block(void* p, std::size_t /*alignment*/) { std::free(p); }

}  // namespace qor::test
