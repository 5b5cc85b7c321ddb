// The base of the file layer's tests: a free slot table, a temporary folder,
// a test console behind number 0, and every file closed at the end.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "console/console_output.h"
#include "files/file_slots.h"
#include "runtime/runtime_error.h"
#include "support/temp_folder.h"
#include "support/test_console.h"

namespace lumetra {

class FileLayerTest : public ::testing::Test {
 protected:
  FileLayerTest() : console_(80, 25) {
    reset_file_slots();
    reset_console_state();
    set_error_number(0);
  }
  ~FileLayerTest() override { file_close_all(); }

  std::int32_t open_input(const std::string& path, FileNumber number = 1) {
    return file_open(path.c_str(), mode_input, access_any, 0, number, 0);
  }
  std::int32_t open_output(const std::string& path, FileNumber number = 2) {
    return file_open(path.c_str(), mode_output, access_any, 0, number, 0);
  }
  static bool is_free(FileNumber number) { return slot_for_number(number)->ops == nullptr; }

  TempFolder folder_;

 private:
  ScopedTestConsole console_;
};

}  // namespace lumetra
