// The command line: options, the two names, and the answers that end the
// program before anything is converted.
#include "converter/command_line.h"

#include <algorithm>
#include <initializer_list>
#include <span>

#include "console/line_input.h"
#include "converter/error_line.h"
#include "files/file_slots.h"
#include "lumetra_version.h"
#include "runtime/runtime_error.h"
#include "system/help_conventions.h"
#include "system/process.h"
#include "system/standard_streams.h"

namespace lumetra {
namespace {

constexpr std::string_view usage_text =
    "Usage: lumetra\n"
    "       lumetra SOURCE TARGET\n"
    "       lumetra --check SOURCE\n"
    "       lumetra --help | --version\n"
    "\n"
    "Converts a photovoltaic measurement log into fixed-layout records. Without\n"
    "arguments it asks for the source and the target file name in a German\n"
    "dialogue; with them it converts SOURCE into TARGET without asking.\n"
    "--check reads SOURCE and writes nothing: it reports the lines a conversion\n"
    "would skip or stop at, times that are not hhmmss and values that are no\n"
    "numbers, and ends with the status the conversion would end with. On a\n"
    "terminal, a conversion stopped by its source shows the line of the source.\n";

// Only where the standard streams open as files.
constexpr std::string_view standard_streams_text =
    "SOURCE - reads the log from standard input; TARGET - writes the records to\n"
    "standard output, and the messages then go to standard error.\n"
    "Standard output or error named otherwise as TARGET (/dev/stdout) is\n"
    "refused: the messages would be mixed into the records.\n";

constexpr std::string_view exit_status_text =
    "\n"
    "Exit status: 0 converted (also for an empty source), 1 to 15 the runtime\n"
    "error that stopped it, 64 wrong usage, 74 this text could not be written.\n"
    "Manual: ";

constexpr std::string_view check_option = "--check";

constexpr std::string_view usage_hint = "Try 'lumetra --help' for more information.\n";

// "-" alone is a name; the system's own help argument ("/?") is an option.
bool is_option(std::string_view argument) noexcept {
  return argument.size() > 1 && (argument.front() == '-' || argument == system_help_argument);
}

CommandLine command_of(CommandForm form, std::string_view first = {}, std::string_view second = {}) noexcept {
  CommandLine command;
  command.form = form;
  if (form == CommandForm::Names || form == CommandForm::Check) {
    command.source = first;
    command.target = second;
  } else {
    command.fault = first;
    command.culprit = second;
  }
  return command;
}

// What an option asks for; a usage error for an unknown one.
CommandLine read_option(std::string_view option) noexcept {
  if (option == "--help" || option == "-h" || option == system_help_argument) return command_of(CommandForm::Help);
  if (option == "--version") return command_of(CommandForm::Version);
  return command_of(CommandForm::UsageError, "unknown option", option);
}

// The command that the names give, or a usage error: for "-" where the
// system cannot open the standard streams as files, or for the source "-"
// on a terminal.
CommandLine names_command(CommandForm form, std::span<const std::string_view> names) noexcept {
  for (const std::string_view name : names) {
    if (name == standard_stream_argument && !standard_streams_have_names()) {
      return command_of(CommandForm::UsageError, "this system cannot open the standard streams as files:", name);
    }
  }
  if (standard_input_is_terminal() &&
      (names[0] == standard_stream_argument || file_names_input_terminal(argument_name(names[0])))) {
    return command_of(CommandForm::UsageError, "standard input is a terminal, not a log:", names[0]);
  }
  return command_of(form, names[0], names.size() > 1 ? names[1] : std::string_view());
}

// Ends the program after the usage or the version went to standard output;
// when they could not be written (a full disk, a closed pipe), that is said
// on standard error and the status is the output error's.
[[noreturn]] void answer_on_standard_output(std::initializer_list<std::string_view> parts) noexcept {
  for (const std::string_view part : parts) {
    if (!write_standard_output(part)) {
      write_standard_error("lumetra: write error on standard output\n");
      terminate_with_code(exit_output_error);
    }
  }
  terminate_with_code(0);
}

}  // namespace

CommandLine read_command_line(int argc, const char* const* argv) noexcept {
  std::string_view names[2];
  int count = 0;
  bool options_ended = false;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!options_ended && argument == "--") {
      options_ended = true;
    } else if (!options_ended && argument == check_option) {
      check = true;
    } else if (!options_ended && is_option(argument)) {
      return read_option(argument);
    } else if (count == 2) {
      return command_of(CommandForm::UsageError, "unexpected argument", argument);
    } else {
      names[count++] = argument;
    }
  }
  if (check) {  // the source alone
    if (count == 0) return command_of(CommandForm::UsageError, "no SOURCE after", check_option);
    if (count == 2) return command_of(CommandForm::UsageError, "unexpected argument", names[1]);
    return names_command(CommandForm::Check, {names, 1});
  }
  if (count == 1) return command_of(CommandForm::UsageError, "no TARGET after", names[0]);
  if (count == 0) return command_of(CommandForm::Dialogue);
  return names_command(CommandForm::Names, names);
}

std::string_view argument_name(std::string_view argument) noexcept {
  argument.remove_prefix(std::min(argument.find_first_not_of(" \t"), argument.size()));
  if (argument.starts_with('"')) {
    argument.remove_prefix(1);
    argument = argument.substr(0, argument.find('"'));
  }
  return argument.substr(0, field_size);
}

void answer_command_line(const CommandLine& command) noexcept {
  if (command.form == CommandForm::Help) {
    answer_on_standard_output({usage_text, standard_streams_have_names() ? standard_streams_text : "", exit_status_text,
                               manual_location, "\n"});
  }
  if (command.form == CommandForm::Version) answer_on_standard_output({"lumetra ", program_version, "\n"});
  {
    ErrorLine line;
    line.add("lumetra: ");
    line.add(command.fault);
    line.add(" ");
    line.add_quoted(command.culprit);
    line.add("\n");
    line.add(usage_hint);
  }
  terminate_with_code(exit_usage);
}

}  // namespace lumetra
