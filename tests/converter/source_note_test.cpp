// The visible form of a line's start, as the note after the abort message
// and the check's report show it.
#include "converter/source_note.h"

#include <gtest/gtest.h>

#include <string>

namespace lumetra {
namespace {

TEST(SourceNote, VisibleStartEscapesUnprintableBytesAndCutsWholeOnes) {
  const struct {
    std::string line;
    std::size_t room;
    std::string shown;
  } cases[] = {
      {"120000;1.0;2.0", 80, "120000;1.0;2.0"},
      {std::string("a\tb\r\0\x7F\x84\xFF~ ", 10), 80, "a\\x09b\\x0D\\x00\\x7F\\x84\\xFF~ "},
      {"a\tb", 5, "a\\x09"},
      {"a\tb", 4, "a"},  // \x09 whole or not at all
      {"abc", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    std::string out(c.room, '?');
    out.resize(visible_start(c.line, out));
    EXPECT_EQ(out, c.shown);
  }
}

}  // namespace
}  // namespace lumetra
