// The console window a program gets of its own when it is started by a
// double click or from Explorer: it closes when the program ends, and what
// the program wrote last goes with it.
#pragma once

namespace lumetra {

// Waits for a key pressed in a console window of the program's own, so that
// what it shows can be read before it closes: when standard input is a
// console that no other process shares, and nobody asked from the console to
// end the program (Ctrl+C, Ctrl+Break, closing it). Keys typed before the
// call do not count. Returns at once everywhere else; on POSIX always, as a
// terminal stays with the shell or window that started the program.
void hold_own_console_window() noexcept;

}  // namespace lumetra
