// The Actual values graph: an MDI document ("HeatdiagTrendViewClass") that samples up to 20
// measured values of the store every 500 ms, and its drawing child ("HeatdiagTrendClass") that
// keeps the last hour of samples, scrolls through them and draws them into an off-screen image
// on its 100 ms redraw timer.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "shell/gui/document_view.h"
#include "shell/gui/queued_target.h"
#include "views/trend_buffer.h"

namespace heatdiag {

class FrameWindow;

class TrendChart final : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kRedrawPeriodMs = 100;  // timer 13
  static constexpr int kMarkerHitPixels = 3;

  explicit TrendChart(QWidget* parent = nullptr);

  // The child's messages: configure (1 when taken, 0 when the record is ignored), add a sample
  // (1, or -1 while paused or for a channel beyond the count), clear, pause / resume.
  int Configure(const TrendConfig& config);
  int AddSample(std::uint32_t channel, double value);
  void ClearSamples();
  void SetPaused(bool paused);
  // An operating-state change with the newest sample.
  void AddMarker(std::string shortName, std::string text);

  const TrendBuffer& Buffer() const { return buffer_; }
  int PlotWidth() const;
  int PlotHeight() const;
  bool RedrawPending() const { return redrawPending_; }
  std::optional<int> CursorX() const { return cursorX_; }
  // A scroll input as the keys, the wheel and the scroll bar give it.
  void Scroll(TrendScroll input, int thumb = 0);
  // The marker under a plot column, if any.
  const TrendMarker* MarkerAt(int x) const;

  // Marks the graph for redraw (done by the next tick of the redraw timer).
  void Invalidate() { redrawPending_ = true; }
  // One tick of the redraw timer.
  void RedrawTick();
  // Draws into the off-screen image now.
  void RenderNow();
  // A copy of the off-screen image as drawn.
  QImage Picture() const;

 signals:
  void ContextMenuRequested(QPoint position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBar();
  void TrackCursor(int x);

  TrendBuffer buffer_;
  QTimer redrawTimer_;
  mutable std::mutex imageMutex_;  // the off-screen image
  QImage image_;
  std::optional<int> cursorX_;
  bool tracking_ = false;
  bool redrawPending_ = false;
  bool syncingScrollBar_ = false;
  int wheelRemainder_ = 0;
};

class TrendView final : public DocumentView {
  Q_OBJECT
 public:
  static constexpr int kSamplePeriodMs = 500;  // timer 3
  static constexpr int kMargin = 6;

  // target: the graph's long-lived message target (the store keeps its address).
  explicit TrendView(QueuedMessageTarget& target, QWidget* parent = nullptr);
  ~TrendView() override;

  FrameMenu MenuBar() const override { return FrameMenu::kGraph; }
  TrendChart* Chart() const { return chart_; }
  std::uint32_t ChannelCount() const { return static_cast<std::uint32_t>(channels_.size()); }
  const std::vector<std::uint32_t>& ChannelItems() const { return channels_; }
  // Bit k set for each channel that exists.
  std::uint32_t AvailableMask() const;

  void HandleStoreMessage(std::uint32_t message, std::intptr_t a, std::intptr_t b);
  // Collects the channels from the store and configures the child.
  void SetupChannels();
  // One tick of the sampling timer.
  void SampleTick();
  // The split / overlaid layout or a channel's visibility changed in the settings.
  void DisplayChanged();

  // Exports: the whole hour or the visible range as CSV, the picture as drawn as PNG.
  bool ExportCsv(const std::string& path, bool visibleOnly, std::string* error) const;
  bool ExportPng(const std::string& path, std::string* error) const;
  // Asks for a file and exports; failures are shown in a box.
  void ExportCsvInteractive(bool visibleOnly);
  void ExportPngInteractive();

 private:
  void UpdateChannelMenuTexts() const;

  QueuedMessageTarget& target_;
  TrendChart* chart_ = nullptr;
  std::vector<std::uint32_t> channels_;
  std::optional<std::uint32_t> stateItem_;
  std::string lastState_;
  std::int64_t newestSampleMs_ = 0;
  QTimer sampleTimer_;
};

// Installs the graph's view factory, its commands 32840..32860, its share of the command state
// and its export items in the graph popup.
void RegisterTrendView(FrameWindow& frame);

}  // namespace heatdiag
