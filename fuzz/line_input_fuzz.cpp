// Reading fields from redirected standard input over arbitrary bytes: every
// field holds at most field_size bytes and no zero byte, and the input is
// read to its end in at most one field per byte (and one more at the end).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "console/console_output.h"
#include "console/line_input.h"
#include "files/file_slots.h"
#include "files/temp_folder.h"
#include "fuzz_support.h"
#include "platform/terminal_console/test_console.h"
#include "text/text.h"

namespace lumetra {
namespace {

// Standard input becomes the file at path, read from its start.
void redirect_standard_input(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  fuzz_check(fd >= 0 && ::dup2(fd, 0) == 0, "standard input is redirected");
  ::close(fd);
}

// Every byte read from standard input, none of them handed back.
bool input_consumed(std::size_t size) {
  return ::lseek(0, 0, SEEK_CUR) == static_cast<off_t>(size) && console_slot().put_back_count == 0;
}

}  // namespace
}  // namespace lumetra

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumetra;
  static const TempFolder folder;
  static ScopedTestConsole console(80, 25);
  console.redirect_input(0);
  reset_file_slots();
  reset_console_state();
  redirect_standard_input(folder.write("input", {reinterpret_cast<const char*>(data), size}));

  fuzz_check(ask_line(nullptr, false, false) == 0, "ask_line succeeds");
  fuzz_check(input_redirected(), "standard input counts as redirected");
  Text field;
  std::size_t fields = 0;
  do {
    fuzz_check(++fields <= size + 2, "every field but the last consumes input");
    fuzz_check(read_text_field(field) == 0, "read_text_field succeeds");
    fuzz_check(field.size() <= field_size, "a field holds at most field_size bytes");
    fuzz_check(field.view().find('\0') == std::string_view::npos, "a field holds no zero byte");
  } while (!input_consumed(size));
  return 0;
}
