// Text operations: literal wrapping, assignment, concatenation, length,
// sub-texts, trimming, comparison and release.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "system/memory.h"
#include "text/text.h"

namespace lumetra {
namespace {

// A new temporary holding a copy of bytes; the shared empty text when the
// bytes are empty or no descriptor or memory can be had.
TempText make_temporary(std::string_view bytes) noexcept {
  if (bytes.empty()) return {};
  TextDescriptor* descriptor = take_pool_descriptor();
  if (descriptor == nullptr) return {};
  TempText result(descriptor);
  if (!reserve_text_plain(*descriptor, static_cast<std::uint32_t>(bytes.size()))) return {};
  std::memcpy(descriptor->data, bytes.data(), bytes.size());
  descriptor->data[bytes.size()] = '\0';
  descriptor->length = static_cast<std::uint32_t>(bytes.size()) | text_temporary_flag;
  return result;
}

void free_buffer(TextDescriptor& text) noexcept {
  memory_free(text.data);
  text = TextDescriptor{};
}

// True when bytes lie in the buffer of text.
bool lies_in(const TextDescriptor& text, std::string_view bytes) noexcept {
  if (text.data == nullptr || bytes.empty()) return false;
  const auto start = reinterpret_cast<std::uintptr_t>(text.data);
  const auto at = reinterpret_cast<std::uintptr_t>(bytes.data());
  return at >= start && at - start <= static_cast<std::uintptr_t>(text.capacity);
}

// A text's buffer that bytes about to be copied into the text may come
// from: the text gets a new buffer, and the old one is freed only when the
// copy is done.
class OldBuffer {
 public:
  OldBuffer() noexcept = default;
  OldBuffer(const OldBuffer&) = delete;
  OldBuffer& operator=(const OldBuffer&) = delete;
  ~OldBuffer() { memory_free(data_); }

  // Takes text's buffer away when one of the sources lies in it.
  void take_if_source(TextDescriptor& text, std::string_view first, std::string_view second = {}) noexcept {
    if (!lies_in(text, first) && !lies_in(text, second)) return;
    data_ = text.data;
    text.data = nullptr;
    text.capacity = 0;
  }

 private:
  char* data_ = nullptr;
};

}  // namespace

TempText text_from_literal(const char* bytes, std::int32_t length) noexcept {
  TextDescriptor* descriptor = take_pool_descriptor();
  if (descriptor == nullptr) return {};
  descriptor->data = const_cast<char*>(bytes);  // never written: the flag is clear, so nothing frees it
  descriptor->length = static_cast<std::uint32_t>(length) & text_length_mask;
  descriptor->capacity = length;
  return TempText(descriptor);
}

void assign_text(Text& target, TextArg source) noexcept {
  TextDescriptor& own = target.descriptor();
  const std::string_view bytes = source.view();
  if (bytes.empty()) {
    free_buffer(own);
    return;
  }
  if (TextDescriptor* temporary = source.temporary()) {
    // Take the temporary's buffer over instead of copying it.
    memory_free(own.data);
    own = {temporary->data, temporary->length & text_length_mask, temporary->capacity};
    temporary->data = nullptr;
    temporary->length = 0;
    temporary->capacity = 0;
    return;
  }
  const auto length = static_cast<std::uint32_t>(bytes.size());
  OldBuffer old;
  if (length != (own.length & text_length_mask)) {
    old.take_if_source(own, bytes);
    if (!reserve_text_plain(own, length)) return;
  }
  std::memmove(own.data, bytes.data(), length);
  own.data[length] = '\0';
  own.length = length;
}

TempText concat_text(TextDescriptor& result, TextArg a, TextArg b) noexcept {
  const std::string_view first = a.view();
  const std::string_view second = b.view();
  const std::uint64_t total = first.size() + second.size();
  if (total == 0 || total > text_length_mask) {
    free_buffer(result);
    return TempText(&result);
  }
  OldBuffer old;
  old.take_if_source(result, first, second);
  if (!reserve_text_plain(result, static_cast<std::uint32_t>(total))) return TempText(&result);
  // An empty text has no buffer: memcpy must not be handed its null pointer.
  if (!first.empty()) std::memcpy(result.data, first.data(), first.size());
  if (!second.empty()) std::memcpy(result.data + first.size(), second.data(), second.size());
  result.data[total] = '\0';
  result.length = static_cast<std::uint32_t>(total) | text_temporary_flag;
  return TempText(&result);
}

std::int32_t text_length(TextArg text) noexcept { return static_cast<std::int32_t>(text.view().size()); }

TempText mid_text(TextArg text, std::int32_t start, std::int32_t count) noexcept {
  const std::string_view bytes = text.view();
  const auto length = static_cast<std::int64_t>(bytes.size());
  if (length == 0 || start < 1 || start > length || count == 0) return {};
  const std::int64_t rest = length - start + 1;
  const std::int64_t taken = (count < 0 || count > rest) ? rest : count;
  return make_temporary(bytes.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(taken)));
}

TempText left_text(TextArg text, std::int32_t count) noexcept {
  const std::string_view bytes = text.view();
  if (bytes.empty() || count <= 0) return {};
  return make_temporary(bytes.substr(0, static_cast<std::size_t>(count)));
}

TempText right_text(TextArg text, std::int32_t count) noexcept {
  const std::string_view bytes = text.view();
  if (bytes.empty() || count <= 0) return {};
  const std::size_t taken = std::min(bytes.size(), static_cast<std::size_t>(count));
  return make_temporary(bytes.substr(bytes.size() - taken));
}

TempText trim_leading_blanks(TextArg text) noexcept {
  std::string_view bytes = text.view();
  const std::size_t first = bytes.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return make_temporary(bytes.substr(first));
}

std::int32_t compare_text(TextArg a, TextArg b) noexcept {
  const std::string_view first = a.view();
  const std::string_view second = b.view();
  const std::size_t common = std::min(first.size(), second.size());
  const int order = common == 0 ? 0 : std::memcmp(first.data(), second.data(), common);
  if (order != 0) return order > 0 ? 1 : -1;
  if (first.size() == second.size()) return 0;
  return first.size() > second.size() ? 1 : -1;
}

void release_text(Text& variable) noexcept { free_buffer(variable.descriptor()); }

void clear_text_array(Text* texts, std::int32_t count) noexcept {
  for (std::int32_t i = count - 1; i >= 0; --i) {
    if (texts[i].data() != nullptr) release_text(texts[i]);
  }
}

}  // namespace lumetra
