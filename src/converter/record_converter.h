// Record conversion: one source line of measurements becomes one record of
// the target file.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "text/text.h"

namespace lumetra {

// Source lines reported with runtime errors of the conversion.
inline constexpr std::int32_t line_clear_field = 33;
inline constexpr std::int32_t line_store_comma = 42;
inline constexpr std::int32_t line_store_byte = 44;

// A line holding ";" is a data line of up to four fields: a time of day hhmmss
// and three values. Its record, written to file 2, is
//   "$1;1;" seconds ";" value ";" value ";" value ";0" CR LF
// with blanks removed from the fields and "." turned into ",". Seconds are
// hh * 3600 + mm * 60 + ss, read from the first two, the third and fourth,
// and the last two bytes of the first field.
class RecordConverter {
 public:
  // The converter made last is the one whose waiting records the runtime's
  // exit step writes out, also when a signal or a fault ends the process.
  RecordConverter() noexcept;
  ~RecordConverter();
  RecordConverter(const RecordConverter&) = delete;
  RecordConverter& operator=(const RecordConverter&) = delete;

  // Makes the record of a data line and returns true; returns false and
  // makes nothing for a line without ";". Records wait in the converter and
  // reach file 2 in large writes of whole records; finish writes the rest. A
  // fifth field with content writes the waiting records out and ends the
  // process with runtime error 6 (at line 42 for a ".", else 44), and so does
  // a record that gets no memory, with error 4 at line 44: nothing of that
  // line reaches the target.
  bool convert_line(std::string_view line) noexcept;
  // Writes the waiting records to file 2. When the file cannot take them
  // all, it keeps the whole records that reached it and target_failed() is
  // true from then on.
  void finish() noexcept;
  [[nodiscard]] bool target_failed() const noexcept { return target_failed_; }
  // A line that ends the process in convert_line is handed to
  // note(context, line) first, before its error is raised.
  using LineNote = void (*)(const void* context, std::string_view line) noexcept;
  void set_line_note(LineNote note, const void* context) noexcept {
    line_note_ = note;
    line_note_context_ = context;
  }

  // What convert_line makes of a data line, without keeping or raising
  // anything: the record's bytes, or for a fifth field with content the
  // field's index and the source line of its error, or no memory for the
  // record (the record then empty).
  struct Outcome {
    std::string_view record;
    std::int32_t failed_index = 0;
    std::int32_t failed_line = 0;
    bool no_memory = false;
  };
  [[nodiscard]] Outcome make_record(std::string_view line) noexcept;

 private:
  char* record_room(std::size_t line_length) noexcept;
  std::size_t make_plain(std::string_view line) noexcept;
  // Kept out of line, so that the plain lines' road saves no registers.
  [[gnu::noinline]] Outcome make_general_record(std::string_view line) noexcept;
  Outcome make_record(std::string_view line, const char* separator) noexcept;
  Outcome finish_record(char* out, std::int32_t fields) noexcept;
  [[nodiscard, gnu::noinline]] bool reserve_output(std::size_t size) noexcept;
  void fail_line(std::string_view line, const Outcome& outcome) noexcept;
  void write_waiting_records() noexcept;
  static void write_at_exit() noexcept;

  struct Release {
    void operator()(char* bytes) const noexcept;
  };
  std::unique_ptr<char[], Release> output_;
  std::size_t output_size_ = 0;
  std::size_t waiting_ = 0;  // bytes of whole records at the start of output_
  bool target_failed_ = false;
  LineNote line_note_ = nullptr;
  const void* line_note_context_ = nullptr;
};

}  // namespace lumetra
