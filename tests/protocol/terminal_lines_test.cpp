// The protocol window's ring of lines and its scroll position.
#include <gtest/gtest.h>

#include <string>

#include "views/terminal_lines.h"

namespace heatdiag {
namespace {

std::string Text(int n) {
  return "line " + std::to_string(n);
}

// A window of 10 rows over a ring of 1000 lines, as the Protocol view has it.
class TerminalLinesTest : public ::testing::Test {
 protected:
  TerminalLinesTest() : lines_(1000) { lines_.SetVisible(10, 40); }
  void AddLines(int from, int to) {
    for (int n = from; n < to; ++n) lines_.Add(Text(n), 0);
  }
  std::string TopText() const { return lines_.At(lines_.TopLine()).text; }

  TerminalLines lines_;
};

TEST_F(TerminalLinesTest, OldestLineIsOverwrittenAfterTheCapacity) {
  AddLines(0, 1000);
  EXPECT_EQ(lines_.Count(), 1000);
  EXPECT_EQ(lines_.At(0).text, Text(0));
  AddLines(1000, 1003);
  EXPECT_EQ(lines_.Count(), 1000);
  EXPECT_EQ(lines_.At(0).text, Text(3));
  EXPECT_EQ(lines_.At(999).text, Text(1002));
  EXPECT_EQ(lines_.Sequence(0), 3u);
}

TEST_F(TerminalLinesTest, WindowAtTheEndFollowsIt) {
  AddLines(0, 5);
  EXPECT_EQ(lines_.TopLine(), 0);
  AddLines(5, 25);
  EXPECT_EQ(lines_.TopLine(), 15);
  AddLines(25, 1500);
  EXPECT_EQ(lines_.TopLine(), 990);
  EXPECT_EQ(lines_.At(999).text, Text(1499));
}

TEST_F(TerminalLinesTest, ReaderScrolledBackKeepsSeeingTheSameLines) {
  struct Case {
    int before;  // lines held when the reader scrolls back
    int added;   // lines added while reading
  };
  // Before the ring is full, while it fills up, and once it is full.
  const Case cases[] = {{100, 200}, {900, 300}, {1200, 500}};
  for (const Case& c : cases) {
    TerminalLines lines(1000);
    lines.SetVisible(10, 40);
    for (int n = 0; n < c.before; ++n) lines.Add(Text(n), 0);
    lines.ScrollLines(-30);
    const std::string reading = lines.At(lines.TopLine()).text;
    for (int n = c.before; n < c.before + c.added; ++n) lines.Add(Text(n), 0);
    EXPECT_EQ(lines.At(lines.TopLine()).text, reading) << c.before << "+" << c.added;
  }
}

TEST_F(TerminalLinesTest, ReaderAtTheOldestLineStaysAtTheTop) {
  AddLines(0, 1000);
  lines_.Home();
  AddLines(1000, 1010);
  EXPECT_EQ(lines_.TopLine(), 0);
  EXPECT_EQ(TopText(), Text(10));
}

TEST_F(TerminalLinesTest, StoppedWindowDropsLinesAndStartShowsTheEnd) {
  AddLines(0, 50);
  lines_.Home();
  lines_.SetStopped(true);
  EXPECT_FALSE(lines_.Add("dropped", 0));
  EXPECT_EQ(lines_.Count(), 50);
  lines_.SetStopped(false);
  EXPECT_EQ(lines_.TopLine(), 40);
  EXPECT_TRUE(lines_.Add("kept", 0));
  EXPECT_EQ(lines_.At(50).text, "kept");
}

TEST_F(TerminalLinesTest, ClearEmptiesTheRingAndResetsTheScroll) {
  AddLines(0, 1200);
  lines_.SetLeftColumn(5);
  lines_.Clear();
  EXPECT_EQ(lines_.Count(), 0);
  EXPECT_EQ(lines_.TopLine(), 0);
  EXPECT_EQ(lines_.LeftColumn(), 0);
  lines_.Add("first", 0);
  EXPECT_EQ(lines_.At(0).text, "first");
  EXPECT_EQ(lines_.Sequence(0), 0u);
}

TEST_F(TerminalLinesTest, LineIsCutAtItsLineFeedAndTo511Characters) {
  lines_.Add("one\ntwo", 0x0000FF, kProtocolSent);
  lines_.Add(std::string(600, 'x'), 0);
  EXPECT_EQ(lines_.At(0).text, "one");
  EXPECT_EQ(lines_.At(0).colour, 0x0000FFu);
  EXPECT_EQ(lines_.At(1).text.size(), 511u);
}

TEST_F(TerminalLinesTest, ScrollingStaysInRange) {
  AddLines(0, 100);
  lines_.PageUp();
  EXPECT_EQ(lines_.TopLine(), 80);
  lines_.PageDown();
  lines_.PageDown();
  EXPECT_EQ(lines_.TopLine(), 90);
  lines_.ScrollLines(-500);
  EXPECT_EQ(lines_.TopLine(), 0);
  lines_.SetLeftColumn(-3);
  EXPECT_EQ(lines_.LeftColumn(), 0);
  lines_.SetLeftColumn(1000);
  EXPECT_EQ(lines_.LeftColumn(), 255 - 40);
  // A longer line widens the range so that its end can be read.
  lines_.Add(std::string(400, 'w'), 0);
  lines_.SetLeftColumn(1000);
  EXPECT_EQ(lines_.LeftColumn(), 400 - 40);
}

TEST_F(TerminalLinesTest, GrowingWindowAtTheEndStaysThere) {
  AddLines(0, 100);
  lines_.SetVisible(30, 40);
  EXPECT_EQ(lines_.TopLine(), 70);
  lines_.Home();
  lines_.SetVisible(5, 40);
  EXPECT_EQ(lines_.TopLine(), 0);
}

}  // namespace
}  // namespace heatdiag
