// State of the console shared by its units.
#pragma once

#include <array>
#include <cstdint>

#include "system/console_api.h"

namespace lumetra {

struct ConsoleState {
  HANDLE input_handle = nullptr;
  HANDLE output_handle = nullptr;
  std::array<HANDLE, 4> page_handles{};
  std::int32_t active_page = 0;
  std::int32_t visible_page = 0;
  SMALL_RECT view{};  // left 0, window top, buffer width - 1, window bottom; all 0 without a console
  bool pending_wrap = false;
  bool handles_taken = false;
  bool view_ready = false;
  bool slot_prepared = false;
  std::int32_t first_text_line = -1;  // 0-based rows of the text region, set at first use
  std::int32_t last_text_line = -1;
  std::int32_t foreground = 7;
  std::int32_t background = 0;
  bool redirected_names_begun = false;  // names read from redirected input, after any byte order mark
};

ConsoleState& console_state() noexcept;
// The view rectangle, read from the console at the first view-dependent
// operation.
const SMALL_RECT& console_view() noexcept;
void refresh_console_view() noexcept;
[[nodiscard]] bool view_is_degenerate() noexcept;
// The text region's first and last line, 0-based, fixed at first use.
void console_text_lines(std::int32_t* first, std::int32_t* last) noexcept;
// The windowed path of console_write.
void write_windowed(const char* text, std::int32_t length) noexcept;

}  // namespace lumetra
