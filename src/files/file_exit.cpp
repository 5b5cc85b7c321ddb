// Closing the open files from a signal handler.
#include "files/file_exit.h"

#include "files/file_slots.h"

namespace lumetra {
namespace {

template <typename Step>
void for_each_open_stream(Step step) noexcept {
  for (FileNumber number = first_file_number; number <= last_file_number; ++number) {
    FileSlot* slot = slot_for_number(number);
    if (slot->stream != nullptr) step(*slot->stream);
  }
}

}  // namespace

void close_files_from_signal_handler() noexcept {
  for_each_open_stream([](CrtStream& stream) { (void)stream.close(); });  // the process ends: nothing to report to
}

void stop_blocking_files() noexcept {
  for_each_open_stream([](CrtStream& stream) { stream.stop_blocking(); });
}

}  // namespace lumetra
