#include "shell/gui/frame_logic.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace heatdiag {
namespace {

struct PlacementCase {
  const char* name;
  int left, top, right, bottom;
  FrameRect expected;
};

class FramePlacement : public testing::TestWithParam<PlacementCase> {};

TEST_P(FramePlacement, OnA1280x1024Screen) {
  const PlacementCase& c = GetParam();
  EXPECT_EQ(PlaceFrame(c.left, c.top, c.right, c.bottom, 1280, 1024), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    SavedRectangles, FramePlacement,
    testing::Values(PlacementCase{"defaults", 0, 0, 698, 644, {0, 0, 698, 644}},
                    PlacementCase{"kept as saved", 100, 50, 900, 650, {100, 50, 800, 600}},
                    PlacementCase{"larger than the screen", 10, 10, 3000, 2000, {0, 0, 1280, 1024}},
                    PlacementCase{"exactly the screen", 0, 0, 1280, 1024, {0, 0, 1280, 1024}},
                    PlacementCase{"below the minimum", 40, 30, 140, 80, {40, 30, 300, 200}},
                    PlacementCase{"empty rectangle", 0, 0, 0, 0, {0, 0, 300, 200}},
                    PlacementCase{"inverted rectangle", 500, 500, 100, 100, {500, 500, 300, 200}},
                    PlacementCase{"off to the right", 1200, 100, 1900, 500, {580, 100, 700, 400}},
                    PlacementCase{"off the bottom", 100, 900, 500, 1300, {100, 624, 400, 400}},
                    PlacementCase{"negative origin", -50, -80, 650, 520, {0, 0, 700, 600}},
                    PlacementCase{
                        "absurd values", INT_MIN, INT_MIN, INT_MAX, INT_MAX, {0, 0, 1280, 1024}}));

TEST(FramePlacement, ScreenSmallerThanTheMinimumKeepsTheFrameInside) {
  // The minimum size wins over the screen; the frame then starts at the origin and is cut.
  EXPECT_EQ(PlaceFrame(0, 0, 698, 644, 250, 150), (FrameRect{0, 0, 250, 150}));
}

TEST(CommandHint, SplitsAtTheFirstLineFeed) {
  const struct {
    const char* text;
    const char* hint;
    const char* tooltip;  // nullptr: none
  } cases[] = {
      {"Start communication with device\nStart diagnosis", "Start communication with device",
       "Start diagnosis"},
      {"COM port selection", "COM port selection", nullptr},
      {"a\nb\nc", "a", "b\nc"},
      {"\nonly tooltip", "", "only tooltip"},
      {"hint\n", "hint", ""},
      {"", "", nullptr},
  };
  for (const auto& c : cases) {
    const CommandHint hint = SplitCommandHint(c.text);
    EXPECT_EQ(hint.hint, c.hint) << c.text;
    if (c.tooltip == nullptr) {
      EXPECT_FALSE(hint.tooltip.has_value()) << c.text;
    } else {
      ASSERT_TRUE(hint.tooltip.has_value()) << c.text;
      EXPECT_EQ(*hint.tooltip, c.tooltip);
    }
  }
}

TEST(CutUtf8, NeverSplitsACharacter) {
  EXPECT_EQ(CutUtf8("abc", 5), "abc");
  EXPECT_EQ(CutUtf8("abcdef", 3), "abc");
  EXPECT_EQ(CutUtf8("a\xC3\xA4", 2), "a");  // a + ä (two bytes), cut inside the ä
  EXPECT_EQ(CutUtf8("a\xC3\xA4", 3), "a\xC3\xA4");
  EXPECT_EQ(CutUtf8("\xE2\x82\xAC\xE2\x82\xAC", 4), "\xE2\x82\xAC");  // two euro signs
}

TEST(StatusText, HoldsAGivenTextForFiftyTicks) {
  StatusText status("Ready...");
  EXPECT_EQ(status.Current(), "Ready...");
  status.Set(std::string_view("Fuel prime started\nignored tooltip"));
  EXPECT_EQ(status.Current(), "Fuel prime started");
  for (int tick = 1; tick < 50; ++tick) {
    EXPECT_FALSE(status.Tick()) << tick;
    EXPECT_EQ(status.Current(), "Fuel prime started") << tick;
  }
  EXPECT_TRUE(status.Tick());
  EXPECT_EQ(status.Current(), "Ready...");
  EXPECT_FALSE(status.Tick());
}

TEST(StatusText, ANewTextRestartsTheHoldAndNoneRestoresTheDefault) {
  StatusText status("Ready...");
  status.Set(std::string_view("first"));
  for (int tick = 0; tick < 30; ++tick) status.Tick();
  status.Set(std::string_view("second"));
  EXPECT_EQ(status.HoldTicks(), StatusText::kHoldTicks);
  for (int tick = 0; tick < 49; ++tick) status.Tick();
  EXPECT_EQ(status.Current(), "second");
  status.Set(std::nullopt);
  EXPECT_EQ(status.Current(), "Ready...");
  EXPECT_EQ(status.HoldTicks(), 0U);
}

TEST(StatusText, CutsLongTextsTo255Characters) {
  StatusText status("Ready...");
  status.Set(std::string(400, 'x'));
  EXPECT_EQ(status.Current().size(), 255U);
}

TEST(AutoStart, FirstStartOnTheSecondTickThenEveryTick) {
  AutoStartCounter counter;
  EXPECT_FALSE(counter.Tick(true, false));
  EXPECT_TRUE(counter.Tick(true, false));
  // No device answers: a start on every tick.
  for (int tick = 0; tick < 5; ++tick) EXPECT_TRUE(counter.Tick(true, false)) << tick;
}

TEST(AutoStart, OneSecondAfterASessionEnds) {
  AutoStartCounter counter;
  EXPECT_FALSE(counter.Tick(true, true));
  EXPECT_EQ(counter.Value(), AutoStartCounter::kAfterSession);
  // Five ticks (1 s at 200 ms) before the next attempt.
  for (int tick = 0; tick < 5; ++tick) EXPECT_FALSE(counter.Tick(true, false)) << tick;
  EXPECT_TRUE(counter.Tick(true, false));
}

TEST(AutoStart, OffNeverStartsAndKeepsTheCounter) {
  AutoStartCounter counter;
  for (int tick = 0; tick < 20; ++tick) EXPECT_FALSE(counter.Tick(false, false));
  EXPECT_EQ(counter.Value(), AutoStartCounter::kInitial);
}

}  // namespace
}  // namespace heatdiag
