// The report of a log's check, in German like the dialogue; its text is
// code page 850 (0x84 is "ä", 0x9A "Ü").
#include "converter/check_report.h"

#include <cinttypes>
#include <cstdio>
#include <span>

#include "console/console_output.h"
#include "converter/source_note.h"
#include "files/print_output.h"
#include "runtime/runtime_error.h"

namespace lumetra {
namespace {

constexpr FileNumber console = 0;
constexpr std::size_t label_width = 16;  // the longest label with its indent and a blank

// One line of the report, built in fixed storage and printed with its line
// end; what does not fit is cut.
class ReportLine {
 public:
  template <typename... Values>
  ReportLine& add(const char* format, Values... values) noexcept {
    int added = 0;
    if constexpr (sizeof...(Values) == 0) {
      added = std::snprintf(text_ + length_, sizeof text_ - length_, "%s", format);  // a plain text
    } else {
      added = std::snprintf(text_ + length_, sizeof text_ - length_, format, values...);
    }
    if (added > 0) length_ = std::min(length_ + static_cast<std::size_t>(added), sizeof text_ - 1);
    return *this;
  }
  ReportLine& add_visible(std::string_view bytes, std::size_t columns) noexcept {
    const std::size_t room = std::min(columns, sizeof text_ - 1) - std::min(columns, length_);
    length_ += visible_start(bytes, std::span<char>(text_ + length_, room));
    return *this;
  }
  void print() const noexcept {
    print_text(console, text_from_literal(text_, static_cast<std::int32_t>(length_)), ending_line);
  }

 private:
  char text_[1024] = {};
  std::size_t length_ = 0;
};

// "  Label:" and blanks up to the report's second column.
ReportLine labelled(const char* label) noexcept {
  ReportLine line;
  line.add("  %-*s", static_cast<int>(label_width - 2), label);
  return line;
}

// The count with its noun, singular for 1.
struct Noun {
  const char* one;
  const char* more;
  [[nodiscard]] const char* of(std::int64_t count) const noexcept { return count == 1 ? one : more; }
};

void print_listed(const char* label, Noun noun, const char* kind, const ListedLines& list, bool seconds) noexcept {
  if (list.count == 0) return;
  ReportLine line = labelled(label);
  line.add("%" PRId64 " %s %s:", list.count, noun.of(list.count), kind);
  const std::size_t shown = std::min<std::size_t>(static_cast<std::size_t>(list.count), listed_lines);
  for (std::size_t i = 0; i < shown; ++i) {
    line.add(i == 0 ? " %" PRId64 : ", %" PRId64, list.lines[i].number);
    if (seconds) line.add(" (%" PRId32 " s)", list.lines[i].seconds);
  }
  if (list.count > static_cast<std::int64_t>(shown)) line.add(", ...");
  line.print();
}

void print_stop(const CheckFindings& findings) noexcept {
  labelled("Abbruch:")
      .add("Zeile %" PRId64 ", Laufzeitfehler %" PRId32 " (%s)", findings.stop_line, findings.error,
           runtime_error_text(findings.error).data())
      .print();
  if (findings.stop_start_length == 0) return;
  std::int32_t columns = 0;
  console_size(&columns, nullptr);
  ReportLine start;
  start.add("%*s", static_cast<int>(label_width), "");
  start.add_visible({findings.stop_start.data(), findings.stop_start_length}, static_cast<std::size_t>(columns - 1));
  start.print();
}

}  // namespace

void print_check_report(const CheckFindings& findings) noexcept {
  constexpr Noun lines{"Zeile", "Zeilen"};
  constexpr Noun records{"Datensatz", "Datens\x84tze"};
  labelled("Gelesen:")
      .add("%" PRId64 " %s mit der Kopfzeile, daraus %" PRId64 " %s", findings.lines, lines.of(findings.lines),
           findings.records, records.of(findings.records))
      .print();
  // Octal 232 is 0x9A; "\x9Ab" would take the "b" into the escape.
  print_listed("\232bersprungen:", lines, "ohne \";\"", findings.skipped, false);
  print_listed("Uhrzeit:", {"Zeit", "Zeiten"}, "nicht hhmmss", findings.times, true);
  print_listed("Werte:", lines, "mit Werten, die keine Zahlen sind", findings.values, false);
  if (findings.error != 0) print_stop(findings);
  ReportLine verdict = labelled("Ergebnis:");
  if (findings.error == 0) {
    verdict.add("Die Konvertierung l\x84uft durch.");
  } else {
    verdict.add("Die Konvertierung bricht mit Laufzeitfehler %" PRId32 " ab.", findings.error);
  }
  verdict.print();
}

}  // namespace lumetra
