// The size of a block of the C runtime's allocator.
#include "system/memory.h"

#include <malloc.h>

namespace lumetra {

std::size_t memory_block_size(void* block) noexcept { return _msize(block); }

}  // namespace lumetra
