#include "shell/gui/brand_art.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <map>

namespace heatdiag {
namespace {

constexpr int kWidth = 212;
constexpr int kHeight = 64;

QPainterPath Flame(QRectF box) {
  const auto at = [&box](qreal fx, qreal fy) {
    return QPointF(box.left() + fx * box.width(), box.top() + fy * box.height());
  };
  QPainterPath path;
  path.moveTo(at(0.50, 0.00));
  path.cubicTo(at(0.62, 0.22), at(0.95, 0.40), at(0.92, 0.68));
  path.cubicTo(at(0.90, 0.90), at(0.72, 1.00), at(0.50, 1.00));
  path.cubicTo(at(0.26, 1.00), at(0.08, 0.88), at(0.08, 0.66));
  path.cubicTo(at(0.08, 0.48), at(0.22, 0.38), at(0.30, 0.26));
  path.cubicTo(at(0.32, 0.42), at(0.38, 0.50), at(0.44, 0.52));
  path.cubicTo(at(0.40, 0.34), at(0.44, 0.14), at(0.50, 0.00));
  path.closeSubpath();
  return path;
}

QPixmap DrawMark(qreal ratio) {
  QPixmap pixmap(QSize(static_cast<int>(kWidth * ratio), static_cast<int>(kHeight * ratio)));
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  // Badge: a dark blue disc with the flame.
  const QRectF disc(8, 8, 48, 48);
  QRadialGradient discFill(disc.center() - QPointF(8, 10), 40);
  discFill.setColorAt(0, QColor(40, 92, 200));
  discFill.setColorAt(1, QColor(10, 36, 110));
  p.setPen(QPen(QColor(255, 255, 255), 2));
  p.setBrush(discFill);
  p.drawEllipse(disc);

  QLinearGradient outer(0, 14, 0, 52);
  outer.setColorAt(0, QColor(255, 214, 64));
  outer.setColorAt(1, QColor(232, 60, 24));
  p.setPen(Qt::NoPen);
  p.setBrush(outer);
  p.drawPath(Flame(QRectF(19, 14, 26, 36)));
  p.setBrush(QColor(255, 244, 190));
  p.drawPath(Flame(QRectF(26, 32, 12, 17)));

  // Wordmark.
  QFont name(QStringLiteral("DejaVu Sans"));
  name.setPixelSize(24);
  name.setBold(true);
  name.setItalic(true);
  p.setFont(name);
  p.setPen(QColor(10, 36, 110));
  p.drawText(QRectF(64, 6, kWidth - 70, 30), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("KELVAR"));
  QFont product(QStringLiteral("DejaVu Sans"));
  product.setPixelSize(15);
  product.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
  p.setFont(product);
  p.setPen(QColor(70, 70, 70));
  p.drawText(QRectF(66, 34, kWidth - 70, 22), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Heatdiag"));
  return pixmap;
}

}  // namespace

QPixmap BrandMark(qreal devicePixelRatio) {
  static std::map<qreal, QPixmap> cache;
  const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
  auto it = cache.find(ratio);
  if (it == cache.end()) it = cache.emplace(ratio, DrawMark(ratio)).first;
  return it->second;
}

}  // namespace heatdiag
