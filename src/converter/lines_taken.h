// What a taker of whole lines took from the start of a block of lines.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumetra {

struct LinesTaken {
  std::size_t bytes = 0;  // of the block: whole lines, line ends included
  std::int64_t lines = 0;
};

}  // namespace lumetra
