// Reading fields from redirected standard input over arbitrary bytes: every
// field holds at most field_size bytes and no zero byte; the input is read
// to its end, or to its first Ctrl+Z, which stays handed back; and a field
// starts only at the start or after a byte that ends a field (a comma, CR,
// LF or double quote), never inside a field longer than field_size bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "console/console_output.h"
#include "console/line_input.h"
#include "files/file_slots.h"
#include "fuzz_support.h"
#include "support/temp_folder.h"
#include "support/test_console.h"
#include "text/text.h"

namespace lumetra {
namespace {

// Standard input becomes the file at path, read from its start.
void redirect_standard_input(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  fuzz_check(fd >= 0 && ::dup2(fd, 0) == 0, "standard input is redirected");
  ::close(fd);
}

constexpr char ctrl_z = 0x1A;

// The names' part of the input: up to and with its first Ctrl+Z.
std::string_view names_part(std::string_view input) {
  const std::size_t ctrl_z_at = input.find(ctrl_z);
  return ctrl_z_at == std::string_view::npos ? input : input.substr(0, ctrl_z_at + 1);
}

// Every byte of the names' part read from standard input, none handed back
// but a Ctrl+Z that ends it.
bool input_consumed(std::string_view names) {
  const std::int32_t held = names.ends_with(ctrl_z) ? 1 : 0;
  return ::lseek(0, 0, SEEK_CUR) == static_cast<off_t>(names.size()) && console_slot().put_back_count == held;
}

std::size_t field_ends(std::string_view names) {
  std::size_t count = 0;
  for (const char byte : names) count += byte == ',' || byte == '\r' || byte == '\n' || byte == '"' ? 1 : 0;
  return count;
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
  const std::string_view names = names_part({reinterpret_cast<const char*>(data), size});
  Text field;
  std::size_t fields = 0;
  do {
    fuzz_check(++fields <= field_ends(names) + 1, "every field but the first starts after the end of another");
    fuzz_check(read_text_field(field) == 0, "read_text_field succeeds");
    fuzz_check(field.size() <= field_size, "a field holds at most field_size bytes");
    fuzz_check(field.view().find('\0') == std::string_view::npos, "a field holds no zero byte");
  } while (!input_consumed(names));
  return 0;
}
