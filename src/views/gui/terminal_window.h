// The protocol's text window ("HeatdiagTerminalClass"): draws the lines of a TerminalLines ring
// in their colours, 16 pixels a row and 8 a character in a fixed-pitch font, with the scroll
// rules of the ring. Lines can be selected with the mouse and copied; a right click opens the
// frame's "P&rotocol" popup.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <cstdint>
#include <optional>

#include "views/terminal_lines.h"

namespace heatdiag {

class TerminalWindow final : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kLineHeight = 16;
  static constexpr int kCharWidth = 8;
  // Changes are drawn together, after at most this long.
  static constexpr int kRefreshMs = 16;

  explicit TerminalWindow(std::size_t capacity, QWidget* parent = nullptr);

  // Adds a line (dropped while stopped); the window redraws once for a burst of lines.
  bool AddLine(std::string_view text, std::uint32_t colour, int kind = kProtocolMessage,
               const ProtocolStamp& stamp = {});
  void Clear();
  void SetStopped(bool stopped);
  bool IsStopped() const { return lines_.Stopped(); }
  const TerminalLines& Lines() const { return lines_; }
  TerminalLines& Lines() { return lines_; }

  // Time stamps before each line (the view only).
  void SetShowTimeStamps(bool show);
  bool ShowsTimeStamps() const { return timeStamps_; }
  // A line as the window shows it (with its time stamp when those are on).
  QString DisplayText(int index) const;

  // The selected lines, first and last in display order; nullopt when none is selected.
  std::optional<std::pair<int, int>> Selection() const;
  void SelectAll();
  void SelectLines(int first, int last);
  // The selected lines (or all lines when none is selected) as text, a line feed after each.
  QString SelectedText() const;
  QString AllText() const;
  void CopySelection() const;

  // Redraw and scroll bars now (what the window otherwise does once per burst).
  void Refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void ScheduleRefresh();
  void UpdateScrollBars();
  void FitToViewport();
  int RowAt(QPoint point) const;  // display index of the line under a point, clamped

  TerminalLines lines_;
  QFont font_;
  bool timeStamps_ = false;
  bool refreshPending_ = false;
  bool updatingBars_ = false;
  // Selection by line sequence numbers, which stay with their lines while the ring moves on.
  std::optional<std::uint64_t> anchor_;
  std::optional<std::uint64_t> extent_;
};

}  // namespace heatdiag
