// The terminal input decoder over arbitrary bytes, split into pieces at
// arbitrary places and times: it never crashes, every key is a key-down
// record followed by its key-up record, and once the escape timeout has
// run out nothing waits and every record can be drained.
#include <cstdint>
#include <span>
#include <string_view>

#include "console_host/input_decoder.h"
#include "fuzz_support.h"

namespace lumetra {
namespace {

bool same_key(const KEY_EVENT_RECORD& down, const KEY_EVENT_RECORD& up) {
  return down.wVirtualKeyCode == up.wVirtualKeyCode && down.wVirtualScanCode == up.wVirtualScanCode &&
         down.uChar.AsciiChar == up.uChar.AsciiChar && down.dwControlKeyState == up.dwControlKeyState;
}

void drain_key_pairs(InputDecoder& decoder) {
  auto& records = decoder.records();
  fuzz_check(records.size() % 2 == 0, "records come in pairs");
  for (std::size_t i = 0; i + 1 < records.size(); i += 2) {
    fuzz_check(records[i].EventType == KEY_EVENT && records[i + 1].EventType == KEY_EVENT, "only key events");
    const KEY_EVENT_RECORD& down = records[i].Event.KeyEvent;
    const KEY_EVENT_RECORD& up = records[i + 1].Event.KeyEvent;
    fuzz_check(down.bKeyDown && !up.bKeyDown, "a key down is followed by its key up");
    fuzz_check(down.wRepeatCount == 1 && same_key(down, up), "both records carry the same key");
  }
  records.clear();
  fuzz_check(decoder.records().empty(), "the records drain");
}

}  // namespace
}  // namespace lumetra

// Each piece is a control byte and 1 to 8 bytes of terminal input. The
// control byte's bits 3..5 give the milliseconds since the last piece in
// steps of 40 (up to 280, past the escape timeout), bit 7 sends a tick
// before the piece, and bit 6 with bit 7 clear toggles the wait for a
// cursor report.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumetra;
  FuzzBytes input(data, size);
  InputDecoder decoder;
  std::uint64_t now = 0;
  bool expecting_report = false;
  while (!input.empty()) {
    const std::uint8_t control = input.take_byte();
    const std::string_view piece = input.take((control & 7) + 1);
    now += ((control >> 3) & 7) * 40;
    if ((control & 0x80) != 0) {
      decoder.tick(now);
    } else if ((control & 0x40) != 0) {
      expecting_report = !expecting_report;
      decoder.expect_cursor_report(expecting_report);
    }
    decoder.feed({reinterpret_cast<const unsigned char*>(piece.data()), piece.size()}, now);
    (void)decoder.take_cursor_report();
    drain_key_pairs(decoder);
  }
  now += escape_timeout_ms;
  decoder.tick(now);
  fuzz_check(!decoder.time_to_timeout(now).has_value(), "nothing waits after the timeout");
  drain_key_pairs(decoder);
  decoder.tick(now + escape_timeout_ms);
  fuzz_check(decoder.records().empty(), "no record appears without input");
  return 0;
}
