// Heap memory with a fault-injection seam for tests.
#include "platform/memory.h"

#include <cstdlib>

namespace lumetra {
namespace {

// Allocations still allowed before they fail; negative means no limit.
int allocations_left = -1;

bool allocation_allowed() noexcept {
  if (allocations_left < 0) return true;
  if (allocations_left == 0) return false;
  --allocations_left;
  return true;
}

}  // namespace

void* memory_allocate(std::size_t size) noexcept { return allocation_allowed() ? std::malloc(size) : nullptr; }

void* memory_reallocate(void* block, std::size_t size) noexcept {
  return allocation_allowed() ? std::realloc(block, size) : nullptr;
}

void memory_free(void* block) noexcept { std::free(block); }

FailingAllocations::FailingAllocations(int successes) noexcept : previous_(allocations_left) {
  allocations_left = successes;
}

FailingAllocations::~FailingAllocations() { allocations_left = previous_; }

}  // namespace lumetra
