// Key buffer: a ring of 512 key codes behind one lock, because the console
// close handler adds keys from a thread of its own.
#include "console/key_buffer.h"

#include <array>
#include <mutex>
#include <new>

#include "console/key_wait.h"

namespace lumetra {
namespace {

class KeyBuffer {
 public:
  void put(KeyCode key) noexcept {
    std::lock_guard lock(mutex_);
    keys_[write_] = key;
    write_ = next(write_);
    if (write_ == read_) read_ = next(read_);  // full: the oldest key goes
    key_arrived_ = true;
  }

  KeyCode peek() noexcept {
    std::lock_guard lock(mutex_);
    return read_ == write_ ? no_key : keys_[read_];
  }

  KeyCode remove() noexcept {
    std::lock_guard lock(mutex_);
    if (read_ == write_) return no_key;
    const KeyCode key = keys_[read_];
    read_ = next(read_);
    return key;
  }

  bool full() noexcept {
    std::lock_guard lock(mutex_);
    return next(write_) == read_;
  }

  bool take_arrived() noexcept {
    std::lock_guard lock(mutex_);
    const bool arrived = key_arrived_;
    key_arrived_ = false;
    return arrived;
  }

 private:
  static int next(int index) noexcept { return (index + 1) % key_buffer_size; }

  std::mutex mutex_;
  std::array<KeyCode, key_buffer_size> keys_{};
  int read_ = 0;
  int write_ = 0;
  bool key_arrived_ = false;
};

// Never destroyed: the console's close handler may add a key from its own
// thread while the exit handlers and static destructors run.
KeyBuffer& key_buffer() noexcept {
  alignas(KeyBuffer) static unsigned char storage[sizeof(KeyBuffer)];
  static KeyBuffer* const buffer = new (storage) KeyBuffer;
  return *buffer;
}

// Builds a temporary text of the given bytes; the shared empty text when the
// pool or the memory runs out.
TempText new_key_text(const unsigned char* bytes, std::uint32_t length) noexcept {
  TextDescriptor* descriptor = take_pool_descriptor();
  if (descriptor == nullptr) return TempText();
  TempText text(descriptor);
  if (!reserve_text_plain(*descriptor, length)) return TempText();
  for (std::uint32_t i = 0; i < length; ++i) descriptor->data[i] = static_cast<char>(bytes[i]);
  descriptor->data[length] = '\0';
  descriptor->length = length | text_temporary_flag;
  return text;
}

}  // namespace

void put_key(KeyCode key) noexcept { key_buffer().put(key); }

bool key_buffer_full() noexcept { return key_buffer().full(); }

KeyCode fetch_key() noexcept {
  pump_console_events();
  const KeyCode key = key_buffer().remove();
  if (key != no_key) (void)take_key_arrived();
  return key;
}

KeyCode peek_key() noexcept {
  pump_console_events();
  return key_buffer().peek();
}

bool take_key_arrived() noexcept {
  pump_console_events();
  return key_buffer().take_arrived();
}

bool key_available() noexcept { return peek_key() != no_key; }

TempText take_key_text() noexcept {
  const KeyCode key = fetch_key();
  if (key == no_key) return TempText();
  if (key <= 255) {
    const unsigned char byte = static_cast<unsigned char>(key);
    return new_key_text(&byte, 1);
  }
  const unsigned char bytes[2] = {255, static_cast<unsigned char>(key >> 8)};
  return new_key_text(bytes, 2);
}

}  // namespace lumetra
