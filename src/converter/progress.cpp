// Progress of a long conversion on the "Konvertiere..." line.
#include "converter/progress.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "console/console_output.h"
#include "system/clock.h"
#include "system/standard_streams.h"

namespace lumetra {
namespace {

constexpr std::int32_t text_column = 17;  // just after "  Konvertiere..."
constexpr std::int32_t widest_text = 24;  // " 100 %  99999 MB/s", with room to spare
constexpr std::uint64_t first_show_ms = 1000;
constexpr std::uint64_t refresh_ms = 250;
constexpr std::int64_t bytes_per_kilobyte = 1'000;
constexpr std::int64_t bytes_per_megabyte = 1'000'000;

// Bytes of the source read so far and its length at open (0 or less: unknown).
void source_progress(FileNumber source, std::int64_t& read, std::int64_t& length) noexcept {
  const FileSlot* slot = slot_for_number(source);
  read = slot != nullptr && slot->stream != nullptr ? slot->stream->tell() : 0;
  length = slot != nullptr ? slot->size : 0;
}

// Writes a number of bytes in MB, or in kB below one megabyte, between the
// given texts (such as "/s" after it); returns the length written.
int write_amount(std::span<char> out, const char* before, std::int64_t bytes, const char* after) noexcept {
  const bool megabytes = bytes >= bytes_per_megabyte;
  return std::snprintf(out.data(), out.size(), "%s%lld %s%s", before,
                       static_cast<long long>(bytes / (megabytes ? bytes_per_megabyte : bytes_per_kilobyte)),
                       megabytes ? "MB" : "kB", after);
}

}  // namespace

void ConversionProgress::start(FileNumber source) noexcept {
  source_ = source;
  std::int32_t columns = 0;
  console_size(&columns, nullptr);
  row_ = cursor_row() - 1;
  enabled_ =
      standard_error_is_terminal() && !handle_is_redirected(false) && row_ >= 1 && columns > text_column + widest_text;
  start_ms_ = monotonic_ms();
  next_ms_ = start_ms_ + first_show_ms;
}

void ConversionProgress::look() noexcept {
  if (!enabled_) return;
  const std::uint64_t now = monotonic_ms();
  if (now < next_ms_) return;
  next_ms_ = now + refresh_ms;
  show(now);
}

void ConversionProgress::show(std::uint64_t now_ms) noexcept {
  std::int64_t read = 0;
  std::int64_t length = 0;
  source_progress(source_, read, length);
  const auto elapsed_ms = static_cast<std::int64_t>(std::max<std::uint64_t>(now_ms - start_ms_, 1));
  char text[64];
  const int share = length > 0 ? std::snprintf(text, sizeof text, " %3d %%",
                                               static_cast<int>(std::min<std::int64_t>(read * 100 / length, 100)))
                               : write_amount(text, " ", read, "");
  const auto part = static_cast<std::size_t>(std::clamp(share, 0, static_cast<int>(sizeof text) - 1));
  const int length_shown =
      static_cast<int>(part) + write_amount(std::span(text).subspan(part), "  ", read * 1000 / elapsed_ms, "/s");
  const std::int32_t shown = std::clamp(length_shown, 0, widest_text);
  std::fill(text + shown, text + std::max(shown, shown_length_), ' ');  // blanks over a longer earlier text
  write_at_line_end(text, std::max(shown, shown_length_));
  shown_length_ = shown;
}

void ConversionProgress::finish() noexcept {
  if (shown_length_ == 0) return;
  char blanks[widest_text];
  std::fill(blanks, blanks + widest_text, ' ');
  write_at_line_end(blanks, shown_length_);
  shown_length_ = 0;
}

// Writes on the "Konvertiere..." line after its text and puts the cursor
// back where the conversion left it.
void ConversionProgress::write_at_line_end(const char* text, std::int32_t length) noexcept {
  const std::int32_t row = cursor_row();
  const std::int32_t column = cursor_column();
  std::int32_t packed = 0;
  if (set_cursor_position(row_, text_column, -1, &packed) != 0) return;
  console_write(text, length, 0);
  (void)set_cursor_position(row, column, -1, &packed);
}

}  // namespace lumetra
