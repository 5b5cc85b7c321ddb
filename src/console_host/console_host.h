// Console host: what stands behind the console operations. It owns the
// console model, says which standard handles are consoles, and supplies what
// needs the world outside the model: input from the terminal, time, the tone,
// and showing the model on the terminal.
#pragma once

#include <mutex>
#include <span>

#include "console_host/console_model.h"
#include "system/console_api.h"

namespace lumetra {

// Handle values. A console handle names the host's model (input or output
// side); a file handle carries a file descriptor.
inline const HANDLE console_input_handle = reinterpret_cast<HANDLE>(std::intptr_t{0x10});
inline const HANDLE console_output_handle = reinterpret_cast<HANDLE>(std::intptr_t{0x14});
[[nodiscard]] HANDLE file_handle(int fd) noexcept;
// The descriptor of a file handle; -1 for any other handle.
[[nodiscard]] int handle_fd(HANDLE handle) noexcept;

class ConsoleHost {
 public:
  explicit ConsoleHost(ConsoleModel model) : model_(std::move(model)) {}
  virtual ~ConsoleHost() = default;
  ConsoleHost(const ConsoleHost&) = delete;
  ConsoleHost& operator=(const ConsoleHost&) = delete;

  // Console calls hold this lock while they use the model; the host's
  // control thread takes it too.
  [[nodiscard]] std::mutex& lock() noexcept { return mutex_; }
  [[nodiscard]] ConsoleModel& model() noexcept { return model_; }

  // Output batches (under the lock): flush_output waits for the end of the
  // outermost one.
  void begin_batch() noexcept { ++batch_depth_; }
  void end_batch();
  [[nodiscard]] bool batching() const noexcept { return batch_depth_ > 0; }

  // GetStdHandle: a console handle or a file handle.
  [[nodiscard]] virtual HANDLE std_handle(DWORD which) noexcept = 0;
  // Runs under the lock before each console call (a pending resize).
  virtual void begin_call() {}
  // Runs under the lock after each console call outside an output batch, and
  // when the outermost batch ends: shows what changed.
  virtual void flush_output() {}
  // Runs after each console call once the lock is released.
  virtual void after_call() {}
  // Moves the input that has arrived into the model's queue; never waits.
  virtual void pump_input() {}
  // Called without the lock while the queue is empty: waits until input may
  // have arrived; false when none can ever arrive.
  [[nodiscard]] virtual bool wait_for_input() = 0;
  // Called without the lock: ReadConsoleA's line, as far as it fits.
  [[nodiscard]] virtual DWORD read_line(std::span<char> /*destination*/) { return 0; }
  // The input mode was set (processed input switches the interrupt key).
  virtual void input_mode_changed(DWORD /*mode*/) {}
  // Under the lock, after the process was stopped and continued: whatever the
  // shell did with the terminal meanwhile, the console's terminal mode comes
  // back and the next console call shows the console anew.
  virtual void continue_terminal() {}
  virtual void sleep(DWORD milliseconds) = 0;
  // The tone's length; the bell itself reaches the model's observer.
  virtual void sound(DWORD frequency, DWORD milliseconds) = 0;

 private:
  std::mutex mutex_;
  ConsoleModel model_;
  int batch_depth_ = 0;
};

// The host in use: the one installed last, or the process's own host for the
// real standard handles, made on first use.
[[nodiscard]] ConsoleHost& console_host();
// Puts host in place (nullptr: back to the process's own) and returns the
// one it replaces.
ConsoleHost* install_console_host(ConsoleHost* host) noexcept;
// The process's own host (defined by the terminal host).
[[nodiscard]] ConsoleHost& process_console_host();

}  // namespace lumetra
