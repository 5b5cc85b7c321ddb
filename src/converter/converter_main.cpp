// The converter's main flow: dialogue, opens, conversion loop, summary.
#include "converter/converter_main.h"

#include <cstdint>

#include "console/console_output.h"
#include "console/key_wait.h"
#include "console/line_input.h"
#include "converter/record_converter.h"
#include "files/file_slots.h"
#include "files/line_reader.h"
#include "files/print_output.h"
#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"
#include "runtime/signals.h"
#include "text/numeric_text.h"

namespace lumetra {
namespace {

constexpr const char* module_name = "lumetra";
constexpr FileNumber console = 0;
constexpr FileNumber source_file = 1;
constexpr FileNumber target_file = 2;
constexpr std::int32_t line_end = 1;

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
  std::int32_t record_count = 0;
  RecordConverter converter;
};

// A failed statement raises its error at the statement's line; with no
// handler installed this ends the process.
void check(std::int32_t result, std::int32_t line) noexcept {
  if (result == 0) return;
  const ErrorTarget target = raise_current_error(line, module_name, nullptr, nullptr);
  if (target != nullptr) target();
}

void start_up(int argc, char** argv, const char** previous_module, const char** previous_function) noexcept {
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

void ask_names(MainState& state) noexcept {
  print_ending(console, line_end);
  set_colours(yellow, 0, colours_keep_background);
  print_text(console, "  Photovoltaik-Datenkonverter", line_end);
  set_colours(light_grey, 0, colours_keep_background);
  print_ending(console, line_end);
  ask_line("  Quelldatei:  ", false, true);
  read_text_field(state.source_name);
  ask_line("  Zieldatei:   ", false, true);
  read_text_field(state.target_name);
  print_ending(console, line_end);
}

[[noreturn]] void end_empty_source() noexcept {
  print_text(console, "  Fehler: Die Quelldatei ist leer.", line_end);
  {
    const HoldRequests hold;
    check(file_close(0), line_close_all);
  }
  wait_for_key(-1);
  terminate_with_code(0);
}

// Reads the data lines and converts them. An interrupt or termination
// request waits for the record being made: the records converted so far are
// written out before it is carried out. A target that cannot take more
// records ends the conversion; closing it reports the loss.
void convert_lines(MainState& state) noexcept {
  const HoldRequests hold;
  for (;;) {
    // A line that lies whole in the source's buffer is taken from there;
    // the text is the one file_read_line would read.
    std::string_view line;
    if (!file_take_buffered_line(source_file, line)) {
      if (file_at_end(source_file)) break;
      check(file_read_line(source_file, state.current_line), line_read_line);  // a line too long for memory
      line = state.current_line.view();
    }
    if (state.converter.convert_line(line)) ++state.record_count;
    if (request_waiting() || state.converter.target_failed()) [[unlikely]]
      break;
  }
  state.converter.finish();
}

void convert_all(MainState& state) noexcept {
  check(file_read_line(source_file, state.current_line), line_read_header);  // the header, never examined
  print_text(console, "  Konvertiere...", line_end);
  state.record_count = 0;
  convert_lines(state);
  const HoldRequests hold;  // no abort while the target's last bytes are written out
  check(file_close(source_file), line_close_files);
  check(file_close(target_file), line_close_files);
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
  MainState state;
  ask_names(state);
  check(file_open(state.source_name, mode_input, 0, 0, source_file, 0), line_open_source);
  check(file_open(state.target_name, mode_output, 0, 0, target_file, 0), line_open_target);
  if (file_at_end(source_file)) end_empty_source();
  convert_all(state);
  print_summary(state);
  wait_for_key(-1);
  await_closing_request();  // a hang-up during the wait ends the run with the run's names in force
  release_text(state.current_line);
  release_text(state.target_name);
  release_text(state.source_name);
  set_error_function(previous_function);
  set_error_module(previous_module);
  terminate_with_code(0);
}

}  // namespace lumetra
