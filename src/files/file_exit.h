// The file layer's part in the runtime's start and end: the slot table
// cleared at start-up, and every open file closed when the process ends, also
// from a signal handler.
#pragma once

namespace lumetra {

// Registers the file layer's steps with the runtime (runtime/lifecycle.h):
// the slot table cleared at the first initialisation, file_close_all at the
// exit step, close_files_from_signal_handler on the way out of a signal
// handler, stop_blocking_files when the end cannot wait. Call at start-up,
// before the runtime initialisation and before the console registers its own.
void register_file_exit_steps() noexcept;

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
