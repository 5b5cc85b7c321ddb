// Heap memory for text buffers and working storage, with a seam through which
// tests make allocations fail.
#pragma once

#include <cstddef>

namespace lumetra {

// malloc, realloc and free; null when memory cannot be had.
[[nodiscard]] void* memory_allocate(std::size_t size) noexcept;
[[nodiscard]] void* memory_reallocate(void* block, std::size_t size) noexcept;
void memory_free(void* block) noexcept;

// While it lives, allocations after the first `successes` fail: all of them,
// or only the next `failures` when that is not negative.
class FailingAllocations {
 public:
  explicit FailingAllocations(int successes = 0, int failures = -1) noexcept;
  ~FailingAllocations();
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;

 private:
  int previous_successes_;
  int previous_failures_;
};

// While it lives, every allocation and reallocation that succeeds runs
// `pause` before its block reaches the caller, and every reallocation moves
// its block, as realloc may (the old block is freed by then): a test stops a
// caller there, halfway through growing its memory.
class PausingAllocations {
 public:
  explicit PausingAllocations(void (*pause)()) noexcept;
  ~PausingAllocations();
  PausingAllocations(const PausingAllocations&) = delete;
  PausingAllocations& operator=(const PausingAllocations&) = delete;

 private:
  void (*previous_pause_)();
};

// ---- Private part: the system's allocator, for the seam -------------------

// The usable size of a block that memory_allocate or memory_reallocate gave
// (at least the size asked for).
[[nodiscard]] std::size_t memory_block_size(void* block) noexcept;

}  // namespace lumetra
