// Heap memory with a fault-injection seam for tests.
#include "system/memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

// Runs after each allocation that succeeds, while a test pauses them.
void (*allocation_pause)() = nullptr;

void* handed_over(void* block) noexcept {
  if (block != nullptr && allocation_pause != nullptr) allocation_pause();
  return block;
}

// A reallocation that moves the block, the old one freed.
void* moved_block(void* block, std::size_t size) noexcept {
  void* moved = std::malloc(size);
  if (moved != nullptr && block != nullptr) {
    std::memcpy(moved, block, std::min(size, memory_block_size(block)));
    std::free(block);
  }
  return moved;
}

}  // namespace

void* memory_allocate(std::size_t size) noexcept {
  return allocation_allowed() ? handed_over(std::malloc(size)) : nullptr;
}

void* memory_reallocate(void* block, std::size_t size) noexcept {
  if (!allocation_allowed()) return nullptr;
  return handed_over(allocation_pause != nullptr ? moved_block(block, size) : std::realloc(block, size));
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

PausingAllocations::PausingAllocations(void (*pause)()) noexcept : previous_pause_(allocation_pause) {
  allocation_pause = pause;
}

PausingAllocations::~PausingAllocations() { allocation_pause = previous_pause_; }

}  // namespace lumetra
