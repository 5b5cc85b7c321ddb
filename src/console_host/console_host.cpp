// Console host registry and handle values.
#include "console_host/console_host.h"

#include <atomic>

#include "system/console_batch.h"

namespace lumetra {

namespace {

// File handles sit above the console handles so that no descriptor, 0
// included, gives a null or console handle value.
constexpr std::intptr_t file_handle_base = 0x1000;

std::atomic<ConsoleHost*> installed_host{nullptr};

}  // namespace

HANDLE file_handle(int fd) noexcept { return reinterpret_cast<HANDLE>(file_handle_base + fd); }

int handle_fd(HANDLE handle) noexcept {
  const auto value = reinterpret_cast<std::intptr_t>(handle);
  return value >= file_handle_base && value < file_handle_base + 0x10000 ? static_cast<int>(value - file_handle_base)
                                                                         : -1;
}

void ConsoleHost::end_batch() {
  if (--batch_depth_ == 0) flush_output();
}

ConsoleOutputBatch::ConsoleOutputBatch() noexcept : host_(&console_host()) {
  const std::lock_guard guard(host_->lock());
  host_->begin_batch();
}

ConsoleOutputBatch::~ConsoleOutputBatch() {
  const std::lock_guard guard(host_->lock());
  host_->end_batch();
}

ConsoleHost& console_host() {
  ConsoleHost* host = installed_host.load();
  return host != nullptr ? *host : process_console_host();
}

ConsoleHost* install_console_host(ConsoleHost* host) noexcept { return installed_host.exchange(host); }

}  // namespace lumetra
