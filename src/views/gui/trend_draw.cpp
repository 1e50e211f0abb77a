#include "views/gui/trend_draw.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <array>
#include <cmath>
#include <vector>

namespace heatdiag {
namespace {

constexpr std::array<QRgb, kTrendMaxChannels> kCurveColours = {
    qRgb(192, 192, 0), qRgb(0, 192, 192), qRgb(192, 0, 192), qRgb(0, 255, 0),   qRgb(255, 0, 0),
    qRgb(0, 0, 255),   qRgb(64, 64, 64),  qRgb(255, 140, 0), qRgb(128, 128, 0), qRgb(0, 128, 128),
    qRgb(128, 0, 128), qRgb(0, 128, 0),   qRgb(128, 0, 0),   qRgb(0, 0, 128),   qRgb(64, 0, 128),
    qRgb(0, 128, 64),  qRgb(128, 64, 0),  qRgb(0, 64, 128),  qRgb(64, 128, 0),  qRgb(128, 0, 64),
};

// A vertical grid line every minute of samples.
constexpr long long kGridSamples = 120;

const QColor kBackground(255, 255, 255);
const QColor kGrid(224, 224, 224);
const QColor kFrameLine(128, 128, 128);
const QColor kMarkerLine(96, 96, 96);
const QColor kText(0, 0, 0);

QString Qs(const std::string& text) {
  return QString::fromStdString(text);
}

// The visible samples of a channel as polylines, broken where a sample is missing.
void DrawCurve(QPainter& painter, const TrendBuffer& buffer, const TrendLayout& layout,
               const TrendBand& band, std::vector<QPoint>& points) {
  const std::uint32_t channel = band.channel;
  const int stored0 = static_cast<int>(buffer.Count(0));
  const int own = static_cast<int>(buffer.Count(channel));
  const int first = buffer.Offset();
  const int end = std::min(stored0, first + layout.plotWidth);
  const double lower = buffer.Lower(channel);
  const double upper = buffer.Upper(channel);
  painter.setPen(QPen(TrendCurveColour(channel), 1));
  points.clear();
  const auto flush = [&] {
    if (points.size() == 1) painter.drawPoint(points.front());
    if (points.size() > 1) painter.drawPolyline(points.data(), static_cast<int>(points.size()));
    points.clear();
  };
  for (int i = first; i < end; ++i) {
    // Channel samples are aligned on their newest sample with channel 0.
    const int j = i - (stored0 - own);
    const double value = j >= 0 ? buffer.Sample(channel, static_cast<std::uint32_t>(j)) : NAN;
    if (!std::isfinite(value)) {
      flush();
      continue;
    }
    points.emplace_back(i - first,
                        static_cast<int>(std::lround(TrendPointY(band, value, lower, upper))));
  }
  flush();
}

void DrawLabel(QPainter& painter, const QRect& rect, const std::string& text, const QColor& colour,
               Qt::Alignment alignment) {
  painter.setPen(colour);
  painter.drawText(rect, static_cast<int>(alignment | Qt::TextDontClip), Qs(text));
}

void DrawTimeAxis(QPainter& painter, const TrendBuffer& buffer, const TrendLayout& layout) {
  if (buffer.TotalSamples() == 0) return;
  const int stored = static_cast<int>(buffer.Count(0));
  const int first = buffer.Offset();
  const int end = std::min(stored, first + layout.plotWidth);
  const long long firstAbsolute = static_cast<long long>(buffer.FirstKept()) + first;
  const long long endAbsolute = static_cast<long long>(buffer.FirstKept()) + end;
  const long long newest = static_cast<long long>(buffer.TotalSamples()) - 1;
  const QFontMetrics metrics(painter.font());
  // Whole minutes back from the newest sample: at the end of the samples the lines stand still
  // and the curves run through them.
  for (long long grid = newest; grid >= firstAbsolute; grid -= kGridSamples) {
    if (grid >= endAbsolute) continue;
    const int x = static_cast<int>(grid - firstAbsolute);
    painter.setPen(kGrid);
    painter.drawLine(x, 0, x, layout.plotHeight - 1);
    const QString text = Qs(TrendTimeText(newest - grid, buffer.Config().samplePeriodMs));
    const int w = metrics.horizontalAdvance(text);
    const int left = std::clamp(x - w / 2, 0, std::max(0, layout.plotWidth - w));
    painter.setPen(kText);
    painter.drawText(QRect(left, layout.plotHeight, w + 1, kTrendTimeRow),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
  }
}

void DrawMarkers(QPainter& painter, const TrendBuffer& buffer, const TrendLayout& layout) {
  const std::uint64_t firstAbsolute =
      buffer.FirstKept() + static_cast<std::uint64_t>(buffer.Offset());
  QPen pen(kMarkerLine, 1, Qt::DashLine);
  painter.setPen(pen);
  for (const TrendMarker& marker : buffer.Markers()) {
    if (marker.sample < firstAbsolute) continue;
    const std::uint64_t x = marker.sample - firstAbsolute;
    if (x >= static_cast<std::uint64_t>(layout.plotWidth)) continue;
    painter.drawLine(static_cast<int>(x), 0, static_cast<int>(x), layout.plotHeight - 1);
  }
}

void DrawLimitLabels(QPainter& painter, const TrendBuffer& buffer, const TrendLayout& layout) {
  const int left = layout.plotWidth + 1;
  for (std::size_t i = 0; i < layout.bands.size(); ++i) {
    const TrendBand& band = layout.bands[i];
    const QColor colour = TrendCurveColour(band.channel);
    const std::string upper = TrendNumberText(buffer.Upper(band.channel));
    const std::string lower = TrendNumberText(buffer.Lower(band.channel));
    if (layout.split) {
      DrawLabel(painter, QRect(left, band.top, kTrendValueLabelWidth, kTrendLabelStep), upper,
                colour, Qt::AlignRight | Qt::AlignTop);
      DrawLabel(painter,
                QRect(left, band.bottom - kTrendLabelStep, kTrendValueLabelWidth, kTrendLabelStep),
                lower, colour, Qt::AlignRight | Qt::AlignBottom);
    } else {
      const int step = static_cast<int>(i) * kTrendLabelStep;
      DrawLabel(painter, QRect(left, step, kTrendValueLabelWidth, kTrendLabelStep), upper, colour,
                Qt::AlignRight | Qt::AlignTop);
      DrawLabel(painter,
                QRect(left, layout.plotHeight - step - kTrendLabelStep, kTrendValueLabelWidth,
                      kTrendLabelStep),
                lower, colour, Qt::AlignRight | Qt::AlignBottom);
    }
  }
}

void DrawLegend(QPainter& painter, const TrendBuffer& buffer, const TrendLayout& layout) {
  if (layout.bands.empty() || layout.legendTop < 0) return;
  const int n = static_cast<int>(layout.bands.size());
  const int cell = layout.plotWidth / n;
  const QFontMetrics metrics(painter.font());
  for (int i = 0; i < n; ++i) {
    const std::uint32_t channel = layout.bands[static_cast<std::size_t>(i)].channel;
    const QString name = metrics.elidedText(Qs(buffer.Config().name[channel]), Qt::ElideRight,
                                            std::max(0, cell - 2));
    painter.setPen(TrendCurveColour(channel));
    painter.drawText(QRect(i * cell + 1, layout.legendTop, std::max(0, cell - 2), kTrendLegendRow),
                     Qt::AlignLeft | Qt::AlignVCenter, name);
  }
}

void DrawCursor(QPainter& painter, const TrendBuffer& buffer, const TrendLayout& layout, int x) {
  const int stored = static_cast<int>(buffer.Count(0));
  painter.setPen(QPen(kText, 1));
  painter.drawLine(x, 0, x, layout.plotHeight - 1);
  const QFontMetrics metrics(painter.font());
  const int sample = buffer.Offset() + x;
  // The value of each shown channel beside the cursor: at its band's top, or stacked.
  for (std::size_t i = 0; i < layout.bands.size(); ++i) {
    const TrendBand& band = layout.bands[i];
    const int own = static_cast<int>(buffer.Count(band.channel));
    const int j = sample - (stored - own);
    if (j < 0 || j >= own) continue;
    const double value = buffer.Sample(band.channel, static_cast<std::uint32_t>(j));
    if (!std::isfinite(value)) continue;
    const QString text = Qs(FormatReal(value, buffer.Config().third[band.channel]));
    const int w = metrics.horizontalAdvance(text) + 4;
    const int left = x + w + 3 > layout.plotWidth ? x - w - 2 : x + 3;
    const int top = layout.split ? band.top + 1 : static_cast<int>(i) * kTrendLabelStep + 1;
    painter.fillRect(QRect(left, top, w, kTrendLabelStep - 1), kBackground);
    painter.setPen(TrendCurveColour(band.channel));
    painter.drawText(QRect(left + 2, top, w, kTrendLabelStep - 1), Qt::AlignLeft | Qt::AlignVCenter,
                     text);
  }
  const QString age = Qs(CursorAgeText(stored, buffer.Offset(), x, buffer.Config().samplePeriodMs));
  const int w = metrics.horizontalAdvance(age) + 4;
  const int left = std::clamp(x - w / 2, 0, std::max(0, layout.plotWidth - w));
  const QRect box(left, layout.plotHeight, w, kTrendTimeRow);
  painter.fillRect(box, QColor(255, 255, 200));
  painter.setPen(kText);
  painter.drawRect(box.adjusted(0, 0, -1, -1));
  painter.drawText(box, Qt::AlignCenter, age);
}

}  // namespace

QColor TrendCurveColour(std::uint32_t channel) {
  return QColor(kCurveColours[channel % kTrendMaxChannels]);
}

void DrawTrend(QPainter& painter, QSize size, const TrendBuffer& buffer,
               const TrendDrawOptions& options) {
  painter.fillRect(QRect(QPoint(0, 0), size), kBackground);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(kTrendFontPixels);
  painter.setFont(font);
  const TrendLayout layout = ComputeTrendLayout(size.width(), size.height(), options.split,
                                                options.shownMask, buffer.ChannelCount());
  if (layout.plotWidth <= 0 || layout.plotHeight <= 0) return;
  DrawTimeAxis(painter, buffer, layout);
  painter.setPen(kFrameLine);
  painter.drawLine(layout.plotWidth, 0, layout.plotWidth, layout.plotHeight - 1);
  painter.drawLine(0, layout.plotHeight - 1, layout.plotWidth, layout.plotHeight - 1);
  if (layout.split) {
    for (std::size_t i = 0; i + 1 < layout.bands.size(); ++i)
      painter.drawLine(0, layout.bands[i].bottom - 1, layout.plotWidth, layout.bands[i].bottom - 1);
  } else {
    painter.drawLine(0, layout.legendTop, layout.plotWidth, layout.legendTop);
  }
  DrawMarkers(painter, buffer, layout);
  std::vector<QPoint> points;
  points.reserve(static_cast<std::size_t>(layout.plotWidth));
  painter.save();
  painter.setClipRect(QRect(0, 0, layout.plotWidth, layout.plotHeight));
  for (const TrendBand& band : layout.bands) DrawCurve(painter, buffer, layout, band, points);
  painter.restore();
  DrawLimitLabels(painter, buffer, layout);
  DrawLegend(painter, buffer, layout);
  if (options.cursorX && *options.cursorX >= 0 && *options.cursorX < layout.plotWidth)
    DrawCursor(painter, buffer, layout, *options.cursorX);
}

}  // namespace heatdiag
