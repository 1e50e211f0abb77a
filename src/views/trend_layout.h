// Where the Actual values graph draws what: the plot area beside the value labels and above the
// time labels, one band per shown channel in split view, the shared plot and the legend strip in
// overlaid view, and the height of a value within its band. One pixel is one sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace heatdiag {

inline constexpr int kTrendValueColumn = 51;  // value labels on the right (50 pixels of text)
inline constexpr int kTrendValueLabelWidth = 50;
inline constexpr int kTrendTimeRow = 16;  // time labels below the plot
inline constexpr int kTrendLegendRow = 15;
inline constexpr int kTrendLabelStep = 15;  // stacked limit labels in overlaid view
inline constexpr int kTrendFontPixels = 14;

// The vertical extent of one curve: rows top..bottom - 1.
struct TrendBand {
  std::uint32_t channel = 0;
  int top = 0;
  int bottom = 0;
};

struct TrendLayout {
  int width = 0;  // client size
  int height = 0;
  int plotWidth = 0;  // samples shown
  int plotHeight = 0;
  bool split = false;
  // One per shown channel, in channel order. Split view: the channel's own band (the last one
  // reaching the bottom of the plot); overlaid view: all share the plot above the legend strip.
  std::vector<TrendBand> bands;
  int legendTop = -1;  // overlaid view: the legend strip's top row; -1 in split view
};

// shownMask: bit k = channel k is switched on; only channels below channelCount take part.
TrendLayout ComputeTrendLayout(int width, int height, bool split, std::uint32_t shownMask,
                               std::uint32_t channelCount);

// The row of a value within its band: proportional to (value - lower) / (upper - lower), lower
// at the band's bottom row, clamped to the band. A range of no height puts the value in the
// middle of the band.
double TrendPointY(const TrendBand& band, double value, double lower, double upper);

// A limit or value as the graph shows it: whole numbers as "%d", below 1 one to three decimals,
// with the shown decimal comma ("90", "0,05", "12,5").
std::string TrendNumberText(double value);

// The time label of a sample that is `samplesAgo` samples older than the newest: "-m:ss".
std::string TrendTimeText(long long samplesAgo, std::uint32_t samplePeriodMs);

}  // namespace heatdiag
