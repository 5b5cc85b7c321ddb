// The process's own console host where the console model stands in for the
// console (the unit tests on Windows): no console at all, the standard
// handles are files, as when every one of them is redirected.
#include "console_host/console_host.h"
#include "system/windows/windows_headers.h"

namespace lumetra {

namespace {

class DetachedHost final : public ConsoleHost {
 public:
  DetachedHost() : ConsoleHost(ConsoleModel(80, 25, 25)) {}

  HANDLE std_handle(DWORD which) noexcept override {
    return file_handle(which == STD_INPUT_HANDLE ? 0 : which == STD_OUTPUT_HANDLE ? 1 : 2);
  }
  bool wait_for_input() override { return false; }
  void sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
  void sound(DWORD /*frequency*/, DWORD /*milliseconds*/) override {}
};

}  // namespace

ConsoleHost& process_console_host() {
  static DetachedHost* const host = new DetachedHost;
  return *host;
}

}  // namespace lumetra
