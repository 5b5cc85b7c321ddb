// The converter's main flow: dialogue, opens, conversion loop, summary.
#include "converter/converter_main.h"

#include <cstdint>

#include "console/console_output.h"
#include "console/key_wait.h"
#include "console/line_input.h"
#include "converter/command_line.h"
#include "converter/log_check.h"
#include "converter/progress.h"
#include "converter/record_converter.h"
#include "converter/source_lines.h"
#include "converter/source_note.h"
#include "files/file_exit.h"
#include "files/file_slots.h"
#include "files/line_reader.h"
#include "files/print_output.h"
#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"
#include "runtime/signals.h"
#include "system/console_window.h"
#include "system/process.h"
#include "system/standard_streams.h"
#include "text/numeric_text.h"

namespace lumetra {
namespace {

constexpr const char* module_name = "lumetra";
constexpr FileNumber console = 0;
constexpr FileNumber source_file = 1;
constexpr FileNumber target_file = 2;
constexpr std::int32_t line_end = 1;
constexpr std::size_t source_buffer_size = 1 << 20;

// Source lines reported with the runtime errors of the main flow.
constexpr std::int32_t line_open_source = 16;
constexpr std::int32_t line_open_target = 17;
constexpr std::int32_t line_close_all = 21;
constexpr std::int32_t line_read_header = 26;
constexpr std::int32_t line_read_line = 30;
constexpr std::int32_t line_close_files = 58;

constexpr std::int32_t yellow = 14;
constexpr std::int32_t light_grey = 7;

struct MainState {
  Text source_name;
  Text target_name;
  Text current_line;
  std::int64_t record_count = 0;  // a log may hold more than 2^31 data lines
  RecordConverter converter;
  SourceLines lines{source_file};
  ConversionProgress progress;
  bool dialogue = true;  // the names are asked for, and the end waits for a key
  std::int32_t target_mode = mode_output;
};

// A failed statement raises its error at the statement's line; with no
// handler installed this ends the process.
void check(std::int32_t result, std::int32_t line) noexcept {
  if (result == 0) return;
  const ErrorTarget target = raise_current_error(line, module_name, nullptr, nullptr);
  if (target != nullptr) target();
}

// The files and the console register their start and end with the runtime
// before it starts: their state is cleared at its first initialisation, and
// its exit step closes the files.
void start_up(int argc, char** argv, const char** previous_module, const char** previous_function) noexcept {
  register_file_exit_steps();
  register_console_steps();
  run_global_initialisation();
  *previous_module = set_error_module(module_name);
  *previous_function = set_error_function("");
  keep_command_line(argc, argv);
  install_signal_handlers();
  if (processor_too_old(processor_class())) {
    print_text(console, "This program requires at least a 486 to run.", line_end);
    terminate_with_code(1);
  }
}

void assign_argument_name(Text& name, std::string_view argument) noexcept {
  const std::string_view bytes = argument_name(argument);
  assign_text(name, text_from_literal(bytes.data(), static_cast<std::int32_t>(bytes.size())));
}

// The names given as arguments (the source alone for a check). "-" names
// standard input as the source; as the target it names standard output, and
// the console's output then goes to standard error, before anything is
// shown.
void take_argument_names(MainState& state, const CommandLine& command) noexcept {
  state.dialogue = false;
  if (command.source == standard_stream_argument) {
    assign_text(state.source_name, standard_input_name());
  } else {
    assign_argument_name(state.source_name, command.source);
  }
  if (command.form == CommandForm::Check) return;
  if (command.target == standard_stream_argument) {
    assign_text(state.target_name, divert_standard_output());
    state.target_mode = mode_append;  // after what standard output holds, emptying nothing
  } else {
    assign_argument_name(state.target_name, command.target);
  }
}

// A target refused for being standard output or error by another name gets a
// pointer to "-" before the abort message, on a terminal only: scripts that
// read standard error find the abort message alone.
void open_target(const MainState& state) noexcept {
  const std::int32_t result = file_open(state.target_name, state.target_mode, 0, 0, target_file, 0);
  if (result != 0 && state.target_mode == mode_output && standard_error_is_terminal() &&
      file_names_dialogue_stream(state.target_name.view())) {
    write_standard_error("lumetra: the target is standard output or error; use '-' for standard output\n");
  }
  check(result, line_open_target);
}

// The title, then the names asked for when the dialogue asks them.
void show_dialogue(MainState& state) noexcept {
  print_ending(console, line_end);
  set_colours(yellow, 0, colours_keep_background);
  print_text(console, "  Photovoltaik-Datenkonverter", line_end);
  set_colours(light_grey, 0, colours_keep_background);
  print_ending(console, line_end);
  if (state.dialogue) {
    set_abort_step(hold_own_console_window);  // an abort's message, like the summary, stays until a key
    ask_line("  Quelldatei:  ", false, true);
    read_text_field(state.source_name);
    ask_line("  Zieldatei:   ", false, true);
    read_text_field(state.target_name);
  }
  print_ending(console, line_end);
}

// The final key wait of the dialogue. The key that a closing console's
// handler adds ends it too; the termination request that follows then ends
// the program here, while the error context still names it.
void wait_for_final_key(const MainState& state) noexcept {
  if (!state.dialogue) return;
  wait_for_key(-1);
  await_closing_request();  // a hang-up during the wait ends the run before the names are restored
}

[[noreturn]] void end_empty_source(const MainState& state) noexcept {
  print_text(console, "  Fehler: Die Quelldatei ist leer.", line_end);
  {
    const HoldRequests hold;
    check(file_close(0), line_close_all);
  }
  wait_for_final_key(state);
  terminate_with_code(0);
}

// The plain lines at the start of a block of whole lines, converted in one
// go; the records they made are counted.
LinesTaken take_plain_lines(MainState& state, std::string_view block) noexcept {
  const LinesTaken taken = state.converter.convert_plain_lines(block);
  state.record_count += taken.lines;
  return taken;
}

// Converts one data line; false when the conversion must end after it: a
// request waits, or the target cannot take more records.
bool convert_one(MainState& state, std::string_view line) noexcept {
  if (state.converter.convert_line(line)) ++state.record_count;
  return !request_waiting() && !state.converter.target_failed();
}

// Tells the line that stops the conversion, before its error is raised.
void note_failing_line(const void* lines, std::string_view line) noexcept {
  note_source_line(static_cast<const SourceLines*>(lines)->number_of(line), line);
}

// Tells the line that could not be read, before its error is raised.
void check_read(std::int32_t result, const SourceLines& lines, std::int32_t line) noexcept {
  if (result != 0) note_source_line(lines.next_number(), lines.next_start());
  check(result, line);
}

// Reads the data lines and converts them, many at a time from the source's
// buffer, the text of each the one file_read_line would read. An interrupt
// or termination request waits for the record being made: the records
// converted so far are written out before it is carried out. A target that
// cannot take more records ends the conversion; closing it reports the loss.
void convert_lines(MainState& state) noexcept {
  const HoldRequests hold;
  state.converter.set_line_note(note_failing_line, &state.lines);
  const std::int32_t read = state.lines.read_data_lines(
      state.current_line, [&state](std::string_view line) { return convert_one(state, line); },
      [&state] { state.progress.look(); }, [&state](std::string_view block) { return take_plain_lines(state, block); });
  check_read(read, state.lines, line_read_line);  // a line too long for memory
  state.converter.finish();
}

void convert_all(MainState& state) noexcept {
  check_read(state.lines.read_header(state.current_line), state.lines, line_read_header);  // never examined
  print_text(console, "  Konvertiere...", line_end);
  state.record_count = 0;
  state.progress.start(source_file);
  convert_lines(state);
  const HoldRequests hold;  // no abort while the target's last bytes are written out
  check_read(file_close(source_file), state.lines, line_close_files);  // it could not be read to its end
  check(file_close(target_file), line_close_files);
  state.progress.finish();  // only now: an abort leaves it above its message
}

void print_summary(const MainState& state) noexcept {
  TextDescriptor parts[4];
  TempText summary = concat_text(parts[3],
                                 concat_text(parts[2],
                                             concat_text(parts[1],
                                                         concat_text(parts[0], "  Vorgang abgeschlossen. Es wurden ",
                                                                     integer_to_text(state.record_count)),
                                                         " Datens"),
                                             "\x84"),
                                 "tze geschrieben.");
  print_text(console, std::move(summary), line_end);
}

}  // namespace

void ConverterMain(int argc, char** argv) {
  const char* previous_module = nullptr;
  const char* previous_function = nullptr;
  start_up(argc, argv, &previous_module, &previous_function);
  const CommandLine command = read_command_line(argc, argv);
  const bool checking = command.form == CommandForm::Check;
  if (command.form != CommandForm::Dialogue && command.form != CommandForm::Names && !checking)
    answer_command_line(command);
  MainState state;
  if (command.form != CommandForm::Dialogue) take_argument_names(state, command);
  show_dialogue(state);
  check(file_open(state.source_name, mode_input, 0, 0, source_file, 0), line_open_source);
  if (!checking) open_target(state);
  // Large reads; with a smaller buffer the source is only read in smaller pieces.
  (void)file_set_read_buffer(source_file, source_buffer_size);
  // Empty is a source that ends without a byte; one whose first read fails
  // is converted, and closing it reports the failure.
  if (file_at_end(source_file) && !file_read_failed(source_file)) end_empty_source(state);
  if (checking) check_log(source_file);
  convert_all(state);
  print_summary(state);
  wait_for_final_key(state);
  release_text(state.current_line);
  release_text(state.target_name);
  release_text(state.source_name);
  set_error_function(previous_function);
  set_error_module(previous_module);
  terminate_with_code(0);
}

}  // namespace lumetra
