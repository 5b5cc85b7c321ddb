// Everything a stream delivers up to the end of its input, read one way or
// the other, for the stream's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stream/crt_stream.h"

namespace lumetra {

// Everything the stream delivers, line by line through gets with a buffer of
// `size` bytes.
inline std::string read_all_with_gets(CrtStream& stream, std::int32_t size) {
  std::string all;
  std::vector<char> buffer(static_cast<std::size_t>(size));
  while (std::int32_t got = stream.gets(buffer.data(), size)) all.append(buffer.data(), static_cast<std::size_t>(got));
  return all;
}

inline std::string read_all_with_read(CrtStream& stream, std::size_t step) {
  std::string all;
  std::vector<char> buffer(step);
  while (std::size_t got = stream.read(buffer.data(), step)) all.append(buffer.data(), got);
  return all;
}

}  // namespace lumetra
