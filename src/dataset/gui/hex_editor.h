// The hex editor control: the outer control draws the column header and the status line, its
// data child the address rows and cells and takes the keyboard and the mouse. It edits a
// dataset image in place.
#pragma once

#include <QWidget>

#include "dataset/hex_edit_model.h"

class QScrollBar;

namespace heatdiag {

class HexEditControl;

class HexEditData final : public QWidget {
  Q_OBJECT
 public:
  explicit HexEditData(HexEditControl& control);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void PlaceCaret(QMouseEvent* event);
  HexEditControl& control_;
};

class HexEditControl final : public QWidget {
  Q_OBJECT
 public:
  explicit HexEditControl(QWidget* parent = nullptr);

  // Binds the image (and what the device held, for the third mark); the caret goes to the
  // start address.
  void Bind(DatasetImage* image, const DatasetImage* reference = nullptr);
  HexEditModel& Model() { return model_; }
  HexEditData* Data() const { return data_; }
  QScrollBar* ScrollBar() const { return scrollBar_; }
  int CharWidth() const { return charWidth_; }
  int LineHeight() const { return lineHeight_; }
  // The status line as drawn: empty while the data child does not have the focus.
  QString StatusText() const;
  // The grid font in the current character size.
  QFont GridFont() const;

  QSize sizeHint() const override;

  // After a caret move or an edit: scroll bar, repaint of both windows.
  void Refresh();

 signals:
  void Edited();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Layout();
  HexEditModel model_;
  HexEditData* data_ = nullptr;
  QScrollBar* scrollBar_ = nullptr;
  int charWidth_ = 8;
  int lineHeight_ = 16;
};

// The colours of the grid.
inline constexpr QRgb kHexChecksumBackground = 0xC0C0C0;
inline constexpr QRgb kHexCaretBackground = 0x008000;
inline constexpr QRgb kHexChangedText = 0xFF0000;
// Cells that differ from what the device held are underlined in this colour.
inline constexpr QRgb kHexReferenceMark = 0x0000C0;

}  // namespace heatdiag
