// The C library's allocation calls beneath the allocation meter, which
// differ per platform: blocks with the alignment operator new asks for,
// and the size each block really takes.
#pragma once

#include <cstddef>

namespace qor::test {

// `alignment` 0, or no more than std::max_align_t's, is malloc's own.
void* allocate_block(std::size_t n, std::size_t alignment);
std::size_t block_size(void* p, std::size_t alignment);
void free_block(void* p, std::size_t alignment);

}  // namespace qor::test
