// The conversion of one line into its record, in nanoseconds per line, on
// realistic lines and on lines that leave the fast paths.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "converter/record_converter.h"

namespace {

// Lines one after the other in one block of memory, as the conversion
// takes them from the source's buffer.
struct Lines {
  std::string bytes;
  std::vector<std::string_view> lines;

  explicit Lines(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) bytes += text + "\r\n";
    std::size_t at = 0;
    for (const std::string& text : texts) {
      lines.emplace_back(bytes.data() + at, text.size());
      at += text.size() + 2;
    }
  }
};

std::vector<std::string> realistic_lines() {
  std::vector<std::string> lines;
  char line[64];
  for (int i = 0; i < 4096; ++i) {
    const int second = i * 21 % 86400;
    std::snprintf(line, sizeof line, "%02d%02d%02d;%d.%d;%d.%d;%d.%02d", second / 3600, second / 60 % 60, second % 60,
                  i * 37 % 6000, i % 10, 200 + i % 40, i % 7, i % 20, i % 100);
    lines.emplace_back(line);
  }
  return lines;
}

// The lines in turn; their number is a power of two, so that taking the next
// one costs no division.
void convert(benchmark::State& state, const Lines& block) {
  lumetra::RecordConverter converter;
  const std::vector<std::string_view>& lines = block.lines;
  const std::size_t last = lines.size() - 1;
  if ((lines.size() & last) != 0) state.SkipWithError("the number of lines must be a power of two");
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(converter.make_record(lines[next]).record.data());
    next = (next + 1) & last;
  }
  state.SetItemsProcessed(state.iterations());
}

void RealisticLines(benchmark::State& state) { convert(state, Lines(realistic_lines())); }
BENCHMARK(RealisticLines);

void LinesWithBlanksAndShortTimes(benchmark::State& state) {
  convert(state, Lines({"12 00 00 ; 1 234.5 ; 7 ; 8", "0930;5", "7.5;x;y;z", "08:15:30;1;2;3"}));
}
BENCHMARK(LinesWithBlanksAndShortTimes);

}  // namespace
