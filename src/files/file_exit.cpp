// The file layer's start and end steps, and closing the open files from a
// signal handler.
#include "files/file_exit.h"

#include "files/file_slots.h"
#include "runtime/lifecycle.h"

namespace lumetra {
namespace {

template <typename Step>
void for_each_open_stream(Step step) noexcept {
  for (FileNumber number = first_file_number; number <= last_file_number; ++number) {
    FileSlot* slot = slot_for_number(number);
    if (slot->stream != nullptr) step(*slot->stream);
  }
}

constexpr ExitSteps file_exit_steps{
    .reset = reset_file_slots,
    .close = file_close_all,
    .close_from_signal_handler = close_files_from_signal_handler,
    .stop_blocking = stop_blocking_files,
};

}  // namespace

void register_file_exit_steps() noexcept { (void)register_exit_steps(file_exit_steps); }

void close_files_from_signal_handler() noexcept {
  for_each_open_stream([](CrtStream& stream) { (void)stream.close(); });  // the process ends: nothing to report to
}

void stop_blocking_files() noexcept {
  for_each_open_stream([](CrtStream& stream) { stream.stop_blocking(); });
}

}  // namespace lumetra
