// What the fuzz targets share: a check that ends the run with a message the
// fuzzer reports as a finding, and a reader that takes control values from
// the front of the fuzzer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace lumetra {

// A broken invariant: the message goes to standard error and abort() makes
// the fuzzer keep the input as a crash.
inline void fuzz_check(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

// The fuzzer's bytes read from the front: control values first, the rest as
// data. Reading past the end gives zeros.
class FuzzBytes {
 public:
  FuzzBytes(const std::uint8_t* data, std::size_t size) : bytes_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t take_byte() {
    if (bytes_.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(bytes_.front());
    bytes_.remove_prefix(1);
    return byte;
  }
  // Up to count bytes, fewer at the end.
  std::string_view take(std::size_t count) {
    const std::string_view part = bytes_.substr(0, count);
    bytes_.remove_prefix(part.size());
    return part;
  }
  [[nodiscard]] std::string_view rest() const { return bytes_; }
  [[nodiscard]] bool empty() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

}  // namespace lumetra
