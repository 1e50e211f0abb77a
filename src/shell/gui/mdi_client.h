// The frame's MDI client: the document windows' area, with the program's background drawn on
// it (a grey field, a blue band along the left edge, a red arc along the bottom and the brand
// mark at the top right).
#pragma once

#include <QMdiArea>
#include <QPainterPath>

namespace heatdiag {

class MdiClient final : public QMdiArea {
  Q_OBJECT
 public:
  explicit MdiClient(QWidget* parent = nullptr);

  // The two filled shapes of the background for a client area of w x h.
  static QPainterPath LeftBand(int w, int h);
  static QPainterPath BottomArc(int w, int h);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace heatdiag
