#include "views/gui/trend_view.h"

#include <QAction>
#include <QBuffer>
#include <QFileDialog>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <chrono>

#include "base/frame_sink.h"
#include "base/settings.h"
#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/frame_window.h"
#include "views/gui/trend_draw.h"
#include "views/trend_channels.h"
#include "views/trend_csv.h"
#include "views/trend_layout.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kTextExportCsvHour = 33300;
constexpr std::uint32_t kTextExportCsvVisible = 33301;
constexpr std::uint32_t kTextExportPicture = 33302;
constexpr std::uint32_t kTextCsvFilter = 33303;
constexpr std::uint32_t kTextPngFilter = 33304;
constexpr std::uint32_t kTextExportCaption = 33305;
constexpr std::uint32_t kTextCannotWrite = 33306;
constexpr std::uint32_t kTextNoSamples = 33307;
constexpr int kWheelNotch = 120;

TrendDrawOptions CurrentDrawOptions(std::optional<int> cursorX) {
  const Settings& settings = ProgramSettings();
  TrendDrawOptions options;
  options.split = settings.trendViewTiled != 0;
  options.shownMask = static_cast<std::uint32_t>(settings.trendViewActive);
  options.cursorX = cursorX;
  return options;
}

TrendView* OpenTrendView(const FrameWindow& frame) {
  return qobject_cast<TrendView*>(frame.View(ViewKind::kGraph));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Drawing child

TrendChart::TrendChart(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("HeatdiagTrendClass"));
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  horizontalScrollBar()->setSingleStep(kTrendLineStep);
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (!syncingScrollBar_) Scroll(TrendScroll::kThumb, value);
  });
  redrawTimer_.setInterval(kRedrawPeriodMs);
  connect(&redrawTimer_, &QTimer::timeout, this, [this] { RedrawTick(); });
  redrawTimer_.start();
  UpdateScrollBar();
}

int TrendChart::PlotWidth() const {
  return std::max(0, viewport()->width() - kTrendValueColumn);
}

int TrendChart::PlotHeight() const {
  return std::max(0, viewport()->height() - kTrendTimeRow);
}

int TrendChart::Configure(const TrendConfig& config) {
  if (!buffer_.Configure(config)) return 0;
  cursorX_.reset();
  UpdateScrollBar();
  Invalidate();
  return 1;
}

int TrendChart::AddSample(std::uint32_t channel, double value) {
  const int result = buffer_.AddSample(channel, value, PlotWidth());
  if (result != 1) return result;
  if (channel == 0) UpdateScrollBar();
  Invalidate();
  return result;
}

void TrendChart::ClearSamples() {
  buffer_.Clear();
  cursorX_.reset();
  UpdateScrollBar();
  Invalidate();
}

void TrendChart::SetPaused(bool paused) {
  buffer_.SetPaused(paused);
}

void TrendChart::AddMarker(std::string shortName, std::string text) {
  buffer_.AddMarker(std::move(shortName), std::move(text));
  Invalidate();
}

void TrendChart::UpdateScrollBar() {
  syncingScrollBar_ = true;
  QScrollBar* bar = horizontalScrollBar();
  const int width = PlotWidth();
  bar->setRange(0, MaxOffset(static_cast<int>(buffer_.Count(0)), width));
  bar->setPageStep(std::max(1, width));
  bar->setValue(buffer_.Offset());
  syncingScrollBar_ = false;
}

void TrendChart::Scroll(TrendScroll input, int thumb) {
  const int offset = ScrolledOffset(input, buffer_.Offset(), static_cast<int>(buffer_.Count(0)),
                                    PlotWidth(), thumb);
  if (offset == buffer_.Offset()) {
    UpdateScrollBar();
    return;
  }
  buffer_.SetOffset(offset, PlotWidth());
  UpdateScrollBar();
  Invalidate();
}

const TrendMarker* TrendChart::MarkerAt(int x) const {
  const long long first = static_cast<long long>(buffer_.FirstKept()) + buffer_.Offset();
  const TrendMarker* best = nullptr;
  long long bestDistance = kMarkerHitPixels + 1;
  for (const TrendMarker& marker : buffer_.Markers()) {
    const long long distance = std::llabs(static_cast<long long>(marker.sample) - first - x);
    if (distance < bestDistance) {
      best = &marker;
      bestDistance = distance;
    }
  }
  return best;
}

void TrendChart::RedrawTick() {
  if (!redrawPending_) return;
  RenderNow();
}

void TrendChart::RenderNow() {
  redrawPending_ = false;
  const QSize size = viewport()->size();
  if (size.isEmpty()) return;
  QImage image(size, QImage::Format_RGB32);
  {
    QPainter painter(&image);
    DrawTrend(painter, size, buffer_, CurrentDrawOptions(cursorX_));
  }
  {
    const std::lock_guard lock(imageMutex_);
    image_.swap(image);
  }
  viewport()->update();
}

QImage TrendChart::Picture() const {
  const std::lock_guard lock(imageMutex_);
  return image_.copy();
}

void TrendChart::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const std::lock_guard lock(imageMutex_);
  if (image_.size() != viewport()->size()) {
    painter.fillRect(viewport()->rect(), Qt::white);
    redrawPending_ = true;
    return;
  }
  painter.drawImage(0, 0, image_);
}

void TrendChart::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  buffer_.ClampOffset(PlotWidth());
  UpdateScrollBar();
  RenderNow();
}

void TrendChart::scrollContentsBy(int, int) {
  // The offset is applied when drawing; the viewport's pixels are never moved.
}

void TrendChart::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      Scroll(TrendScroll::kLineLeft);
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      Scroll(TrendScroll::kLineRight);
      break;
    case Qt::Key_PageUp:
      Scroll(TrendScroll::kPageLeft);
      break;
    case Qt::Key_PageDown:
      Scroll(TrendScroll::kPageRight);
      break;
    case Qt::Key_Home:
      Scroll(TrendScroll::kHome);
      break;
    case Qt::Key_End:
      Scroll(TrendScroll::kEnd);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

void TrendChart::wheelEvent(QWheelEvent* event) {
  const QPoint angle = event->angleDelta();
  wheelRemainder_ += angle.y() != 0 ? angle.y() : angle.x();
  while (wheelRemainder_ >= kWheelNotch) {
    wheelRemainder_ -= kWheelNotch;
    Scroll(TrendScroll::kLineLeft);  // forward: back in time
  }
  while (wheelRemainder_ <= -kWheelNotch) {
    wheelRemainder_ += kWheelNotch;
    Scroll(TrendScroll::kLineRight);
  }
  event->accept();
}

void TrendChart::TrackCursor(int x) {
  const int stored = static_cast<int>(buffer_.Count(0)) - buffer_.Offset();
  const int last = std::min(PlotWidth(), stored) - 1;
  if (last < 0) {
    cursorX_.reset();
  } else {
    cursorX_ = std::clamp(x, 0, last);
  }
  Invalidate();
}

void TrendChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    tracking_ = true;
    TrackCursor(event->position().toPoint().x());
  } else if (event->button() == Qt::RightButton) {
    emit ContextMenuRequested(viewport()->mapTo(this, event->position().toPoint()));
  }
  event->accept();
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
  if (tracking_) TrackCursor(event->position().toPoint().x());
  event->accept();
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && tracking_) {
    tracking_ = false;
    cursorX_.reset();
    Invalidate();
  }
  event->accept();
}

bool TrendChart::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const TrendMarker* marker =
        help->pos().y() < PlotHeight() ? MarkerAt(help->pos().x()) : nullptr;
    if (marker != nullptr) {
      QToolTip::showText(help->globalPos(), QString::fromStdString(marker->shortName), viewport());
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

// ---------------------------------------------------------------------------------------------
// View

TrendView::TrendView(QueuedMessageTarget& target, QWidget* parent)
    : DocumentView(ViewKind::kGraph, parent), target_(target) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin + 1, kMargin + 1);
  chart_ = new TrendChart(this);
  layout->addWidget(chart_);
  setFocusProxy(chart_);
  connect(chart_, &TrendChart::ContextMenuRequested, this, [this](QPoint position) {
    ShowContextMenu(this, kCmdGraphSplit, chart_->mapTo(this, position));
  });

  SetupChannels();
  target_.SetHandler([this](std::uint32_t message, std::intptr_t a,
                            std::intptr_t b) { HandleStoreMessage(message, a, b); },
                     this);
  // Mask 0: only what the store sends to every subscriber (1047, 1049) arrives.
  StoreSubscribe(&target_, 0, 0);
  sampleTimer_.setInterval(kSamplePeriodMs);
  connect(&sampleTimer_, &QTimer::timeout, this, [this] { SampleTick(); });
  sampleTimer_.start();
}

TrendView::~TrendView() {
  sampleTimer_.stop();
  if (target_.ClearHandler(this)) StoreUnsubscribe(&target_);
  channels_.clear();
  // The channel items read "." while the graph is closed.
  if (FrameWindow* frame = TheFrame()) {
    for (std::uint32_t k = 0; k < kTrendMaxChannels; ++k) {
      if (QAction* action = frame->CommandAction(kCmdGraphChannelFirst + k))
        action->setText(QStringLiteral("."));
    }
  }
}

std::uint32_t TrendView::AvailableMask() const {
  const std::uint32_t count = ChannelCount();
  return count >= 32 ? ~0U : (1U << count) - 1U;
}

void TrendView::SetupChannels() {
  channels_.clear();
  chart_->SetPaused(false);
  chart_->ClearSamples();
  const std::vector<std::uint32_t> items = CollectTrendItems();
  if (!items.empty()) {
    const TrendConfig config = BuildTrendConfig(items);
    if (chart_->Configure(config) == 1) channels_ = items;
  }
  stateItem_ = OperatingStateItem(SelectedDevice());
  if (stateItem_ && *stateItem_ >= StoreRowCount()) stateItem_.reset();
  lastState_.clear();
  UpdateChannelMenuTexts();
}

void TrendView::UpdateChannelMenuTexts() const {
  FrameWindow* frame = TheFrame();
  if (frame == nullptr) return;
  for (std::uint32_t k = 0; k < kTrendMaxChannels; ++k) {
    if (QAction* action = frame->CommandAction(kCmdGraphChannelFirst + k))
      action->setText(QString::fromStdString(TrendChannelMenuText(true, channels_, k)));
  }
}

void TrendView::SampleTick() {
  if (channels_.empty()) return;
  for (std::uint32_t k = 0; k < channels_.size(); ++k) {
    const int added = chart_->AddSample(k, ReadTrendSample(channels_[k]));
    if (k == 0 && added == 1) {
      newestSampleMs_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    }
  }
  if (!stateItem_ || chart_->Buffer().Paused()) return;
  if (StoreGetPresent(*stateItem_) == 0 || StoreGetShown(*stateItem_) == 0) return;
  std::string state = StoreReadText(*stateItem_);
  if (state.empty() || state == lastState_) return;
  lastState_ = state;
  std::string shortName = ShortStateName(state, DriverStateTable(SelectedDevice()));
  chart_->AddMarker(std::move(shortName), std::move(state));
}

void TrendView::HandleStoreMessage(std::uint32_t message, std::intptr_t, std::intptr_t) {
  switch (message) {
    case UM_DATARELEASED:
      chart_->SetPaused(false);
      channels_.clear();
      stateItem_.reset();
      UpdateChannelMenuTexts();
      break;
    case UM_DATAREADY:
      SetupChannels();
      break;
    default:
      break;  // 1044..1046 and 1048 do not concern the graph
  }
}

void TrendView::DisplayChanged() {
  chart_->RenderNow();
}

bool TrendView::ExportCsv(const std::string& path, bool visibleOnly, std::string* error) const {
  const TrendBuffer& buffer = chart_->Buffer();
  std::uint32_t first = 0;
  std::uint32_t count = buffer.Count(0);
  if (visibleOnly) {
    first = static_cast<std::uint32_t>(buffer.Offset());
    count = static_cast<std::uint32_t>(chart_->PlotWidth());
  }
  return WriteTrendCsv(path, buffer, first, count, newestSampleMs_, error);
}

bool TrendView::ExportPng(const std::string& path, std::string* error) const {
  chart_->RenderNow();
  const QImage picture = chart_->Picture();
  QByteArray bytes;
  QBuffer device(&bytes);
  device.open(QIODevice::WriteOnly);
  if (picture.isNull() || !picture.save(&device, "PNG")) {
    if (error != nullptr) *error = "the picture could not be encoded";
    return false;
  }
  return WriteFileAtomically(path, bytes.toStdString(), error);
}

void TrendView::ExportCsvInteractive(bool visibleOnly) {
  const QString caption = Text(kTextExportCaption, 255);
  if (chart_->Buffer().Count(0) == 0) {
    QMessageBox::information(this, caption, Text(kTextNoSamples, 255));
    return;
  }
  const QString path =
      QFileDialog::getSaveFileName(this, caption, QString(), Text(kTextCsvFilter, 255));
  if (path.isEmpty()) return;
  std::string error;
  if (!ExportCsv(path.toStdString(), visibleOnly, &error)) {
    QMessageBox::warning(
        this, caption,
        QString::fromStdString(FormatText(LoadString(kTextCannotWrite, 255), path.toStdString())) +
            QStringLiteral("\n") + QString::fromStdString(error));
  }
}

void TrendView::ExportPngInteractive() {
  const QString caption = Text(kTextExportCaption, 255);
  const QString path =
      QFileDialog::getSaveFileName(this, caption, QString(), Text(kTextPngFilter, 255));
  if (path.isEmpty()) return;
  std::string error;
  if (!ExportPng(path.toStdString(), &error)) {
    QMessageBox::warning(
        this, caption,
        QString::fromStdString(FormatText(LoadString(kTextCannotWrite, 255), path.toStdString())) +
            QStringLiteral("\n") + QString::fromStdString(error));
  }
}

// ---------------------------------------------------------------------------------------------
// Registration

void RegisterTrendView(FrameWindow& frame) {
  frame.SetViewFactory(ViewKind::kGraph,
                       [&frame] { return new TrendView(frame.ViewTarget(ViewKind::kGraph)); });
  frame.SetCommandHandler(kCmdGraphSplit, [&frame](std::uint32_t) {
    Settings& settings = ProgramSettings();
    settings.trendViewTiled = settings.trendViewTiled != 0 ? 0 : 1;
    if (TrendView* view = OpenTrendView(frame)) view->DisplayChanged();
  });
  for (std::uint32_t id = kCmdGraphChannelFirst; id <= kCmdGraphChannelLast; ++id) {
    frame.SetCommandHandler(id, [&frame](std::uint32_t command) {
      Settings& settings = ProgramSettings();
      const auto bit = static_cast<std::int32_t>(1U << (command - kCmdGraphChannelFirst));
      settings.trendViewActive ^= bit;
      if (TrendView* view = OpenTrendView(frame)) view->DisplayChanged();
    });
  }
  frame.AddCommandStateSource([&frame](CommandState& state) {
    const Settings& settings = ProgramSettings();
    state.graphSplit = settings.trendViewTiled != 0;
    state.graphChannelsShown = static_cast<std::uint32_t>(settings.trendViewActive);
    const TrendView* view = OpenTrendView(frame);
    state.graphChannelsAvailable = view != nullptr ? view->AvailableMask() : 0;
  });

  // The exports sit at the end of the graph's popup, which is shown only while the graph is
  // active (and by its right button).
  QAction* split = frame.CommandAction(kCmdGraphSplit);
  QMenu* popup = nullptr;
  for (QAction* top : frame.menuBar()->actions()) {
    if (top->menu() != nullptr && top->menu()->actions().contains(split)) popup = top->menu();
  }
  if (popup == nullptr) return;
  popup->addSeparator();
  const auto add = [&frame, popup](std::uint32_t textId, std::function<void(TrendView&)> run) {
    QAction* action = popup->addAction(Text(textId, 255));
    action->setObjectName(QStringLiteral("GraphExport%1").arg(textId));
    QObject::connect(action, &QAction::triggered, &frame, [&frame, run] {
      if (TrendView* view = OpenTrendView(frame)) run(*view);
    });
  };
  add(kTextExportCsvHour, [](TrendView& view) { view.ExportCsvInteractive(false); });
  add(kTextExportCsvVisible, [](TrendView& view) { view.ExportCsvInteractive(true); });
  add(kTextExportPicture, [](TrendView& view) { view.ExportPngInteractive(); });
}

}  // namespace heatdiag
