// Record conversion: one source line of measurements becomes one record of
// the target file.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "converter/lines_taken.h"
#include "records/record.h"

namespace lumetra {

// Converts the data lines of the source into records of file 2 (the record
// of a line: records/record.h).
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
  // Converts the lines at the start of a block of whole lines (each ended by
  // LF, as the source's buffer holds them) while they are plain lines (the
  // ones most lines of a logger are), as convert_line would; stops before
  // the first other line, which is left to convert_line, and when a request
  // waits or the target cannot take more records. One call for many lines:
  // the conversion loop's own cost per line is small beside a record's.
  LinesTaken convert_plain_lines(std::string_view block) noexcept;
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

  // What convert_line makes of a data line, in the room behind the waiting
  // records, without keeping or raising anything: the record's bytes, or
  // for a fifth field with content the field's index and the source line of
  // its error, or no memory for the record (the record then empty).
  [[nodiscard]] RecordOutcome make_record(std::string_view line) noexcept;

 private:
  char* room_for_record(std::size_t line_length) noexcept;
  std::size_t make_plain(std::string_view line) noexcept;
  // The general road, kept out of line, so that the plain lines' road saves
  // no registers.
  [[gnu::noinline]] RecordOutcome make_record(std::string_view line, std::size_t separator) noexcept;
  [[nodiscard, gnu::noinline]] bool reserve_output(std::size_t size) noexcept;
  void fail_line(std::string_view line, const RecordOutcome& outcome) noexcept;
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
