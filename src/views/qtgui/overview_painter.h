// Draws the overview schematic with QPainter: on the window (views/gui) and into a picture for
// the command line. Needs QtGui only.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <span>

#include "views/overview_element.h"
#include "views/overview_layout.h"

class QPainter;

namespace heatdiag {

// Draws every element whose rectangle meets `update`, at client size `size`. The background
// of the client is not filled.
void PaintOverview(QPainter& painter, QSize size, std::span<const OverviewElement> elements,
                   const QRect& update);

// One element as its store row is now.
void PaintOverviewElement(QPainter& painter, const OverviewElement& element, QSize size);
// One element from a state already read (for tests and previews).
void PaintOverviewElement(QPainter& painter, const OverviewElement& element, QSize size,
                          const OverviewElementState& state);

// The whole panel on its grey background. Text needs a QGuiApplication.
QImage RenderOverview(std::span<const OverviewElement> elements, QSize size);

// 0x00BBGGRR to a QColor.
QColor OverviewColour(std::uint32_t colour);
QRect ToQRect(const OverviewRect& rect);

}  // namespace heatdiag
