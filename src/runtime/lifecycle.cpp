// Start-up and shutdown of the runtime.
#include "runtime/lifecycle.h"

#include "console/console_output.h"
#include "files/file_slots.h"
#include "platform/process.h"
#include "platform/processor.h"
#include "runtime/runtime_error.h"
#include "text/text.h"

namespace lumetra {
namespace {

std::int32_t initialisation_count = 0;
bool global_initialisation_done = false;
std::uint32_t cached_processor_class = 0;

struct CommandLine {
  int argc = 0;
  char** argv = nullptr;
};
CommandLine command_line;

}  // namespace

void runtime_initialise() noexcept {
  if (initialisation_count++ != 0) return;
  reset_error_context();
  reset_file_slots();
  reset_console_state();
  reset_text_pool();
  command_line = CommandLine{};
  set_extended_precision_rounding_to_nearest();
}

void runtime_exit_step() noexcept {
  if (--initialisation_count != 0) return;
  file_close_all();
  write_pending_abort_message();
}

void run_global_initialisation() noexcept {
  if (global_initialisation_done) return;
  global_initialisation_done = true;
  runtime_initialise();
  register_exit_handler(runtime_exit_step);
}

void keep_command_line(int argc, char** argv) noexcept { command_line = {argc, argv}; }

std::uint32_t processor_class() noexcept {
  if (cached_processor_class == 0) cached_processor_class = identify_processor_class();
  return cached_processor_class;
}

}  // namespace lumetra
