// Start-up and shutdown of the runtime.
#include "runtime/lifecycle.h"

#include <array>

#include "runtime/runtime_error.h"
#include "system/process.h"
#include "system/processor.h"
#include "text/text.h"

namespace lumetra {
namespace {

std::int32_t initialisation_count = 0;
bool global_initialisation_done = false;
std::uint32_t cached_processor_class = 0;
ExitWriter exit_writer = nullptr;
AbortStep abort_step = nullptr;

struct CommandLine {
  int argc = 0;
  char** argv = nullptr;
};
CommandLine command_line;

struct ExitStepTable {
  std::array<const ExitSteps*, exit_steps_capacity> steps{};
  std::size_t count = 0;
};
ExitStepTable exit_step_table;

// Runs one step of every registered layer, in the order of registration.
template <typename Step>
void run_registered(Step ExitSteps::*step) noexcept {
  for (std::size_t i = 0; i < exit_step_table.count; ++i) {
    if (const Step run = exit_step_table.steps[i]->*step; run != nullptr) run();
  }
}

}  // namespace

bool register_exit_steps(const ExitSteps& steps) noexcept {
  ExitStepTable& table = exit_step_table;
  for (std::size_t i = 0; i < table.count; ++i) {
    if (table.steps[i] == &steps) return true;
  }
  if (table.count == table.steps.size()) return false;
  table.steps[table.count++] = &steps;
  return true;
}

void stop_blocking_everywhere() noexcept { run_registered(&ExitSteps::stop_blocking); }

void runtime_initialise() noexcept {
  if (initialisation_count++ != 0) return;
  reset_error_context();
  run_registered(&ExitSteps::reset);
  reset_text_pool();
  command_line = CommandLine{};
  set_extended_precision_rounding_to_nearest();
}

void runtime_exit_step() noexcept {
  if (--initialisation_count != 0) return;
  if (exit_writer != nullptr) exit_writer();
  run_registered(&ExitSteps::close);
  const bool aborting = !pending_abort_message().empty();
  write_pending_abort_message();
  if (aborting && abort_step != nullptr) abort_step();
}

void runtime_exit_step_from_signal_handler() noexcept {
  if (--initialisation_count != 0) return;
  if (exit_writer != nullptr) exit_writer();
  run_registered(&ExitSteps::close_from_signal_handler);
  write_pending_abort_message();
}

void set_exit_writer(ExitWriter writer) noexcept { exit_writer = writer; }

void set_abort_step(AbortStep step) noexcept { abort_step = step; }

void run_global_initialisation() noexcept {
  if (global_initialisation_done) return;
  global_initialisation_done = true;
  open_closed_standard_descriptors();
  runtime_initialise();
  register_exit_handler(runtime_exit_step);
}

void keep_command_line(int argc, char** argv) noexcept { command_line = {argc, argv}; }

std::uint32_t classify_processor(const ProcessorProbe& probe) noexcept {
  if (probe.identification_flag_toggles) return (probe.eax << 20) | (probe.edx & 0x0FFF'FFFFu);
  return probe.alignment_check_flag_toggles ? 0x4000'0000u : 0x3000'0000u;
}

bool processor_too_old(std::uint32_t processor_class) noexcept { return (processor_class >> 28) < 4; }

std::uint32_t processor_class() noexcept {
  if (cached_processor_class == 0) cached_processor_class = classify_processor(probe_processor());
  return cached_processor_class;
}

}  // namespace lumetra
