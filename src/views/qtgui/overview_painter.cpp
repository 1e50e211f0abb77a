#include "views/qtgui/overview_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace heatdiag {
namespace {

constexpr int kMinTextPixels = 1;

QFont ElementFont(std::uint32_t style, int pixelHeight) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(kMinTextPixels, pixelHeight));
  font.setBold((style & kOverviewBold) != 0);
  font.setItalic((style & kOverviewItalic) != 0);
  font.setUnderline((style & kOverviewUnderline) != 0);
  font.setStrikeOut((style & kOverviewStrikeOut) != 0);
  return font;
}

Qt::Alignment HorizontalAlignment(std::uint32_t style) {
  switch (OverviewAlignOf(style)) {
    case OverviewAlign::kLeft:
      return Qt::AlignLeft;
    case OverviewAlign::kRight:
      return Qt::AlignRight;
    case OverviewAlign::kCentre:
      break;
  }
  return Qt::AlignHCenter;
}

// t nested one-pixel rectangles, each one pixel inside the previous: top and left edges in one
// colour, bottom and right edges in the other.
void DrawFrame(QPainter& painter, const OverviewRect& rect, std::uint32_t style,
               std::uint32_t background) {
  const OverviewFrameKind kind = OverviewFrameOf(style);
  if (kind == OverviewFrameKind::kNone) return;
  const QColor light = OverviewColour(OverviewLightColour(background));
  const QColor dark = OverviewColour(OverviewDarkColour(background));
  const QColor& topLeft = kind == OverviewFrameKind::kRaised ? light : dark;
  const QColor& bottomRight = kind == OverviewFrameKind::kRaised ? dark : light;
  const int t = OverviewFrameThickness(rect);
  for (int i = 0; i < t; ++i) {
    const int l = rect.left + i;
    const int r = rect.right - 1 - i;
    const int top = rect.top + i;
    const int b = rect.bottom - 1 - i;
    if (r < l || b < top) break;
    painter.fillRect(QRect(QPoint(l, top), QPoint(r, top)), topLeft);
    painter.fillRect(QRect(QPoint(l, top), QPoint(l, b)), topLeft);
    painter.fillRect(QRect(QPoint(l + 1, b), QPoint(r, b)), bottomRight);
    painter.fillRect(QRect(QPoint(r, top + 1), QPoint(r, b)), bottomRight);
  }
}

void FillBackground(QPainter& painter, const OverviewElement& element, const OverviewRect& rect) {
  if ((element.style & kOverviewTransparent) != 0) return;
  painter.fillRect(ToQRect(rect), OverviewColour(element.background));
}

void DrawText(QPainter& painter, const OverviewElement& element, const OverviewRect& inner,
              const OverviewElementState& state) {
  if (inner.IsEmpty() || state.text.empty()) return;
  painter.save();
  painter.setClipRect(ToQRect(inner));
  painter.setFont(ElementFont(element.style, inner.Height()));
  painter.setPen(OverviewColour(OverviewForeground(element, state.valid)));
  painter.drawText(
      ToQRect(inner),
      static_cast<int>(HorizontalAlignment(element.style) | Qt::AlignVCenter | Qt::TextSingleLine),
      QString::fromUtf8(state.text.data(), static_cast<qsizetype>(state.text.size())));
  painter.restore();
}

void DrawBar(QPainter& painter, const OverviewElement& element, const OverviewRect& inner,
             const OverviewElementState& state) {
  if (inner.IsEmpty()) return;
  const int fill = OverviewBarFillRight(inner, state.value, state.lower, state.upper);
  if (fill > inner.left) {
    painter.fillRect(QRect(inner.left, inner.top, fill - inner.left, inner.Height()),
                     OverviewColour(OverviewForeground(element, state.valid)));
  }
  if (fill < inner.right) {
    painter.fillRect(QRect(fill, inner.top, inner.right - fill, inner.Height()),
                     OverviewColour(element.background));
  }
}

void DrawScale(QPainter& painter, const OverviewElement& element, const OverviewRect& inner,
               const OverviewElementState& state) {
  if (inner.IsEmpty()) return;
  const QColor colour = OverviewColour(OverviewForeground(element, state.valid));
  const double range = state.upper - state.lower;
  const long long span = std::isfinite(range) && std::fabs(range) < 1e15 ? std::llround(range) : 0;
  const OverviewTickSteps steps = OverviewScaleSteps(span);
  const int height = inner.Height();
  const auto series = [&](long long step, int length) {
    if (step <= 0 || !OverviewTickSeriesFits(span, step, inner.Width())) return;
    for (long long offset = 0; offset <= span; offset += step) {
      const int x = OverviewTickX(inner, offset, span);
      painter.fillRect(QRect(x, inner.bottom - length, 1, length), colour);
    }
  };
  series(steps.minor, height / 6);
  series(steps.major, height / 3);
  if (height < kOverviewScaleLabelMinHeight) return;
  painter.save();
  painter.setClipRect(ToQRect(inner));
  painter.setFont(ElementFont(element.style, OverviewScaleLabelHeight(inner)));
  painter.setPen(colour);
  // The labels stand on the major ticks (bottom-aligned to their tops), so that no tick runs
  // through a digit.
  OverviewRect labels = inner;
  labels.bottom -= height / 3;
  const QRect box = ToQRect(labels);
  const auto label = [&](double value) {
    return QString::fromStdString(OverviewScaleLabel(value, state.resolution));
  };
  painter.drawText(box, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine, label(state.lower));
  painter.drawText(box, Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine, label(state.upper));
  painter.drawText(box, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
                   QString::fromStdString(state.text));
  painter.restore();
}

// A circle with a 3D ring in the frame style; the inside lit, unlit or in the not-valid colour.
void DrawLamp(QPainter& painter, const OverviewElement& element, const OverviewRect& rect,
              const OverviewElementState& state) {
  const OverviewRect inner = OverviewInnerRect(rect, element.style & ~kOverviewFrame);
  const int diameter = std::min(inner.Width(), inner.Height());
  if (diameter <= 0) return;
  const QRectF circle(inner.left + (inner.Width() - diameter) / 2.0,
                      inner.top + (inner.Height() - diameter) / 2.0, diameter, diameter);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);
  const int ring = std::max(1, OverviewFrameThickness({0, 0, diameter, diameter}));
  const OverviewFrameKind kind = OverviewFrameOf(element.style | kOverviewFrame);
  const QColor light = OverviewColour(OverviewLightColour(element.background));
  const QColor dark = OverviewColour(OverviewDarkColour(element.background));
  // The ring: the upper left half in one colour, the lower right in the other.
  painter.setBrush(kind == OverviewFrameKind::kSunken ? dark : light);
  painter.drawPie(circle, 45 * 16, 180 * 16);
  painter.setBrush(kind == OverviewFrameKind::kSunken ? light : dark);
  painter.drawPie(circle, 225 * 16, 180 * 16);
  const QRectF face = circle.adjusted(ring, ring, -ring, -ring);
  if (face.width() > 0) {
    const std::uint32_t fill = !state.valid ? element.invalid
                               : state.lit  ? OverviewLampLitColour(element.valid)
                                            : OverviewLampUnlitColour(element.valid);
    painter.setBrush(OverviewColour(fill));
    painter.drawEllipse(face);
    if (state.valid && state.lit) {
      // The highlight: a quarter of the lamp's size, up and to the left of its centre.
      const double spot = face.width() / 4.0;
      const QPointF centre = face.center() - QPointF(face.width() / 5.0, face.height() / 5.0);
      painter.setBrush(OverviewColour(OverviewLampHighlightColour(element.valid)));
      painter.drawEllipse(centre, spot / 2.0, spot / 2.0);
    }
  }
  painter.restore();
}

}  // namespace

QColor OverviewColour(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

QRect ToQRect(const OverviewRect& rect) {
  return QRect(rect.left, rect.top, std::max(0, rect.Width()), std::max(0, rect.Height()));
}

void PaintOverviewElement(QPainter& painter, const OverviewElement& element, QSize size,
                          const OverviewElementState& state) {
  if (!state.draw) return;
  const OverviewRect rect = OverviewElementRect(element, size.width(), size.height());
  if (rect.IsEmpty()) return;
  if (element.type == kOverviewLamp) {
    FillBackground(painter, element, rect);
    DrawLamp(painter, element, rect, state);
    return;
  }
  FillBackground(painter, element, rect);
  DrawFrame(painter, rect, element.style, element.background);
  const OverviewRect inner = OverviewInnerRect(rect, element.style);
  switch (element.type) {
    case kOverviewName:
    case kOverviewValue:
    case kOverviewUnit:
    case kOverviewText:
      DrawText(painter, element, inner, state);
      break;
    case kOverviewBar:
      DrawBar(painter, element, inner, state);
      break;
    case kOverviewScale:
      DrawScale(painter, element, inner, state);
      break;
    default:
      break;
  }
}

void PaintOverviewElement(QPainter& painter, const OverviewElement& element, QSize size) {
  PaintOverviewElement(painter, element, size, ReadOverviewElement(element));
}

void PaintOverview(QPainter& painter, QSize size, std::span<const OverviewElement> elements,
                   const QRect& update) {
  for (const OverviewElement& element : elements) {
    const QRect rect = ToQRect(OverviewElementRect(element, size.width(), size.height()));
    if (!rect.intersects(update)) continue;
    PaintOverviewElement(painter, element, size);
  }
}

QImage RenderOverview(std::span<const OverviewElement> elements, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(OverviewColour(kOverviewBackground));
  QPainter painter(&image);
  PaintOverview(painter, size, elements, QRect(QPoint(0, 0), size));
  painter.end();
  return image;
}

}  // namespace heatdiag
