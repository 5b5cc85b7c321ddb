// Text values: byte strings with a length and a capacity, the pool of
// temporaries that carries text results from one operation to the next, and
// the text operations.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace lumetra {

inline constexpr std::uint32_t text_temporary_flag = 0x8000'0000u;
inline constexpr std::uint32_t text_length_mask = 0x7FFF'FFFFu;
inline constexpr int text_pool_size = 256;

// The descriptor of a text: bytes followed by one zero byte, a 32-bit length
// whose top bit marks a temporary, and the capacity (without the zero byte).
// A descriptor with the temporary flag owns its buffer until consumed.
struct TextDescriptor {
  char* data = nullptr;
  std::uint32_t length = 0;
  std::int32_t capacity = 0;
};

// A text variable. It owns its buffer; assigning a temporary to it takes the
// temporary's buffer over instead of copying.
class Text {
 public:
  Text() noexcept = default;
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  Text(Text&& other) noexcept;
  Text& operator=(Text&& other) noexcept;
  ~Text();

  [[nodiscard]] std::string_view view() const noexcept;
  [[nodiscard]] std::int32_t size() const noexcept;
  [[nodiscard]] std::int32_t capacity() const noexcept { return descriptor_.capacity; }
  [[nodiscard]] const char* data() const noexcept { return descriptor_.data; }

  TextDescriptor& descriptor() noexcept { return descriptor_; }
  const TextDescriptor& descriptor() const noexcept { return descriptor_; }

 private:
  TextDescriptor descriptor_;
};

// A temporary text result. Move-only; the operation that receives it consumes
// it: its buffer is freed (when the temporary flag is set) and a pool
// descriptor goes back to the pool. An object without a descriptor is the
// shared empty text, which operations give when their result is empty or when
// all 256 pool descriptors are in use.
class TempText {
 public:
  TempText() noexcept = default;
  explicit TempText(TextDescriptor* descriptor) noexcept : descriptor_(descriptor) {}
  TempText(const TempText&) = delete;
  TempText& operator=(const TempText&) = delete;
  TempText(TempText&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = nullptr; }
  TempText& operator=(TempText&& other) noexcept;
  ~TempText() { release_if_temporary(); }

  [[nodiscard]] std::string_view view() const noexcept;
  [[nodiscard]] bool is_shared_empty() const noexcept { return descriptor_ == nullptr; }
  [[nodiscard]] TextDescriptor* descriptor() const noexcept { return descriptor_; }
  // Consumes the temporary now.
  void release_if_temporary() noexcept;

 private:
  TextDescriptor* descriptor_ = nullptr;
};

// What a text operation accepts where it expects a text: a variable (read,
// never released), a temporary (consumed by the operation on every path), a
// zero-terminated byte literal (never released) or nothing (absent).
class TextArg {
 public:
  TextArg(const Text& variable) noexcept : descriptor_(&variable.descriptor()) {}
  TextArg(TempText&& temporary) noexcept : temporary_(std::move(temporary)), descriptor_(temporary_.descriptor()) {}
  TextArg(const char* literal) noexcept : literal_(literal) {}
  TextArg(std::nullptr_t) noexcept {}
  TextArg(TextArg&& other) noexcept
      : temporary_(std::move(other.temporary_)),
        descriptor_(std::exchange(other.descriptor_, nullptr)),
        literal_(std::exchange(other.literal_, nullptr)) {}
  TextArg(const TextArg&) = delete;
  TextArg& operator=(const TextArg&) = delete;

  [[nodiscard]] bool absent() const noexcept { return descriptor_ == nullptr && literal_ == nullptr; }
  [[nodiscard]] std::string_view view() const noexcept;
  // The temporary's descriptor when the argument is a temporary with its
  // buffer, so that the receiver may take the buffer over.
  [[nodiscard]] TextDescriptor* temporary() const noexcept;

 private:
  TempText temporary_;
  const TextDescriptor* descriptor_ = nullptr;
  const char* literal_ = nullptr;
};

// ---- Pool -------------------------------------------------------------------

// Takes a cleared descriptor from the pool; null when all are in use.
[[nodiscard]] TextDescriptor* take_pool_descriptor() noexcept;
// Number of pool descriptors in use.
[[nodiscard]] int pool_descriptors_in_use() noexcept;
// Returns every descriptor to the pool (start-up clears the state block).
void reset_text_pool() noexcept;

// ---- Capacity policy -------------------------------------------------------

// Gives the descriptor room for length bytes and a zero byte, by the capacity
// policy: target r + r/8 with r the length rounded up to 32; a buffer that is
// big enough and not more than an eighth too big is kept; exactly length when
// the target cannot be had (nor beyond text_length_mask, the most a text
// holds: longer fails). The plain variant does not keep the content and
// leaves the text empty on failure; the keeping variant keeps the content and
// leaves the text unchanged on failure. The length field is not changed.
[[nodiscard]] bool reserve_text_plain(TextDescriptor& text, std::uint32_t length) noexcept;
[[nodiscard]] bool reserve_text_keeping(TextDescriptor& text, std::uint32_t length) noexcept;

// ---- Operations --------------------------------------------------------------
// Positions are 1-based; lengths, counts and positions are signed 32-bit.
// Every operation consumes its temporary arguments on every path.

// Wraps literal bytes in a pool descriptor without copying and without the
// temporary flag; the shared empty text when the pool is exhausted.
[[nodiscard]] TempText text_from_literal(const char* bytes, std::int32_t length) noexcept;
// The target holds a copy of the source, or takes over a temporary's buffer.
void assign_text(Text& target, TextArg source) noexcept;
// The result descriptor holds a followed by b, with the temporary flag set;
// the returned temporary refers to the caller's descriptor.
[[nodiscard]] TempText concat_text(TextDescriptor& result, TextArg a, TextArg b) noexcept;
[[nodiscard]] std::int32_t text_length(TextArg text) noexcept;
[[nodiscard]] TempText mid_text(TextArg text, std::int32_t start, std::int32_t count) noexcept;
[[nodiscard]] TempText left_text(TextArg text, std::int32_t count) noexcept;
[[nodiscard]] TempText right_text(TextArg text, std::int32_t count) noexcept;
// Without leading 0x20 bytes (a tab is not a blank here).
[[nodiscard]] TempText trim_leading_blanks(TextArg text) noexcept;
// -1, 0 or 1, comparing bytes as unsigned; an absent text counts as empty.
[[nodiscard]] std::int32_t compare_text(TextArg a, TextArg b) noexcept;
// Position of the first occurrence of pattern at or after start, or 0.
[[nodiscard]] std::int32_t find_text(std::int32_t start, TextArg text, TextArg pattern) noexcept;
// Frees the buffer; the variable becomes empty (all three fields 0).
void release_text(Text& variable) noexcept;
// release_text on every element that has a buffer, from the last to the first.
void clear_text_array(Text* texts, std::int32_t count) noexcept;

}  // namespace lumetra
