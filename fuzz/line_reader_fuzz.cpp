// Line reading over arbitrary file bytes in text mode, files longer than the
// stream's buffer included: the lines read with file_read_line against a
// plain model of the text-mode line split, and the conversion loop's road
// (file_take_buffered_line, falling back to file_read_line) against plain
// reading.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_output.h"
#include "files/file_slots.h"
#include "files/line_reader.h"
#include "fuzz_support.h"
#include "runtime/runtime_error.h"
#include "support/conversion_reading.h"
#include "support/temp_folder.h"
#include "support/test_console.h"

namespace lumetra {
namespace {

constexpr FileNumber source = 1;

// What text mode delivers of a file: the input ends at the first Ctrl+Z and
// CR LF reads as LF.
std::string delivered_bytes(std::string_view file) {
  const std::string_view text = file.substr(0, file.find('\x1A'));
  std::string delivered;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') delivered += text[i];
  }
  return delivered;
}

// One line from `at`, read in pieces of up to 511 bytes that stop after an
// LF: a piece ending in LF ends the line (a CR before the LF dropped); any
// other piece loses its trailing zero bytes, and a CR then ending it ends the
// line, unless the CR is the last byte of a full piece and neither the end of
// the input nor an LF (taken along) follows it.
std::string model_line(std::string_view delivered, std::size_t& at) {
  constexpr std::size_t full = 511;
  std::string line;
  for (;;) {
    const std::string_view rest = delivered.substr(at);
    const std::size_t line_feed = rest.find('\n');
    const std::string_view piece = rest.substr(0, std::min(line_feed == rest.npos ? rest.size() : line_feed + 1, full));
    at += piece.size();
    if (piece.empty()) return line;
    if (piece.back() == '\n') {
      const std::size_t kept = piece.size() - 1;
      return line.append(piece.substr(0, kept > 0 && piece[kept - 1] == '\r' ? kept - 1 : kept));
    }
    const std::string_view kept = piece.substr(0, piece.find_last_not_of('\0') + 1);
    const bool cr_last = !kept.empty() && kept.back() == '\r';
    const bool line_feed_next = at < delivered.size() && delivered[at] == '\n';
    if (cr_last && (kept.size() < full || at == delivered.size() || line_feed_next)) {
      at += line_feed_next && kept.size() == full ? 1 : 0;
      return line.append(kept.substr(0, kept.size() - 1));
    }
    line.append(kept);
  }
}

// The lines of a text-mode file. When a Ctrl+Z ends the input at the start
// of a line, the file is not yet at its end there, so one more, empty, line
// is read.
std::vector<std::string> model_lines(std::string_view file) {
  const std::string delivered = delivered_bytes(file);
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < delivered.size();) lines.push_back(model_line(delivered, at));
  const bool at_line_start = delivered.empty() || delivered.back() == '\n';
  if (file.find('\x1A') != std::string_view::npos && at_line_start) lines.emplace_back();
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
  fuzz_check(read_file(path, [] { return read_like_the_conversion(source); }) == plain,
             "the buffered road reads the same lines");
  return 0;
}
