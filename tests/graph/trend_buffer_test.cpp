#include "views/trend_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "drivers/catalogue/parameter.h"

namespace heatdiag {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

TrendConfig Config(std::uint32_t channels, std::uint32_t length = kTrendBufferLength) {
  TrendConfig config;
  config.channelCount = channels;
  config.bufferLength = length;
  for (std::uint32_t k = 0; k < channels; ++k) {
    config.lower[k] = 0;
    config.upper[k] = 80;
    config.name[k] = "C" + std::to_string(k);
  }
  return config;
}

TEST(TrendWiden, RoundsTheLimitToOneSignificantDigit) {
  struct Case {
    double lower, upper, value, wantLower, wantUpper;
  };
  const Case cases[] = {
      {0, 80, 87, 0, 90},          // up to the next ten
      {0, 100, 347, 0, 400},       // the store's own example
      {0, 100, 100, 0, 100},       // on the limit: unchanged
      {0, 10, 12, 0, 20},          //
      {0, 1, 0.3, 0, 1},           // inside
      {0, 0.1, 0.3, 0, 0.3},       // a whole multiple stays as it is
      {0, 0.1, 0.25, 0, 0.3},      //
      {0, 80, -0.042, -0.05, 80},  // negative below: rounded down, away from zero
      {-10, 80, -87, -90, 80},     //
      {10, 80, 5, 5, 80},          // below a positive lower limit
      {0.5, 80, 0.25, 0.2, 80},    //
      {-10, -5, -3, -10, -3},      // above a negative upper limit: rounded up, toward zero
      {5, 80, 0, 5, 80},           // 0 keeps the limit it leaves
      {0, -10, 0, 0, -10},         //
      {0, 100, 1000001, 0, 2000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_DOUBLE_EQ(WidenLower(c.lower, c.value), c.wantLower);
    EXPECT_DOUBLE_EQ(WidenUpper(c.upper, c.value), c.wantUpper);
  }
  EXPECT_EQ(WidenUpper(80, kNan), 80);
  EXPECT_EQ(WidenUpper(80, std::numeric_limits<double>::infinity()), 80);
  EXPECT_EQ(WidenLower(0, -std::numeric_limits<double>::infinity()), 0);
}

TEST(TrendBuffer, TakesOnlyAConfigurationOfItsOwnSizeAndRange) {
  TrendBuffer buffer;
  ASSERT_TRUE(buffer.Configure(Config(2)));
  TrendConfig wrong = Config(5);
  wrong.size = 2104;
  EXPECT_FALSE(buffer.Configure(wrong));
  EXPECT_FALSE(buffer.Configure(Config(0)));
  EXPECT_FALSE(buffer.Configure(Config(21)));
  EXPECT_FALSE(buffer.Configure(Config(2, 0)));
  EXPECT_EQ(buffer.ChannelCount(), 2u);

  TrendConfig longName = Config(1);
  longName.name[0] = std::string(38, 'x') + "\xC2\xB0" + "C";  // a two-byte sign across byte 39
  ASSERT_TRUE(buffer.Configure(longName));
  EXPECT_EQ(buffer.Config().name[0], std::string(38, 'x'));
}

TEST(TrendBuffer, RingOverwritesTheOldestSamplesAfterAnHour) {
  TrendBuffer buffer;
  ASSERT_TRUE(buffer.Configure(Config(2)));
  const std::uint32_t extra = 5;
  for (std::uint32_t i = 0; i < kTrendBufferLength + extra; ++i) {
    ASSERT_EQ(buffer.AddSample(0, i, 100), 1);
    ASSERT_EQ(buffer.AddSample(1, -static_cast<double>(i), 100), 1);
  }
  EXPECT_EQ(buffer.Count(0), kTrendBufferLength);
  EXPECT_EQ(buffer.RingIndex(0), extra);
  EXPECT_EQ(buffer.Sample(0, 0), extra);  // samples 0..4 are gone
  EXPECT_EQ(buffer.Sample(0, kTrendBufferLength - 1), kTrendBufferLength + extra - 1);
  EXPECT_EQ(buffer.Sample(1, 0), -static_cast<double>(extra));
  EXPECT_EQ(buffer.TotalSamples(), kTrendBufferLength + extra);
  EXPECT_EQ(buffer.FirstKept(), extra);
  // Limits widened with the samples.
  EXPECT_EQ(buffer.Upper(0), 8000);
  EXPECT_EQ(buffer.Lower(1), -8000);

  buffer.Clear();
  EXPECT_EQ(buffer.Count(0), 0u);
  EXPECT_EQ(buffer.RingIndex(0), 0u);
  EXPECT_EQ(buffer.Offset(), 0);
}

TEST(TrendBuffer, IgnoresSamplesWhilePausedAndBeyondTheChannels) {
  TrendBuffer buffer;
  ASSERT_TRUE(buffer.Configure(Config(2)));
  EXPECT_EQ(buffer.AddSample(2, 1.0, 100), -1);
  buffer.SetPaused(true);
  EXPECT_EQ(buffer.AddSample(0, 1.0, 100), -1);
  EXPECT_EQ(buffer.Count(0), 0u);
  buffer.SetPaused(false);
  EXPECT_EQ(buffer.AddSample(0, 1.0, 100), 1);
  EXPECT_EQ(buffer.Count(0), 1u);
}

class TrendFollowTest : public testing::Test {
 protected:
  static constexpr int kWidth = 100;
  void SetUp() override { ASSERT_TRUE(buffer.Configure(Config(1, 1000))); }
  void Add(int samples) {
    for (int i = 0; i < samples; ++i) buffer.AddSample(0, i, kWidth);
  }
  TrendBuffer buffer;
};

TEST_F(TrendFollowTest, OffsetFollowsTheNewestSampleAtTheEnd) {
  Add(kWidth);
  EXPECT_EQ(buffer.Offset(), 0);
  Add(50);
  EXPECT_EQ(buffer.Offset(), 50);
  // One sample before the end still follows.
  buffer.SetOffset(49, kWidth);
  Add(1);
  EXPECT_EQ(buffer.Offset(), 51);
}

TEST_F(TrendFollowTest, OffsetStaysWhenScrolledBack) {
  Add(150);
  buffer.SetOffset(48, kWidth);
  Add(10);
  EXPECT_EQ(buffer.Offset(), 48);
}

TEST_F(TrendFollowTest, ScrolledBackDisplayKeepsItsSamplesWhileTheRingOverwrites) {
  Add(1000);
  buffer.SetOffset(500, kWidth);
  const double shown = buffer.Sample(0, 500);
  Add(3);
  EXPECT_EQ(buffer.Offset(), 497);
  EXPECT_EQ(buffer.Sample(0, 497), shown);
  buffer.SetOffset(1, kWidth);
  Add(5);
  EXPECT_EQ(buffer.Offset(), 0);
  // At the end the newest sample stays at the right edge.
  buffer.SetOffset(900, kWidth);
  Add(5);
  EXPECT_EQ(buffer.Offset(), 900);
}

TEST(TrendScrollTest, KeepsTheOffsetWithinTheSamples) {
  struct Case {
    TrendScroll input;
    int offset, stored, width, thumb, want;
  };
  const Case cases[] = {
      {TrendScroll::kLineLeft, 25, 500, 100, 0, 15},
      {TrendScroll::kLineLeft, 5, 500, 100, 0, 0},  // at the start
      {TrendScroll::kLineRight, 385, 500, 100, 0, 395},
      {TrendScroll::kLineRight, 395, 500, 100, 0, 400},  // at the end
      {TrendScroll::kPageLeft, 250, 500, 100, 0, 150},
      {TrendScroll::kPageLeft, 50, 500, 100, 0, 0},
      {TrendScroll::kPageRight, 250, 500, 100, 0, 350},
      {TrendScroll::kPageRight, 350, 500, 100, 0, 400},
      {TrendScroll::kHome, 250, 500, 100, 0, 0},
      {TrendScroll::kEnd, 0, 500, 100, 0, 400},
      {TrendScroll::kThumb, 0, 500, 100, 123, 123},
      {TrendScroll::kThumb, 0, 500, 100, 9999, 400},
      {TrendScroll::kThumb, 0, 500, 100, -5, 0},
      {TrendScroll::kEnd, 0, 60, 100, 0, 0},  // fewer samples than the plot is wide
      {TrendScroll::kLineRight, 0, 60, 100, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.input) << " from " << c.offset);
    EXPECT_EQ(ScrolledOffset(c.input, c.offset, c.stored, c.width, c.thumb), c.want);
  }
}

TEST(TrendCursor, AgeTextCountsBackFromTheNewestSample) {
  struct Case {
    int stored, offset, x;
    const char* want;
  };
  const Case cases[] = {
      {100, 0, 99, "-0.0s"},  // the newest sample
      {100, 0, 98, "-0.5s"},  //
      {100, 0, 0, "-49.5s"},  // the oldest
      {7200, 6100, 0, "-549.5s"}, {7200, 0, 0, "-3599.5s"},
  };
  for (const Case& c : cases) EXPECT_EQ(CursorAgeText(c.stored, c.offset, c.x, 500), c.want);
}

TEST(TrendMarkers, FollowTheSamplesAndLeaveWithThem) {
  TrendBuffer buffer;
  ASSERT_TRUE(buffer.Configure(Config(1, 10)));
  buffer.AddMarker("STA", "Start");  // no sample yet: nothing to attach it to
  EXPECT_TRUE(buffer.Markers().empty());
  for (int i = 0; i < 3; ++i) buffer.AddSample(0, i, 5);
  buffer.AddMarker("ZUE", "Ignition");
  buffer.SetPaused(true);
  buffer.AddMarker("FLM", "Flame detector measuring phase");
  buffer.SetPaused(false);
  ASSERT_EQ(buffer.Markers().size(), 1u);
  EXPECT_EQ(buffer.Markers()[0].sample, 2u);
  for (int i = 0; i < 10; ++i) buffer.AddSample(0, i, 5);
  EXPECT_EQ(buffer.FirstKept(), 3u);
  EXPECT_TRUE(buffer.Markers().empty());
}

TEST(TrendStates, ShortNameOfAStoredStateText) {
  const StateNameTable d00 = DriverStateTable(0);
  struct Case {
    const char* text;
    const char* want;
  };
  const Case cases[] = {
      {"Glowing", "VGL"},
      {"Glowing 2", "VGL2"},
      {"Off state", "AUS"},
      {"Cooling", "KUEG"},  // shared by several states: the device's first
      {"Unknown state 99", "??? 99"},
      {"Heater interlock permanent", "HGVP"},
      {"no such state", "no such state"},
      {"no such state 4", "no such state 4"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ShortStateName(c.text, d00), c.want) << c.text;
  // Without a table every state text is searched.
  EXPECT_EQ(ShortStateName("Combustion process part load", {}), "BBTL");
}

}  // namespace
}  // namespace heatdiag
