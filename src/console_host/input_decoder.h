// Terminal input decoder: turns the bytes a terminal sends into key-event
// records with virtual-key code, scan code, code page 850 character and
// control-key state, as a Windows console delivers them.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>

#include "system/console_api.h"

namespace lumetra {

// How long a lone ESC waits for the rest of a sequence before it counts as
// the Escape key (and ESC x as Alt+x).
inline constexpr std::uint64_t escape_timeout_ms = 100;

// The code page 850 character of each byte 0x80-0xFF that a terminal of an
// 8-bit character set sends.
using UpperHalf = std::array<unsigned char, 128>;

struct CursorReport {
  int row = 0;     // 1-based, as the terminal reports it
  int column = 0;  // 1-based
};

class InputDecoder {
 public:
  // Feeds bytes read from the terminal at time now_ms (any monotonic clock).
  // Complete keys become records at once; an incomplete sequence waits.
  void feed(std::span<const unsigned char> bytes, std::uint64_t now_ms);
  // Reads characters of the terminal's 8-bit character set by the table,
  // instead of as UTF-8 (the start).
  void read_eight_bit(const UpperHalf& upper_half) { upper_half_ = upper_half; }
  // Completes a pending ESC (or ESC x) whose timeout has run out by now_ms.
  void tick(std::uint64_t now_ms);
  // Milliseconds until a pending sequence times out; nullopt when none waits.
  [[nodiscard]] std::optional<std::uint64_t> time_to_timeout(std::uint64_t now_ms) const;

  // While a cursor position query is outstanding, CSI row;col R is taken as
  // its answer instead of a key; the answer ends the wait.
  void expect_cursor_report(bool expecting) { expecting_report_ = expecting; }
  [[nodiscard]] std::optional<CursorReport> take_cursor_report();

  // Key-event records decoded so far, oldest first (a key down and a key up
  // for each key).
  std::deque<INPUT_RECORD>& records() { return records_; }

 private:
  // Turns the pending bytes into records as far as they go; forced ends an
  // incomplete sequence at once (its time is up).
  void decode_pending(bool forced);

  std::deque<INPUT_RECORD> records_;
  std::string pending_;
  std::uint64_t pending_since_ms_ = 0;  // when the last byte came
  bool expecting_report_ = false;
  std::optional<CursorReport> report_;
  std::optional<UpperHalf> upper_half_;
};

}  // namespace lumetra
