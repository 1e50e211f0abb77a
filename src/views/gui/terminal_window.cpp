#include "views/gui/terminal_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "shell/gui/commands.h"
#include "shell/gui/frame_window.h"

namespace heatdiag {
namespace {

QColor ColourOf(std::uint32_t rgb) {
  return QColor(static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF),
                static_cast<int>(rgb & 0xFF));
}

// "Courier New" (or the system's fixed-pitch font in its place), sized so that a character takes
// 8 pixels and a row 16.
QFont TerminalFont() {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  int size = 14;
  for (; size > 6; --size) {
    font.setPixelSize(size);
    if (QFontMetricsF(font).horizontalAdvance(QLatin1Char('M')) <= TerminalWindow::kCharWidth)
      break;
  }
  const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char('M'));
  font.setLetterSpacing(QFont::AbsoluteSpacing, TerminalWindow::kCharWidth - advance);
  return font;
}

}  // namespace

TerminalWindow::TerminalWindow(std::size_t capacity, QWidget* parent)
    : QAbstractScrollArea(parent), lines_(capacity), font_(TerminalFont()) {
  setObjectName(QStringLiteral("HeatdiagTerminalClass"));
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  viewport()->setCursor(Qt::IBeamCursor);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(1);
}

bool TerminalWindow::AddLine(std::string_view text, std::uint32_t colour, int kind,
                             const ProtocolStamp& stamp) {
  if (!lines_.Add(text, colour, kind, stamp)) return false;
  ScheduleRefresh();
  return true;
}

void TerminalWindow::Clear() {
  lines_.Clear();
  anchor_.reset();
  extent_.reset();
  ScheduleRefresh();
}

void TerminalWindow::SetStopped(bool stopped) {
  lines_.SetStopped(stopped);
  ScheduleRefresh();
}

void TerminalWindow::SetShowTimeStamps(bool show) {
  timeStamps_ = show;
  viewport()->update();
}

QString TerminalWindow::DisplayText(int index) const {
  const TerminalLine& line = lines_.At(index);
  QString text = QString::fromUtf8(line.text.data(), static_cast<qsizetype>(line.text.size()));
  if (!timeStamps_) return text;
  QString stamp = QStringLiteral("%1 ").arg(line.stamp.elapsedMs, 9);
  if (line.stamp.replyMs)
    return stamp + text + QStringLiteral(" (+%1 ms)").arg(*line.stamp.replyMs);
  return stamp + text;
}

std::optional<std::pair<int, int>> TerminalWindow::Selection() const {
  if (!anchor_ || !extent_ || lines_.Count() == 0) return std::nullopt;
  const std::uint64_t first = std::min(*anchor_, *extent_);
  const std::uint64_t last = std::max(*anchor_, *extent_);
  const std::uint64_t oldest = lines_.Dropped();
  const std::uint64_t newest = oldest + static_cast<std::uint64_t>(lines_.Count()) - 1;
  if (last < oldest) return std::nullopt;  // the selected lines have left the ring
  return std::pair{static_cast<int>(std::max(first, oldest) - oldest),
                   static_cast<int>(std::min(last, newest) - oldest)};
}

void TerminalWindow::SelectAll() {
  if (lines_.Count() == 0) return;
  SelectLines(0, lines_.Count() - 1);
}

void TerminalWindow::SelectLines(int first, int last) {
  anchor_ = lines_.Sequence(std::clamp(first, 0, std::max(0, lines_.Count() - 1)));
  extent_ = lines_.Sequence(std::clamp(last, 0, std::max(0, lines_.Count() - 1)));
  viewport()->update();
}

QString TerminalWindow::SelectedText() const {
  const auto selection = Selection();
  if (!selection) return AllText();
  QString text;
  for (int i = selection->first; i <= selection->second; ++i) text += DisplayText(i) + '\n';
  return text;
}

QString TerminalWindow::AllText() const {
  QString text;
  for (int i = 0; i < lines_.Count(); ++i) text += DisplayText(i) + '\n';
  return text;
}

void TerminalWindow::CopySelection() const {
  if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(SelectedText());
}

void TerminalWindow::ScheduleRefresh() {
  // The window posts itself one redraw for any number of changes, at most one a display frame:
  // a flood of telegrams costs the GUI thread the lines, not a redraw each.
  if (refreshPending_) return;
  refreshPending_ = true;
  QTimer::singleShot(kRefreshMs, this, [this] { Refresh(); });
}

void TerminalWindow::Refresh() {
  refreshPending_ = false;
  UpdateScrollBars();
  viewport()->update();
}

void TerminalWindow::UpdateScrollBars() {
  updatingBars_ = true;
  verticalScrollBar()->setRange(0, lines_.MaxTopLine());
  verticalScrollBar()->setPageStep(std::max(1, lines_.VisibleLines()));
  verticalScrollBar()->setValue(lines_.TopLine());
  horizontalScrollBar()->setRange(0, lines_.MaxLeftColumn());
  horizontalScrollBar()->setPageStep(std::max(1, lines_.VisibleColumns()));
  horizontalScrollBar()->setValue(lines_.LeftColumn());
  updatingBars_ = false;
}

void TerminalWindow::FitToViewport() {
  lines_.SetVisible(viewport()->height() / kLineHeight, viewport()->width() / kCharWidth);
}

void TerminalWindow::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  FitToViewport();
  Refresh();
}

void TerminalWindow::scrollContentsBy(int, int) {
  if (updatingBars_) return;
  // Page and line steps of the bars, and the thumb.
  lines_.SetTopLine(verticalScrollBar()->value());
  lines_.SetLeftColumn(horizontalScrollBar()->value());
  viewport()->update();
}

void TerminalWindow::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setFont(font_);
  const int width = viewport()->width();
  const auto selection = Selection();
  const QColor highlight = palette().color(QPalette::Highlight);
  const QColor highlightText = palette().color(QPalette::HighlightedText);
  // One row more than fits, for the partial last row.
  for (int row = 0; row <= lines_.VisibleLines(); ++row) {
    const QRect rect(0, row * kLineHeight, width, kLineHeight);
    const int index = lines_.TopLine() + row;
    const bool stored = index < lines_.Count();
    const bool selected =
        stored && selection && index >= selection->first && index <= selection->second;
    painter.fillRect(rect, selected ? highlight : QColor(Qt::white));
    if (!stored) continue;
    const QString text = DisplayText(index);
    if (text.size() <= lines_.LeftColumn()) continue;
    painter.setPen(selected ? highlightText : ColourOf(lines_.At(index).colour));
    painter.drawText(rect.adjusted(2, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     text.mid(lines_.LeftColumn()));
  }
}

void TerminalWindow::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    return;
  }
  switch (event->key()) {
    case Qt::Key_PageUp:
      lines_.PageUp();
      break;
    case Qt::Key_PageDown:
      lines_.PageDown();
      break;
    case Qt::Key_End:
      lines_.End();
      break;
    case Qt::Key_Home:
      lines_.Home();
      break;
    case Qt::Key_Left:
    case Qt::Key_Up:
      lines_.ScrollLines(-1);
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      lines_.ScrollLines(1);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  Refresh();
}

void TerminalWindow::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0) return;
  lines_.ScrollLines(-steps);
  Refresh();
}

int TerminalWindow::RowAt(QPoint point) const {
  const int index = lines_.TopLine() + std::max(0, point.y()) / kLineHeight;
  return std::clamp(index, 0, std::max(0, lines_.Count() - 1));
}

void TerminalWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    ShowContextMenu(this, kCmdProtocolRecord, mapFromGlobal(event->globalPosition().toPoint()));
    viewport()->update();
    return;
  }
  if (event->button() != Qt::LeftButton || lines_.Count() == 0) return;
  const std::uint64_t line = lines_.Sequence(RowAt(event->position().toPoint()));
  if (!(event->modifiers() & Qt::ShiftModifier) || !anchor_) anchor_ = line;
  extent_ = line;
  viewport()->update();
}

void TerminalWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || !anchor_ || lines_.Count() == 0) return;
  const QPoint point = event->position().toPoint();
  // Dragging past the edges scrolls.
  if (point.y() < 0) lines_.ScrollLines(-1);
  if (point.y() >= viewport()->height()) lines_.ScrollLines(1);
  extent_ = lines_.Sequence(RowAt(point));
  Refresh();
}

}  // namespace heatdiag
