// A test console with an empty key buffer, for the keyboard and editor tests.
#pragma once

#include "console/console_output.h"
#include "console/key_buffer.h"
#include "support/test_console.h"

namespace lumetra {

class KeyConsole {
 public:
  explicit KeyConsole(int columns = 80, int rows = 25) : console_(columns, rows) {
    reset_console_state();
    while (fetch_key() != no_key) {
    }
    (void)take_key_arrived();
  }

  ScopedTestConsole& operator*() noexcept { return console_; }
  ScopedTestConsole* operator->() noexcept { return &console_; }

 private:
  ScopedTestConsole console_;
};

}  // namespace lumetra
