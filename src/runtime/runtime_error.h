// Numbered runtime errors, the process-wide error context, and the abort
// path that composes the abort message and ends the process.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumetra {

enum class RuntimeError : std::int32_t {
  None = 0,
  IllegalFunctionCall = 1,
  FileNotFound = 2,
  FileIoError = 3,
  OutOfMemory = 4,
  IllegalResume = 5,
  OutOfBoundsArrayAccess = 6,
  NullPointerAccess = 7,
  NoPrivileges = 8,
  InterruptedSignal = 9,
  IllegalInstructionSignal = 10,
  FloatingPointErrorSignal = 11,
  SegmentationViolationSignal = 12,
  TerminationRequestSignal = 13,
  AbnormalTerminationSignal = 14,
  QuitRequestSignal = 15,
};

inline constexpr std::int32_t error_code(RuntimeError error) noexcept { return static_cast<std::int32_t>(error); }

// The fixed message text of an error number; empty for numbers outside 0..15.
[[nodiscard]] std::string_view runtime_error_text(std::int32_t number) noexcept;

// A code location that receives control when an error is raised. The system
// never installs one; only the abort path runs.
using ErrorTarget = void (*)();

// The process-wide error context. Module and function names refer to constant
// zero-terminated texts that the context does not own; null means none.
struct ErrorContext {
  ErrorTarget handler_target = nullptr;
  std::int32_t error_number = 0;
  std::int32_t line_number = 0;
  const char* module_name = nullptr;
  const char* function_name = nullptr;
  ErrorTarget retry_target = nullptr;
  ErrorTarget continue_target = nullptr;
};

// ---- Context ---------------------------------------------------------------

// Stores the number as the current error number and returns it.
std::int32_t set_error_number(std::int32_t number) noexcept;
inline std::int32_t set_error_number(RuntimeError error) noexcept { return set_error_number(error_code(error)); }
[[nodiscard]] std::int32_t error_number() noexcept;
[[nodiscard]] std::int32_t error_line() noexcept;
// Each setter returns the previous value.
const char* set_error_module(const char* module) noexcept;
[[nodiscard]] const char* error_module() noexcept;
const char* set_error_function(const char* function) noexcept;
[[nodiscard]] const char* error_function() noexcept;
ErrorTarget set_error_handler(ErrorTarget target) noexcept;
// Clears the context and the pending abort message (start-up).
void reset_error_context() noexcept;

// ---- Raising ---------------------------------------------------------------

// With no handler target: composes the abort message (the given module, or
// the context's when none is given, and the context's function name) and
// ends the process with the number as exit code. With a handler target:
// stores number, line, module (when given) and the targets, and returns the
// handler target.
ErrorTarget raise_runtime_error(std::int32_t number, std::int32_t line, const char* module, ErrorTarget retry,
                                ErrorTarget resume) noexcept;
ErrorTarget raise_current_error(std::int32_t line, const char* module, ErrorTarget retry, ErrorTarget resume) noexcept;
// Hand out the stored target and clear both; error 5 when there is none.
ErrorTarget take_retry_target() noexcept;
ErrorTarget take_continue_target() noexcept;
// Error 6 unless lower <= index <= upper (signed); null when it passes.
ErrorTarget check_index(std::int32_t index, std::int32_t lower, std::int32_t upper, std::int32_t line,
                        const char* module) noexcept;
// Error 6 unless offset <= limit (unsigned); null when it passes.
ErrorTarget check_offset(std::uint32_t offset, std::uint32_t limit, std::int32_t line, const char* module) noexcept;

// ---- Abort -------------------------------------------------------------------

inline constexpr std::size_t abort_message_size = 1024;

// Composes the abort message in fixed storage (cut at 1023 characters), keeps
// it pending and ends the process with the number as exit code.
[[noreturn]] void abort_with_error(std::int32_t number, std::int32_t line, const char* module,
                                   const char* function) noexcept;
// Composes the abort message and keeps it pending, without ending the
// process. Safe to call in a signal handler.
void keep_abort_message(std::int32_t number, std::int32_t line, const char* module, const char* function) noexcept;
// Composes the abort message into buffer (abort_message_size bytes) without
// ending the process; returns its length. Safe to call in a signal handler.
std::size_t compose_abort_message(char* buffer, std::int32_t number, std::int32_t line, const char* module,
                                  const char* function) noexcept;
// Ends the process through the exit handlers with the code.
[[noreturn]] void terminate_with_code(std::int32_t code) noexcept;
// Keeps a line that follows the pending abort message, such as the place in
// the source that stopped the program; the caller composes it (ended by its
// line end) in normal code before raising the error, and only when it is to
// be shown. Copied into fixed storage and cut at abort_message_size - 1
// bytes; a later call replaces it.
void keep_abort_note(std::string_view note) noexcept;
// Writes the pending abort message, if any, to standard error, unchanged,
// and after it the kept note.
void write_pending_abort_message() noexcept;
// The pending message, empty when none.
[[nodiscard]] std::string_view pending_abort_message() noexcept;

}  // namespace lumetra
