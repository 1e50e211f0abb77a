// Drawing of the Actual values graph into any paint device: the curves in their bands or
// overlaid, the limit and time labels, the legend, the state markers and the value cursor.
#pragma once

#include <QColor>
#include <QSize>
#include <cstdint>
#include <optional>

#include "views/trend_buffer.h"
#include "views/trend_layout.h"

class QPainter;

namespace heatdiag {

struct TrendDrawOptions {
  bool split = true;
  std::uint32_t shownMask = 0xFFFF;  // bit k: channel k drawn
  std::optional<int> cursorX;        // plot column of the value cursor
};

// The curve colour of channel k (0..19).
QColor TrendCurveColour(std::uint32_t channel);

// Draws the whole graph into a painter on an area of the given size.
void DrawTrend(QPainter& painter, QSize size, const TrendBuffer& buffer,
               const TrendDrawOptions& options);

}  // namespace heatdiag
