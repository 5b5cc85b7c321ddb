// Closing the open files when the process ends from a signal handler.
#pragma once

namespace lumetra {

// Writes out and closes every open disk file, 1 to 254 in ascending order,
// using only system calls: no memory is freed and no lock is taken, so a
// signal handler may call it whatever the interrupted code was doing, as long
// as no stream was in the middle of a write.
void close_files_from_signal_handler() noexcept;
// Makes every open disk file fail a read or write that would wait, so that
// an end that cannot wait any longer (a pipe whose reader stopped) is not
// held up by one. Async-signal-safe.
void stop_blocking_files() noexcept;

}  // namespace lumetra
