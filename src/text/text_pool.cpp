// Text descriptors, the pool of 256 temporaries, and the capacity policy for
// text buffers.
#include <algorithm>
#include <cstring>

#include "system/memory.h"
#include "text/text.h"

namespace lumetra {
namespace {

// The pool keeps every descriptor on one of two doubly linked lists, the free
// list and the in-use list, linked by index; -1 ends a list.
struct TextPool {
  std::array<TextDescriptor, text_pool_size> descriptors{};
  std::array<std::int16_t, text_pool_size> next{};
  std::array<std::int16_t, text_pool_size> previous{};
  std::int16_t free_head = -1;
  std::int16_t used_head = -1;
  int used_count = 0;
  bool ready = false;
};

TextPool pool;

void unlink(std::int16_t& head, std::int16_t index) noexcept {
  const std::int16_t before = pool.previous[index];
  const std::int16_t after = pool.next[index];
  if (before >= 0)
    pool.next[before] = after;
  else
    head = after;
  if (after >= 0) pool.previous[after] = before;
}

void push_front(std::int16_t& head, std::int16_t index) noexcept {
  pool.previous[index] = -1;
  pool.next[index] = head;
  if (head >= 0) pool.previous[head] = index;
  head = index;
}

void set_up_pool() noexcept {
  pool.free_head = -1;
  pool.used_head = -1;
  pool.used_count = 0;
  for (int i = text_pool_size - 1; i >= 0; --i) {
    pool.descriptors[i] = TextDescriptor{};
    push_front(pool.free_head, static_cast<std::int16_t>(i));
  }
  pool.ready = true;
}

// Index of a pool descriptor, or -1 for a descriptor outside the pool.
int pool_index(const TextDescriptor* descriptor) noexcept {
  const TextDescriptor* first = pool.descriptors.data();
  if (descriptor < first || descriptor >= first + text_pool_size) return -1;
  return static_cast<int>(descriptor - first);
}

void return_pool_descriptor(int index) noexcept {
  pool.descriptors[index] = TextDescriptor{};
  unlink(pool.used_head, static_cast<std::int16_t>(index));
  push_front(pool.free_head, static_cast<std::int16_t>(index));
  --pool.used_count;
}

// r + r/8 with r the length rounded up to a multiple of 32, but no more than
// the 32-bit capacity holds: the most a text can hold.
std::uint64_t target_capacity(std::uint32_t length) noexcept {
  const std::uint64_t rounded = (static_cast<std::uint64_t>(length) + 31) / 32 * 32;
  return std::min<std::uint64_t>(rounded + rounded / 8, text_length_mask);
}

// The keep rule: big enough, and not more than an eighth above the target.
bool buffer_fits(const TextDescriptor& text, std::uint32_t length) noexcept {
  if (text.data == nullptr) return false;
  const std::int64_t capacity = text.capacity;
  return capacity >= length && static_cast<std::uint64_t>(capacity - capacity / 8) <= target_capacity(length);
}

}  // namespace

// ---- Descriptors -------------------------------------------------------------

Text::Text(Text&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = TextDescriptor{}; }

Text& Text::operator=(Text&& other) noexcept {
  if (this != &other) {
    memory_free(descriptor_.data);
    descriptor_ = other.descriptor_;
    other.descriptor_ = TextDescriptor{};
  }
  return *this;
}

Text::~Text() { memory_free(descriptor_.data); }

std::string_view Text::view() const noexcept { return {descriptor_.data, descriptor_.length & text_length_mask}; }

std::int32_t Text::size() const noexcept { return static_cast<std::int32_t>(descriptor_.length & text_length_mask); }

TempText& TempText::operator=(TempText&& other) noexcept {
  if (this != &other) {
    release_if_temporary();
    descriptor_ = other.descriptor_;
    other.descriptor_ = nullptr;
  }
  return *this;
}

std::string_view TempText::view() const noexcept {
  if (descriptor_ == nullptr) return {};
  return {descriptor_->data, descriptor_->length & text_length_mask};
}

void TempText::release_if_temporary() noexcept {
  if (descriptor_ == nullptr) return;
  if ((descriptor_->length & text_temporary_flag) != 0) memory_free(descriptor_->data);
  const int index = pool_index(descriptor_);
  if (index >= 0) {
    return_pool_descriptor(index);
  } else if ((descriptor_->length & text_temporary_flag) != 0) {
    *descriptor_ = TextDescriptor{};
  }
  descriptor_ = nullptr;
}

std::string_view TextArg::view() const noexcept {
  if (descriptor_ != nullptr) return {descriptor_->data, descriptor_->length & text_length_mask};
  if (literal_ != nullptr) return {literal_};
  return {};
}

TextDescriptor* TextArg::temporary() const noexcept {
  TextDescriptor* descriptor = temporary_.descriptor();
  if (descriptor == nullptr || descriptor->data == nullptr) return nullptr;
  return (descriptor->length & text_temporary_flag) != 0 ? descriptor : nullptr;
}

// ---- Pool -------------------------------------------------------------------

TextDescriptor* take_pool_descriptor() noexcept {
  if (!pool.ready) set_up_pool();
  if (pool.free_head < 0) return nullptr;
  const std::int16_t index = pool.free_head;
  unlink(pool.free_head, index);
  push_front(pool.used_head, index);
  ++pool.used_count;
  pool.descriptors[index] = TextDescriptor{};
  return &pool.descriptors[index];
}

int pool_descriptors_in_use() noexcept { return pool.used_count; }

void reset_text_pool() noexcept { set_up_pool(); }

// ---- Capacity policy -------------------------------------------------------

bool reserve_text_plain(TextDescriptor& text, std::uint32_t length) noexcept {
  if (buffer_fits(text, length)) return true;
  memory_free(text.data);
  text.data = nullptr;
  text.capacity = 0;
  std::uint64_t capacity = target_capacity(length);
  char* buffer = length <= text_length_mask ? static_cast<char*>(memory_allocate(capacity + 1)) : nullptr;
  if (buffer == nullptr && length <= text_length_mask) {
    capacity = length;
    buffer = static_cast<char*>(memory_allocate(capacity + 1));
  }
  if (buffer == nullptr) {
    text.length = 0;
    return false;
  }
  text.data = buffer;
  text.capacity = static_cast<std::int32_t>(capacity);
  return true;
}

bool reserve_text_keeping(TextDescriptor& text, std::uint32_t length) noexcept {
  if (buffer_fits(text, length)) return true;
  if (length > text_length_mask) return false;
  std::uint64_t capacity = target_capacity(length);
  void* buffer = memory_reallocate(text.data, capacity + 1);
  if (buffer == nullptr) {
    capacity = length;
    buffer = memory_reallocate(text.data, capacity + 1);
  }
  if (buffer == nullptr) return false;
  text.data = static_cast<char*>(buffer);
  text.capacity = static_cast<std::int32_t>(capacity);
  return true;
}

}  // namespace lumetra
