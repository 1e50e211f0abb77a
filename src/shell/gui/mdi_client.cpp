#include "shell/gui/mdi_client.h"

#include <QPaintEvent>
#include <QPainter>

#include "shell/gui/brand_art.h"

namespace heatdiag {
namespace {

const QColor kFieldColour(222, 222, 222);
const QColor kBandColour(0, 74, 255);
const QColor kArcColour(255, 0, 0);

}  // namespace

MdiClient::MdiClient(QWidget* parent) : QMdiArea(parent) {
  setObjectName(QStringLiteral("MdiClient"));
  setBackground(kFieldColour);
}

// All divisions truncate toward zero, as the shapes were drawn on integer client coordinates.
QPainterPath MdiClient::LeftBand(int w, int h) {
  const int top = 0;
  const int bottom = h;
  QPainterPath path;
  path.moveTo(w / 15, top);
  path.cubicTo(w / 35, top + h / 3, w / 35, bottom - h / 3, w / 15, bottom);
  path.lineTo(0, bottom);
  path.lineTo(0, top);
  path.closeSubpath();
  return path;
}

QPainterPath MdiClient::BottomArc(int w, int h) {
  const int right = w;
  const int bottom = h;
  const int x0 = right - w / 2 - w / 20;
  const int x1 = x0 + w;
  QPainterPath path;
  path.moveTo(x1, bottom);
  path.cubicTo(x1 - w / 3, bottom - h / 15, x0 + w / 3, bottom - h / 15, x0, bottom);
  path.closeSubpath();
  return path;
}

void MdiClient::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const int w = viewport()->width();
  const int h = viewport()->height();
  painter.fillRect(event->rect(), kFieldColour);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.fillPath(LeftBand(w, h), kBandColour);
  painter.fillPath(BottomArc(w, h), kArcColour);
  const QPixmap mark = BrandMark(devicePixelRatioF());
  const QSizeF size = mark.deviceIndependentSize();
  painter.drawPixmap(QPointF(w - size.width(), 0), mark);
}

}  // namespace heatdiag
