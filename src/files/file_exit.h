// Closing the open files when the process ends from a signal handler.
#pragma once

namespace lumetra {

// Writes out and closes every open disk file, 1 to 254 in ascending order,
// using only system calls: no memory is freed and no lock is taken, so a
// signal handler may call it whatever the interrupted code was doing, as long
// as no stream was in the middle of a write.
void close_files_from_signal_handler() noexcept;

}  // namespace lumetra
