#include "views/trend_layout.h"

#include <gtest/gtest.h>

namespace heatdiag {
namespace {

TEST(TrendLayout, LeavesTheValueColumnAndTheTimeRow) {
  const TrendLayout layout = ComputeTrendLayout(1200, 800, true, 0xFFFF, 3);
  EXPECT_EQ(layout.plotWidth, 1200 - 51);
  EXPECT_EQ(layout.plotHeight, 800 - 16);
  const TrendLayout tiny = ComputeTrendLayout(40, 10, true, 0xFFFF, 3);
  EXPECT_EQ(tiny.plotWidth, 0);
  EXPECT_EQ(tiny.plotHeight, 0);
}

TEST(TrendLayout, SplitViewSharesTheHeightAmongTheShownChannels) {
  struct Case {
    int height;
    std::uint32_t mask;
    std::uint32_t channels;
    std::vector<TrendBand> want;
  };
  const Case cases[] = {
      {316, 0b1111, 3, {{0, 0, 100}, {1, 100, 200}, {2, 200, 300}}},  // bits beyond the count
      {316, 0b101, 3, {{0, 0, 150}, {2, 150, 300}}},                  // channel 1 switched off
      {318, 0b111, 3, {{0, 0, 100}, {1, 100, 200}, {2, 200, 302}}},   // the last band to the bottom
      {316, 0b100, 3, {{2, 0, 300}}},
      {316, 0, 3, {}},
      {316, 0xFFFFFFFF, 0, {}},  // no channels at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    const TrendLayout layout = ComputeTrendLayout(600, c.height, true, c.mask, c.channels);
    ASSERT_EQ(layout.bands.size(), c.want.size());
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(layout.bands[i].channel, c.want[i].channel);
      EXPECT_EQ(layout.bands[i].top, c.want[i].top);
      EXPECT_EQ(layout.bands[i].bottom, c.want[i].bottom);
    }
    EXPECT_EQ(layout.legendTop, -1);
  }
}

TEST(TrendLayout, OverlaidViewSharesThePlotAboveTheLegend) {
  const TrendLayout layout = ComputeTrendLayout(600, 316, false, 0b110, 3);
  EXPECT_EQ(layout.legendTop, 300 - 15);
  ASSERT_EQ(layout.bands.size(), 2u);
  for (const TrendBand& band : layout.bands) {
    EXPECT_EQ(band.top, 0);
    EXPECT_EQ(band.bottom, 285);
  }
  EXPECT_EQ(layout.bands[0].channel, 1u);
  EXPECT_EQ(layout.bands[1].channel, 2u);
}

TEST(TrendLayout, ValueHeightIsProportionalAndClampedToItsBand) {
  const TrendBand band{0, 100, 201};  // rows 100..200
  struct Case {
    double value, lower, upper, want;
  };
  const Case cases[] = {
      {0, 0, 10, 200},  {10, 0, 10, 100},  {5, 0, 10, 150}, {-3, 0, 10, 200},
      {30, 0, 10, 100}, {-5, -10, 0, 150}, {7, 7, 7, 150},  // no range: the middle
      {1, 10, 0, 150},                                      // upside-down limits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_DOUBLE_EQ(TrendPointY(band, c.value, c.lower, c.upper), c.want);
  }
}

TEST(TrendLayout, NumbersAndTimesAsTheGraphShowsThem) {
  EXPECT_EQ(TrendNumberText(90), "90");
  EXPECT_EQ(TrendNumberText(-40), "-40");
  EXPECT_EQ(TrendNumberText(0.05), "0,05");
  EXPECT_EQ(TrendNumberText(-0.05), "-0,05");
  EXPECT_EQ(TrendNumberText(12.5), "12,5");
  EXPECT_EQ(TrendNumberText(0.002), "0,002");
  EXPECT_EQ(TrendTimeText(0, 500), "-0:00");
  EXPECT_EQ(TrendTimeText(120, 500), "-1:00");
  EXPECT_EQ(TrendTimeText(7199, 500), "-59:59");
}

}  // namespace
}  // namespace heatdiag
