// Closing the open files from a signal handler.
#include "files/file_exit.h"

#include "files/file_slots.h"

namespace lumetra {

void close_files_from_signal_handler() noexcept {
  for (FileNumber number = first_file_number; number <= last_file_number; ++number) {
    FileSlot* slot = slot_for_number(number);
    if (slot->stream != nullptr) (void)slot->stream->close();  // the process ends: nothing to report to
  }
}

}  // namespace lumetra
