// What each byte of a source line does to its record: blanks are dropped,
// "." becomes "," and ";" separates the fields; every other byte is copied.
#pragma once

#include <array>
#include <cstdint>

namespace lumetra {

enum ByteRole : unsigned char { Copied, Dropped, Comma, Separator };

inline constexpr std::array<ByteRole, 256> byte_roles = [] {
  std::array<ByteRole, 256> roles{};
  roles[' '] = Dropped;
  roles['.'] = Comma;
  roles[';'] = Separator;
  return roles;
}();

[[nodiscard]] inline ByteRole role_of(char byte) noexcept { return byte_roles[static_cast<unsigned char>(byte)]; }

// Eight bytes at a time: 0x80 in every byte of word that equals byte, 0 in
// the others (exact: no carry crosses a byte).
[[nodiscard]] constexpr std::uint64_t bytes_equal(std::uint64_t word, unsigned char byte) noexcept {
  constexpr std::uint64_t ones = 0x0101'0101'0101'0101u;
  constexpr std::uint64_t low_bits = 0x7F7F'7F7F'7F7F'7F7Fu;
  const std::uint64_t difference = word ^ (ones * byte);
  return ~(((difference & low_bits) + low_bits) | difference | low_bits);
}

// 0x80 in every byte of word that is below limit (at most 0x80), 0 in the
// others (exact: a byte's low seven bits plus 0x80 - limit never carry).
[[nodiscard]] constexpr std::uint64_t bytes_below(std::uint64_t word, unsigned char limit) noexcept {
  constexpr std::uint64_t ones = 0x0101'0101'0101'0101u;
  constexpr std::uint64_t low_bits = 0x7F7F'7F7F'7F7F'7F7Fu;
  return ~(((word & low_bits) + ones * (0x80u - limit)) | word | low_bits);
}

// The number of bytes marked 0x80 by bytes_equal: the multiplication adds
// the marks of all bytes up into the top byte.
[[nodiscard]] constexpr std::int32_t count_marked_bytes(std::uint64_t marks) noexcept {
  return static_cast<std::int32_t>(((marks >> 7) * 0x0101'0101'0101'0101u) >> 56);
}

}  // namespace lumetra
