// Line reading over arbitrary file bytes in text mode, files longer than the
// stream's buffer included: the lines read with file_read_line against a
// plain model of the text-mode line split, and the conversion loop's road
// (file_take_buffered_line, falling back to file_read_line) against plain
// reading.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_output.h"
#include "files/file_slots.h"
#include "files/line_reader.h"
#include "files/temp_folder.h"
#include "fuzz_support.h"
#include "platform/terminal_console/test_console.h"
#include "runtime/runtime_error.h"

namespace lumetra {
namespace {

constexpr FileNumber source = 1;

// The lines of a text-mode file: the input ends at the first Ctrl+Z, CR LF
// reads as LF, a line ends at LF (a CR before it dropped) or at a CR that is
// the last byte. When a Ctrl+Z ends the input at the start of a line, the
// file is not yet at its end there, so one more, empty, line is read.
std::vector<std::string> model_lines(std::string_view file) {
  const std::size_t stop = file.find('\x1A');
  const std::string_view text = file.substr(0, stop);
  std::string translated;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    translated += text[i];
  }
  std::vector<std::string> lines;
  std::string line;
  for (const char byte : translated) {
    if (byte != '\n') {
      line += byte;
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) {
    if (line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  } else if (stop != std::string_view::npos) {
    lines.emplace_back();
  }
  return lines;
}

std::vector<std::string> read_plainly() {
  std::vector<std::string> lines;
  Text line;
  while (file_at_end(source) == 0) {
    fuzz_check(file_read_line(source, line) == 0, "file_read_line fails on an open file");
    lines.emplace_back(line.view());
  }
  return lines;
}

// The conversion loop's way of reading.
std::vector<std::string> read_from_the_buffer_first() {
  std::vector<std::string> lines;
  Text text;
  for (;;) {
    std::string_view line;
    if (!file_take_buffered_line(source, line)) {
      if (file_at_end(source) != 0) break;
      file_read_line(source, text);
      line = text.view();
    }
    lines.emplace_back(line);
  }
  return lines;
}

template <typename Reader>
std::vector<std::string> read_file(const std::string& path, Reader reader) {
  fuzz_check(file_open(path.c_str(), mode_input, access_any, 0, source, 0) == 0, "the source opens");
  std::vector<std::string> lines = reader();
  fuzz_check(file_close(source) == 0, "the source closes");
  return lines;
}

// The first two bytes give a length of up to 16383 bytes: the rest is
// repeated until the file is at least that long, so that line ends fall on
// the boundaries of the stream's 8192-byte buffer too.
std::string file_bytes(FuzzBytes input) {
  const std::size_t low = input.take_byte();
  const std::size_t least = (input.take_byte() << 8 | low) & 0x3FFF;
  const std::string_view pattern = input.rest();
  std::string file(pattern);
  while (!pattern.empty() && file.size() < least) file += pattern;
  return file;
}

}  // namespace
}  // namespace lumetra

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumetra;
  static const TempFolder folder;
  static const ScopedTestConsole console(80, 25);
  reset_file_slots();
  reset_console_state();
  const std::string bytes = file_bytes(FuzzBytes(data, size));
  const std::string path = folder.write("source.csv", bytes);

  const std::vector<std::string> plain = read_file(path, read_plainly);
  for (const std::string& line : plain) fuzz_check(line.find('\n') == std::string::npos, "no line holds an LF");
  fuzz_check(plain == model_lines(bytes), "the lines are those of the text-mode model");
  fuzz_check(read_file(path, read_from_the_buffer_first) == plain, "the buffered road reads the same lines");
  return 0;
}
