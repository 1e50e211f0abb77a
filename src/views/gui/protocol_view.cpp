#include "views/gui/protocol_view.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSaveFile>
#include <QVBoxLayout>
#include <vector>

#include "base/frame_sink.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/string_table.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/frame_window.h"
#include "views/gui/protocol_dialogs.h"
#include "views/gui/terminal_window.h"
#include "views/measurement_log.h"
#include "views/view_texts.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kProtocolPopupId = 32010;

struct PendingLine {
  std::string text;
  int kind;
  ProtocolStamp stamp;
};

ProtocolView* OpenProtocolView(FrameWindow& frame) {
  return qobject_cast<ProtocolView*>(frame.View(ViewKind::kProtocol));
}

}  // namespace

// Entries from any thread wait here until the GUI thread shows them; one wake-up is posted per
// burst. More lines than the window holds need not wait: the oldest go.
class ProtocolView::Sink final : public ProtocolSink {
 public:
  explicit Sink(ProtocolView& view) : view_(&view) {}

  void Add(std::string_view text, int kind) override { AddStamped(text, kind, {}); }
  void AddStamped(std::string_view text, int kind, const ProtocolStamp& stamp) override {
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      if (pending_.size() >= kCapacity) pending_.pop_front();
      pending_.push_back({std::string(text), kind, stamp});
      wake = !wakePosted_;
      wakePosted_ = true;
    }
    if (wake)
      QMetaObject::invokeMethod(
          view_, [view = view_] { view->ShowPending(); }, Qt::QueuedConnection);
  }
  void ShowStatus(std::string_view text) override {
    QMetaObject::invokeMethod(
        view_, [text = std::string(text)] { SetStatusText(text); }, Qt::QueuedConnection);
  }
  std::deque<PendingLine> Take() {
    std::lock_guard lock(mutex_);
    wakePosted_ = false;
    return std::exchange(pending_, {});
  }

 private:
  ProtocolView* view_;
  std::mutex mutex_;
  std::deque<PendingLine> pending_;
  bool wakePosted_ = false;
};

ProtocolView::ProtocolView(QWidget* parent)
    : DocumentView(ViewKind::kProtocol, parent), sink_(std::make_unique<Sink>(*this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin + 1, kMargin + 1);
  terminal_ = new TerminalWindow(kCapacity, this);
  terminal_->SetShowTimeStamps(ProgramSettings().protViewTimeStamps != 0);
  layout->addWidget(terminal_);
  setFocusProxy(terminal_);
  SetProtocolSink(sink_.get());
}

ProtocolView::~ProtocolView() {
  // Returns once no thread is handing an entry to the sink any more.
  SetProtocolSink(nullptr);
}

void ProtocolView::ShowPending() {
  for (const PendingLine& line : sink_->Take())
    terminal_->AddLine(line.text, ProtocolColour(line.kind), line.kind, line.stamp);
}

bool ProtocolView::IsStopped() const {
  return terminal_->IsStopped();
}

void ProtocolView::ToggleRecording() {
  // What arrived while running is still shown; what arrives while stopped is not.
  ShowPending();
  terminal_->SetStopped(!terminal_->IsStopped());
}

void ProtocolView::Clear() {
  ShowPending();
  terminal_->Clear();
}

bool SaveProtocolLines(const TerminalWindow& terminal, const QString& path) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  const QByteArray text = terminal.AllText().toUtf8();
  if (file.write(text) != text.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

void RegisterProtocolView(FrameWindow& frame, ProtocolDialogs& dialogs, MeasurementLog& log) {
  frame.SetViewFactory(ViewKind::kProtocol, [] { return new ProtocolView; });

  const auto toggle = [](std::int32_t Settings::*setting) {
    Settings& settings = ProgramSettings();
    settings.*setting = settings.*setting != 0 ? 0 : 1;
    ProtocolUseSettings(settings);
  };
  frame.SetCommandHandler(kCmdProtocolRecord, [&frame](std::uint32_t) {
    if (ProtocolView* view = OpenProtocolView(frame)) view->ToggleRecording();
  });
  frame.SetCommandHandler(kCmdProtocolClear, [&frame](std::uint32_t) {
    if (ProtocolView* view = OpenProtocolView(frame)) view->Clear();
  });
  frame.SetCommandHandler(kCmdProtocolStates,
                          [toggle](std::uint32_t) { toggle(&Settings::protViewSequence); });
  frame.SetCommandHandler(kCmdProtocolTelegrams,
                          [toggle](std::uint32_t) { toggle(&Settings::protViewRxTx); });
  frame.SetCommandHandler(kCmdProtocolStore, [](std::uint32_t) {
    Settings& settings = ProgramSettings();
    if (settings.protViewLog != 0) {
      ProtocolCloseFile();
      settings.protViewLog = 0;
      ProtocolUseSettings(settings);
    } else {
      settings.protViewLog = 1;
      ProtocolUseSettings(settings);
      ProtocolFlush();
    }
  });
  frame.SetCommandHandler(kCmdProtocolFile, [&frame, &dialogs](std::uint32_t) {
    ProtocolFlush();
    Settings& settings = ProgramSettings();
    if (dialogs.EditProtocolFile(&frame, settings)) ProtocolUseSettings(settings);
  });
  frame.SetCommandHandler(kCmdStartMeasurementLog, [&frame, &dialogs, &log](std::uint32_t) {
    log.Stop();
    Settings& settings = ProgramSettings();
    if (dialogs.EditMeasurementFile(&frame, settings) && settings.protoTime != 0)
      log.Start(settings.protoFile, settings.protoTime);
  });
  frame.SetCommandHandler(kCmdStopMeasurementLog, [&log](std::uint32_t) { log.Stop(); });

  frame.SetMessageHandler(UM_PROTOCOLSTART, [&frame](std::intptr_t, std::intptr_t) {
    ProtocolView* view = OpenProtocolView(frame);
    if (view != nullptr && view->IsStopped()) view->ToggleRecording();
  });
  frame.SetMessageHandler(UM_PROTOCOLSTOP, [&frame](std::intptr_t, std::intptr_t) {
    ProtocolView* view = OpenProtocolView(frame);
    if (view != nullptr && !view->IsStopped()) view->ToggleRecording();
  });

  frame.AddCommandStateSource([&frame, &log](CommandState& state) {
    const ProtocolView* view = OpenProtocolView(frame);
    state.protocolRecording = view == nullptr || !view->IsStopped();
    const Settings& settings = ProgramSettings();
    state.protocolStates = settings.protViewSequence != 0;
    state.protocolTelegrams = settings.protViewRxTx != 0;
    state.protocolStore = settings.protViewLog != 0;
    state.measurementLogRunning = log.Running();
  });

  // The view's own items at the end of the "P&rotocol" popup.
  QMenu* popup = frame.PopupOf(kProtocolPopupId);
  if (popup == nullptr) return;
  popup->addSeparator();
  QAction* copy = popup->addAction(Text(kTextCopyLines, 79));
  copy->setObjectName(QStringLiteral("ProtocolCopy"));
  QAction* selectAll = popup->addAction(Text(kTextSelectAllLines, 79));
  selectAll->setObjectName(QStringLiteral("ProtocolSelectAll"));
  QAction* save = popup->addAction(Text(kTextSaveProtocolAs, 79));
  save->setObjectName(QStringLiteral("ProtocolSaveAs"));
  QAction* stamps = popup->addAction(Text(kTextShowTimeStamps, 79));
  stamps->setObjectName(QStringLiteral("ProtocolTimeStamps"));
  stamps->setCheckable(true);
  QObject::connect(popup, &QMenu::aboutToShow, &frame, [&frame, copy, selectAll, save, stamps] {
    const bool open = OpenProtocolView(frame) != nullptr;
    copy->setEnabled(open);
    selectAll->setEnabled(open);
    save->setEnabled(open);
    stamps->setChecked(ProgramSettings().protViewTimeStamps != 0);
  });
  QObject::connect(copy, &QAction::triggered, &frame, [&frame] {
    if (ProtocolView* view = OpenProtocolView(frame)) view->Terminal()->CopySelection();
  });
  QObject::connect(selectAll, &QAction::triggered, &frame, [&frame] {
    if (ProtocolView* view = OpenProtocolView(frame)) view->Terminal()->SelectAll();
  });
  QObject::connect(save, &QAction::triggered, &frame, [&frame, &dialogs] {
    ProtocolView* view = OpenProtocolView(frame);
    if (view == nullptr) return;
    view->ShowPending();
    const QString path = dialogs.SaveProtocolAs(&frame);
    if (path.isEmpty()) return;
    if (!SaveProtocolLines(*view->Terminal(), path))
      dialogs.ShowError(&frame, Text(kTextSaveProtocolCaption, 79),
                        QString::fromStdString(FormatText(LoadString(kTextCannotCreateFile, 255),
                                                          path.toStdString())));
  });
  QObject::connect(stamps, &QAction::triggered, &frame, [&frame](bool checked) {
    ProgramSettings().protViewTimeStamps = checked ? 1 : 0;
    if (ProtocolView* view = OpenProtocolView(frame)) view->Terminal()->SetShowTimeStamps(checked);
  });
}

}  // namespace heatdiag
