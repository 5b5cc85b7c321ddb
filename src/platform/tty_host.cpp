// Terminal host: the process's own console host over the real standard
// handles.
#include <signal.h>

#include "platform/console_host.h"
#include "platform/host_clock.h"

namespace lumetra {

namespace {

class TtyHost final : public ConsoleHost {
 public:
  TtyHost() : ConsoleHost(ConsoleModel(80, 25, 25)) {}

  HANDLE std_handle(DWORD which) noexcept override {
    return file_handle(which == STD_INPUT_HANDLE ? 0 : which == STD_OUTPUT_HANDLE ? 1 : 2);
  }
  bool wait_for_input() override { return false; }
  void sleep(DWORD milliseconds) override { sleep_ms(milliseconds); }
  void sound(DWORD /*frequency*/, DWORD milliseconds) override { sleep_ms(milliseconds); }
};

// Writing to a closed pipe must fail the write, not end the process.
const bool sigpipe_ignored = [] { return signal(SIGPIPE, SIG_IGN) != SIG_ERR; }();

}  // namespace

ConsoleHost& process_console_host() {
  static TtyHost host;
  return host;
}

}  // namespace lumetra
