// Heap memory with a fault-injection seam for tests.
#include "platform/memory.h"

#include <cstdlib>

namespace lumetra {
namespace {

// Allocations still allowed before they fail; negative means no limit.
int allocations_left = -1;
// Allocations that fail after those; negative means all of them.
int failures_left = -1;

bool allocation_allowed() noexcept {
  if (allocations_left < 0 || failures_left == 0) return true;
  if (allocations_left > 0) {
    --allocations_left;
    return true;
  }
  if (failures_left > 0) --failures_left;
  return false;
}

}  // namespace

void* memory_allocate(std::size_t size) noexcept { return allocation_allowed() ? std::malloc(size) : nullptr; }

void* memory_reallocate(void* block, std::size_t size) noexcept {
  return allocation_allowed() ? std::realloc(block, size) : nullptr;
}

void memory_free(void* block) noexcept { std::free(block); }

FailingAllocations::FailingAllocations(int successes, int failures) noexcept
    : previous_successes_(allocations_left), previous_failures_(failures_left) {
  allocations_left = successes;
  failures_left = failures;
}

FailingAllocations::~FailingAllocations() {
  allocations_left = previous_successes_;
  failures_left = previous_failures_;
}

}  // namespace lumetra
