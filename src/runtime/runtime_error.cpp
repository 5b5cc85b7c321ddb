// The error context, raising, index checks and the abort message.
#include "runtime/runtime_error.h"

#include <algorithm>
#include <array>

#include "runtime/signals.h"
#include "system/process.h"

namespace lumetra {
namespace {

constexpr std::array<std::string_view, 16> message_texts{
    "",
    "illegal function call",
    "file not found",
    "file I/O error",
    "out of memory",
    "illegal resume",
    "out of bounds array access",
    "null pointer access",
    "no priviledges",
    "\"interrupted\" signal",
    "\"illegal instruction\" signal",
    "\"floating point error\" signal",
    "\"segmentation violation\" signal",
    "\"termination request\" signal",
    "\"abnormal termination\" signal",
    "\"quit request\" signal",
};

ErrorContext context;

// The abort message lives in fixed storage: the abort path must not need
// memory, and a signal handler may compose it.
char abort_message[abort_message_size];
std::size_t pending_length = 0;
bool pending = false;
char abort_note[abort_message_size];
std::size_t note_length = 0;

// Appends to a fixed buffer, keeping room for the terminating zero; what does
// not fit is cut.
class MessageBuffer {
 public:
  explicit MessageBuffer(char* buffer) noexcept : buffer_(buffer) {}

  MessageBuffer& operator<<(std::string_view text) noexcept {
    for (const char byte : text) {
      if (length_ + 1 >= abort_message_size) break;
      buffer_[length_++] = byte;
    }
    buffer_[length_] = '\0';
    return *this;
  }

  MessageBuffer& operator<<(std::int32_t value) noexcept {
    char digits[12];
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    std::size_t count = 0;
    do {
      digits[sizeof digits - 1 - count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[sizeof digits - 1 - count++] = '-';
    return *this << std::string_view(digits + sizeof digits - count, count);
  }

  [[nodiscard]] std::size_t length() const noexcept { return length_; }

 private:
  char* buffer_;
  std::size_t length_ = 0;
};

}  // namespace

std::string_view runtime_error_text(std::int32_t number) noexcept {
  const auto index = static_cast<std::uint32_t>(number);
  return index < message_texts.size() ? message_texts[index] : std::string_view{};
}

// ---- Context ---------------------------------------------------------------

std::int32_t set_error_number(std::int32_t number) noexcept { return context.error_number = number; }
std::int32_t error_number() noexcept { return context.error_number; }
std::int32_t error_line() noexcept { return context.line_number; }

const char* set_error_module(const char* module) noexcept {
  const char* previous = context.module_name;
  context.module_name = module;
  return previous;
}

const char* error_module() noexcept { return context.module_name; }

const char* set_error_function(const char* function) noexcept {
  const char* previous = context.function_name;
  context.function_name = function;
  return previous;
}

const char* error_function() noexcept { return context.function_name; }

ErrorTarget set_error_handler(ErrorTarget target) noexcept {
  const ErrorTarget previous = context.handler_target;
  context.handler_target = target;
  return previous;
}

void reset_error_context() noexcept {
  context = ErrorContext{};
  pending = false;
  pending_length = 0;
  note_length = 0;
}

// ---- Raising ---------------------------------------------------------------

ErrorTarget raise_runtime_error(std::int32_t number, std::int32_t line, const char* module, ErrorTarget retry,
                                ErrorTarget resume) noexcept {
  if (context.handler_target == nullptr) {
    abort_with_error(number, line, module != nullptr ? module : context.module_name, context.function_name);
  }
  context.error_number = number;
  context.line_number = line;
  if (module != nullptr) context.module_name = module;
  context.retry_target = retry;
  context.continue_target = resume;
  return context.handler_target;
}

ErrorTarget raise_current_error(std::int32_t line, const char* module, ErrorTarget retry, ErrorTarget resume) noexcept {
  return raise_runtime_error(context.error_number, line, module, retry, resume);
}

namespace {

ErrorTarget take_target(ErrorTarget wanted) noexcept {
  if (wanted == nullptr) {
    abort_with_error(error_code(RuntimeError::IllegalResume), -1, context.module_name, context.function_name);
  }
  context.retry_target = nullptr;
  context.continue_target = nullptr;
  return wanted;
}

ErrorTarget raise_out_of_bounds(std::int32_t line, const char* module) noexcept {
  return raise_runtime_error(error_code(RuntimeError::OutOfBoundsArrayAccess), line, module, nullptr, nullptr);
}

}  // namespace

ErrorTarget take_retry_target() noexcept { return take_target(context.retry_target); }
ErrorTarget take_continue_target() noexcept { return take_target(context.continue_target); }

ErrorTarget check_index(std::int32_t index, std::int32_t lower, std::int32_t upper, std::int32_t line,
                        const char* module) noexcept {
  if (index >= lower && index <= upper) return nullptr;
  return raise_out_of_bounds(line, module);
}

ErrorTarget check_offset(std::uint32_t offset, std::uint32_t limit, std::int32_t line, const char* module) noexcept {
  if (offset <= limit) return nullptr;
  return raise_out_of_bounds(line, module);
}

// ---- Abort -------------------------------------------------------------------

std::size_t compose_abort_message(char* buffer, std::int32_t number, std::int32_t line, const char* module,
                                  const char* function) noexcept {
  MessageBuffer message(buffer);
  message << "\r\nAborting due to runtime error " << number;
  if (static_cast<std::uint32_t>(number) <= 15) message << " (" << runtime_error_text(number) << ")";
  if (line > 0) message << " at line " << line;
  if (module != nullptr) {
    message << (line > 0 ? " of " : " in ") << module;
    if (function != nullptr) message << "::" << function;
    message << "()\r\n\r\n";
  } else {
    message << "\r\n\r\n";
  }
  return message.length();
}

void abort_with_error(std::int32_t number, std::int32_t line, const char* module, const char* function) noexcept {
  keep_abort_message(number, line, module, function);
  terminate_with_code(number);
}

void keep_abort_message(std::int32_t number, std::int32_t line, const char* module, const char* function) noexcept {
  pending_length = compose_abort_message(abort_message, number, line, module, function);
  pending = true;
}

void terminate_with_code(std::int32_t code) noexcept {
  // The C library's exit is not safe in a signal handler: the handler ends
  // the process with its own safe steps.
  if (handling_signal()) exit_from_signal_handler(code);
  // A console being closed has sent its termination request, which ends the
  // process; the key its close handler added must not end it normally first.
  await_closing_request();
  hold_requests_until_exit(code);
  exit_process(code);
}

void keep_abort_note(std::string_view note) noexcept {
  note_length = std::min(note.size(), abort_message_size - 1);
  std::copy_n(note.data(), note_length, abort_note);
}

void write_pending_abort_message() noexcept {
  if (!pending) return;
  pending = false;  // written exactly once
  write_standard_error({abort_message, pending_length});
  if (note_length != 0) write_standard_error({abort_note, note_length});
}

std::string_view pending_abort_message() noexcept {
  return pending ? std::string_view(abort_message, pending_length) : std::string_view{};
}

}  // namespace lumetra
