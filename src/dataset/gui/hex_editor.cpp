#include "dataset/gui/hex_editor.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

namespace heatdiag {
namespace {

// The frame around the data rows (edge and border of the client edge).
constexpr int kEdge = 2;
// Lines of the control: header, 16 rows, status line.
constexpr int kControlLines = HexEditModel::kVisibleRows + 2;

// The keys the editor takes before the dialog's navigation and shortcuts see them.
bool IsEditorKey(const QKeyEvent& key) {
  if ((key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0)
    return key.matches(QKeySequence::Undo);
  switch (key.key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Backspace:
      return true;
    default:
      break;
  }
  return (key.key() >= Qt::Key_0 && key.key() <= Qt::Key_9) ||
         (key.key() >= Qt::Key_A && key.key() <= Qt::Key_F);
}

int HexDigit(const QKeyEvent& key) {
  if (key.key() >= Qt::Key_0 && key.key() <= Qt::Key_9) return key.key() - Qt::Key_0;
  if (key.key() >= Qt::Key_A && key.key() <= Qt::Key_F) return key.key() - Qt::Key_A + 10;
  return -1;
}

}  // namespace

HexEditData::HexEditData(HexEditControl& control) : QWidget(&control), control_(control) {
  setObjectName(QStringLiteral("HeatdiagHexEditDataClass"));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::ArrowCursor);
}

bool HexEditData::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && IsEditorKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  if (event->type() == QEvent::KeyPress && IsEditorKey(*static_cast<QKeyEvent*>(event))) {
    keyPressEvent(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QWidget::event(event);
}

void HexEditData::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const HexEditModel& model = control_.Model();
  if (!model.IsBound()) return;
  painter.setFont(control_.GridFont());
  const int cw = control_.CharWidth();
  const int lh = control_.LineHeight();
  const bool focused = hasFocus();
  const auto text = [&](int column, int row, int chars, const QString& s, QColor fore,
                        QColor back) {
    const QRect box(column * cw, row * lh, chars * cw, lh);
    painter.fillRect(box, back);
    painter.setPen(fore);
    for (int i = 0; i < chars && i < s.size(); ++i)
      painter.drawText(QRect(box.left() + i * cw, box.top(), cw, lh), Qt::AlignCenter, s.mid(i, 1));
  };
  for (int drawn = 0, row = model.FirstRow();
       drawn < HexEditModel::kVisibleRows && row < model.RowCount(); ++drawn, ++row) {
    text(0, drawn, HexEditModel::kLabelChars, QString::fromStdString(model.RowLabel(row)),
         Qt::black, Qt::white);
    for (int c = 0; c < 16; ++c) {
      const auto address = static_cast<std::uint16_t>(row * 16 + c);
      const QColor back =
          model.IsChecksumCell(address) ? QColor(kHexChecksumBackground) : QColor(Qt::white);
      const QColor fore = model.IsChanged(address) ? QColor(kHexChangedText) : QColor(Qt::black);
      const int column = HexEditModel::kLabelChars + HexEditModel::kCellChars * c;
      text(column, drawn, 1, QStringLiteral(" "), fore, back);
      const bool caretCell = focused && address == model.CaretAddress();
      text(column + 1, drawn, 2, QString::fromStdString(model.CellText(address)),
           caretCell ? QColor(Qt::white) : fore, caretCell ? QColor(kHexCaretBackground) : back);
      if (model.DiffersFromReference(address)) {
        painter.fillRect(QRect((column + 1) * cw, (drawn + 1) * lh - 2, 2 * cw, 2),
                         QColor(kHexReferenceMark));
      }
    }
  }
  // The caret: a bar before the digit under it, in the visible rows only.
  if (focused && model.CaretVisibleRow() >= 0) {
    const int x = cw * model.CaretColumn();
    const int y = lh * model.CaretVisibleRow();
    painter.fillRect(QRect(x, y, 2, lh), QColor(Qt::black));
  }
}

void HexEditData::keyPressEvent(QKeyEvent* event) {
  HexEditModel& model = control_.Model();
  if (!model.IsBound()) return QWidget::keyPressEvent(event);
  if (event->matches(QKeySequence::Undo)) {
    if (model.Undo()) emit control_.Edited();
    control_.Refresh();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Left:
      model.MoveNibbles(-1);
      break;
    case Qt::Key_Right:
      model.MoveNibbles(1);
      break;
    case Qt::Key_Up:
      model.MoveNibbles(-32);
      break;
    case Qt::Key_Down:
      model.MoveNibbles(32);
      break;
    case Qt::Key_PageUp:
      model.MoveNibbles(-512);
      break;
    case Qt::Key_PageDown:
      model.MoveNibbles(512);
      break;
    case Qt::Key_Home:
      model.MoveHome();
      break;
    case Qt::Key_End:
      model.MoveEnd();
      break;
    case Qt::Key_Backspace:
      model.Backspace();
      emit control_.Edited();
      break;
    default:
      if (const int digit = HexDigit(*event);
          digit >= 0 && (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0) {
        model.TypeDigit(digit);
        emit control_.Edited();
        break;
      }
      return QWidget::keyPressEvent(event);
  }
  control_.Refresh();
}

void HexEditData::PlaceCaret(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  const QPoint p = event->position().toPoint();
  control_.Model().PlaceCaretAt(p.x(), p.y(), control_.CharWidth(), control_.LineHeight());
  control_.Refresh();
}

void HexEditData::mousePressEvent(QMouseEvent* event) {
  PlaceCaret(event);
}

void HexEditData::mouseReleaseEvent(QMouseEvent* event) {
  PlaceCaret(event);
}

void HexEditData::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  if (notches != 0) {
    control_.Model().Wheel(notches);
    control_.Refresh();
  }
  event->accept();
}

void HexEditData::focusInEvent(QFocusEvent* event) {
  // Taking the focus puts the caret on the high digit.
  HexEditModel& model = control_.Model();
  if (model.Nibble() != 0) model.MoveNibbles(-1);
  control_.Refresh();
  QWidget::focusInEvent(event);
}

void HexEditData::focusOutEvent(QFocusEvent* event) {
  control_.Refresh();
  QWidget::focusOutEvent(event);
}

HexEditControl::HexEditControl(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("HeatdiagHexEditClass"));
  data_ = new HexEditData(*this);
  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  scrollBar_->setObjectName(QStringLiteral("HexEditScrollBar"));
  scrollBar_->setSingleStep(1);
  scrollBar_->setPageStep(HexEditModel::kVisibleRows);
  scrollBar_->hide();
  connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int row) {
    if (row == model_.FirstRow()) return;
    model_.ScrollTo(row);
    data_->update();
  });
  setFocusProxy(data_);
  Layout();
}

void HexEditControl::Bind(DatasetImage* image, const DatasetImage* reference) {
  model_.Bind(image, reference);
  Refresh();
}

QFont HexEditControl::GridFont() const {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(std::max(6, lineHeight_ - 3));
  return font;
}

QSize HexEditControl::sizeHint() const {
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  return {HexEditModel::kRowChars * 8 + bar + 2 * kEdge, kControlLines * 16 + 2 * kEdge};
}

void HexEditControl::resizeEvent(QResizeEvent* event) {
  Layout();
  QWidget::resizeEvent(event);
}

void HexEditControl::Layout() {
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  charWidth_ = std::max(1, (width() - 2 * kEdge - bar) / HexEditModel::kRowChars);
  lineHeight_ = std::max(1, (height() - 2 * kEdge) / kControlLines);
  const QRect rows(kEdge, kEdge + lineHeight_, HexEditModel::kRowChars * charWidth_,
                   HexEditModel::kVisibleRows * lineHeight_);
  data_->setGeometry(rows);
  scrollBar_->setGeometry(rows.right() + 1, rows.top(), bar, rows.height());
}

void HexEditControl::Refresh() {
  const bool bar = model_.NeedsScrollBar();
  scrollBar_->setVisible(bar);
  if (bar) {
    const QSignalBlocker block(scrollBar_);
    scrollBar_->setRange(0, model_.MaxFirstRow());
    scrollBar_->setValue(model_.FirstRow());
  }
  data_->update();
  update();
}

QString HexEditControl::StatusText() const {
  if (!data_->hasFocus() || !model_.IsBound()) return {};
  return QString::fromStdString(model_.StatusLine());
}

void HexEditControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  painter.setFont(GridFont());
  const int cw = charWidth_;
  const int lh = lineHeight_;
  const QString header = QString::fromStdString(HexEditModel::HeaderText());
  painter.setPen(palette().color(QPalette::ButtonText));
  for (int i = 0; i < header.size(); ++i)
    painter.drawText(QRect(kEdge + i * cw, kEdge, cw, lh), Qt::AlignCenter, header.mid(i, 1));
  const QString status = StatusText();
  if (!status.isEmpty()) {
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(QRect(kEdge, kEdge + (kControlLines - 1) * lh, width() - 2 * kEdge, lh),
                     Qt::AlignLeft | Qt::AlignVCenter, status);
  }
}

}  // namespace heatdiag
