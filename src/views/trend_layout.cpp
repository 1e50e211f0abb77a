#include "views/trend_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "drivers/catalogue/parameter.h"

namespace heatdiag {

TrendLayout ComputeTrendLayout(int width, int height, bool split, std::uint32_t shownMask,
                               std::uint32_t channelCount) {
  TrendLayout layout;
  layout.width = std::max(0, width);
  layout.height = std::max(0, height);
  layout.plotWidth = std::max(0, layout.width - kTrendValueColumn);
  layout.plotHeight = std::max(0, layout.height - kTrendTimeRow);
  layout.split = split;
  std::vector<std::uint32_t> shown;
  for (std::uint32_t k = 0; k < channelCount && k < 32; ++k) {
    if ((shownMask >> k & 1U) != 0) shown.push_back(k);
  }
  if (shown.empty()) {
    if (!split) layout.legendTop = std::max(0, layout.plotHeight - kTrendLegendRow);
    return layout;
  }
  const int n = static_cast<int>(shown.size());
  if (split) {
    const int bandHeight = layout.plotHeight / n;
    for (int i = 0; i < n; ++i) {
      const int top = i * bandHeight;
      const int bottom = i == n - 1 ? layout.plotHeight : top + bandHeight;
      layout.bands.push_back({shown[static_cast<std::size_t>(i)], top, bottom});
    }
  } else {
    layout.legendTop = std::max(0, layout.plotHeight - kTrendLegendRow);
    for (std::uint32_t channel : shown) layout.bands.push_back({channel, 0, layout.legendTop});
  }
  return layout;
}

double TrendPointY(const TrendBand& band, double value, double lower, double upper) {
  const double bottomRow = band.bottom - 1;
  const double span = std::max(0.0, bottomRow - band.top);
  const double range = upper - lower;
  double fraction = 0.5;
  if (range > 0.0 && std::isfinite(range)) fraction = (value - lower) / range;
  if (!std::isfinite(fraction)) fraction = 0.5;
  fraction = std::clamp(fraction, 0.0, 1.0);
  return bottomRow - fraction * span;
}

std::string TrendNumberText(double value) {
  return FormatReal(value, 0.001);
}

std::string TrendTimeText(long long samplesAgo, std::uint32_t samplePeriodMs) {
  const long long seconds = std::max(0LL, samplesAgo) * samplePeriodMs / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "-%lld:%02lld", seconds / 60, seconds % 60);
  return text;
}

}  // namespace heatdiag
