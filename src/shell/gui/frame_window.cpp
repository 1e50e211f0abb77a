#include "shell/gui/frame_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <array>

#include "base/protocol.h"
#include "base/settings.h"
#include "base/string_table.h"
#include "drivers/device_search.h"
#include "drivers/device_table.h"
#include "shell/gui/command_icons.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/mdi_client.h"
#include "shell/gui/shell_core.h"

namespace heatdiag {
namespace {

FrameWindow* g_frame = nullptr;

constexpr std::uint32_t kReadyTextId = 20100;
constexpr std::uint32_t kClearErrorsCaptionId = 20118;
constexpr std::uint32_t kClearErrorsTextId = 21058;
constexpr int kTimerPeriodMs = 200;

// Popup titles of the menu bars.
constexpr std::uint32_t kPopupDiagnosis = 32000;
constexpr std::uint32_t kPopupView = 32001;
constexpr std::uint32_t kPopupFaults = 32002;
constexpr std::uint32_t kPopupPrint = 32003;
constexpr std::uint32_t kPopupControl = 32004;
constexpr std::uint32_t kPopupCalibration = 32005;
constexpr std::uint32_t kPopupDataset = 32006;
constexpr std::uint32_t kPopupExtras = 32007;
constexpr std::uint32_t kPopupWindow = 32008;
constexpr std::uint32_t kPopupHelp = 32009;
constexpr std::uint32_t kPopupProtocol = 32010;
constexpr std::uint32_t kPopupGraph = 32011;
constexpr std::uint32_t kPopupFromFile = 32012;
constexpr std::uint32_t kPopupFromDevice = 32013;
constexpr std::uint32_t kPopupStorage = 32014;
constexpr std::uint32_t kChannelPlaceholderId = 32141;

constexpr std::uint32_t kSeparator = 0;

// The toolbar: 36 entries, 0 for a separator.
constexpr std::array<std::uint32_t, 36> kToolBarEntries = {
    kCmdDeviceSelection, kSeparator,        kCmdStartDiagnosis, kCmdStopDiagnosis,
    kSeparator,          kCmdComponentTest, kCmdFuelPrime,      kSeparator,
    kCmdOverview,        kCmdParameterList, kCmdOperatingData,  kCmdDeviceInfo,
    kCmdGraph,           kCmdProtocol,      kSeparator,         kCmdViewFaults,
    kCmdClearFaults,     kSeparator,        kCmdPrintSummary,   kSeparator,
    kCmdModeOff,         kCmdModeOn,        kCmdModeParking,    kCmdModeSupplemental,
    kCmdModeVentilating, kSeparator,        kCmdCo2Adjustment,  kSeparator,
    kCmdEolCell,         kSeparator,        kCmdFreeTelegram,   kSeparator,
    kCmdDebugMode,       kSeparator,        kCmdAbout,          kCmdHelpMode,
};

// Accelerator table: keys of the commands.
struct Accelerator {
  std::uint32_t command;
  QKeySequence key;
};

bool IsHelpCommand(std::uint32_t id) {
  return id == kCmdHelp || id == kCmdHelpMode || id == kCmdHelpOnFocus || id == kCmdHelpContents;
}

bool IsWindowCommand(std::uint32_t id) {
  return id >= kCmdCascade && id <= kCmdCloseAll;
}

std::uint32_t ModeOf(std::uint32_t id) {
  return id == kCmdModeOff ? 0 : id - kCmdModeOn + 1;
}

std::optional<ViewKind> ViewOfCommand(std::uint32_t id) {
  for (int i = 0; i < kViewCount; ++i) {
    const auto kind = static_cast<ViewKind>(i);
    if (InfoOf(kind).command == id) return kind;
  }
  return std::nullopt;
}

// Shows a command's tooltip, the text after the first line feed of its string; a string without
// a line feed gives none.
class ToolTipFilter final : public QObject {
 public:
  ToolTipFilter(std::uint32_t command, QObject* parent) : QObject(parent), command_(command) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return QObject::eventFilter(watched, event);
    const CommandHint hint = SplitCommandHint(LoadString(command_, 255));
    auto* help = static_cast<QHelpEvent*>(event);
    if (hint.tooltip && !hint.tooltip->empty()) {
      QToolTip::showText(help->globalPos(), QString::fromStdString(*hint.tooltip),
                         qobject_cast<QWidget*>(watched));
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }

 private:
  std::uint32_t command_;
};

}  // namespace

// Worker error boxes: shown on the GUI thread while the worker waits.
class FrameWindow::ErrorBoxBridge final : public ErrorBoxPresenter {
 public:
  explicit ErrorBoxBridge(FrameWindow& frame) : frame_(frame) {}
  void ShowError(std::string_view caption, std::string_view text) override {
    frame_.PresentThreadError(caption, text);
  }

 private:
  FrameWindow& frame_;
};

FrameWindow::FrameWindow(ShellCore& core, FrameDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      core_(core),
      dialogs_(dialogs),
      status_(LoadString(kReadyTextId, StatusText::kMaxChars)),
      target_(std::make_unique<QueuedMessageTarget>()),
      errorBoxes_(std::make_unique<ErrorBoxBridge>(*this)) {
  setObjectName(QStringLiteral("HeatdiagMdiFrame"));
  // Toolbar tooltips also while another program has the focus.
  setAttribute(Qt::WA_AlwaysShowToolTips);
  setWindowIcon(ProgramIcon());
  setWindowTitle(QStringLiteral(HEATDIAG_PRODUCT_NAME));
  for (auto& target : viewTargets_) target = std::make_unique<QueuedMessageTarget>();
  target_->SetHandler([this](std::uint32_t message, std::intptr_t a, std::intptr_t b) {
    HandleFrameMessage(message, a, b);
  });

  mdi_ = new MdiClient(this);
  setCentralWidget(mdi_);
  connect(mdi_, &QMdiArea::subWindowActivated, this, [this] { OnSubWindowActivated(); });

  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildStatusBar();

  frameTimer_.setInterval(kTimerPeriodMs);
  connect(&frameTimer_, &QTimer::timeout, this, [this] { FrameTick(); });
  if (g_frame == nullptr) g_frame = this;
}

ErrorBoxPresenter& FrameWindow::ErrorBoxes() {
  return *errorBoxes_;
}

FrameWindow::~FrameWindow() {
  // The children go after this destructor; what they signal on their way out must not reach
  // the frame any more.
  frameTimer_.stop();
  mdi_->disconnect(this);
  for (const auto& [id, popup] : popups_) popup->disconnect(this);
  for (const auto& window : views_) {
    if (window) window->disconnect(this);
  }
  CloseMessageTargets();
  if (subscribed_) core_.Unsubscribe(target_.get());
  if (g_frame == this) g_frame = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Menus, toolbar, status bar

void FrameWindow::BuildActions() {
  const auto make = [this](std::uint32_t id, std::uint32_t textId) {
    auto* action = new QAction(Text(textId, 255), this);
    action->setData(QVariant::fromValue(id));
    connect(action, &QAction::triggered, this, [this, id] {
      if (commandFilter_ && commandFilter_(id)) return;
      if (IsHelpCommand(id)) return;  // the help module takes these before the command handler
      HandleCommand(id);
    });
    actions_[id] = action;
    return action;
  };
  for (std::uint32_t id = kFirstCommand; id <= kLastCommand; ++id) {
    if (id >= kCmdGraphChannelFirst && id <= kCmdGraphChannelLast) {
      make(id, kChannelPlaceholderId);
    } else if (FindString(id - kMenuTextOffset) != nullptr) {
      make(id, id - kMenuTextOffset);
    }
  }
  // Toolbar-only and accelerator-only commands.
  make(kCmdHelpMode, kCmdHelpMode)
      ->setText(QString::fromStdString(
          SplitCommandHint(LoadString(kCmdHelpMode, 255)).tooltip.value_or("")));
  make(kCmdHelpOnFocus, kCmdHelpOnFocus);

  const std::array<Accelerator, 10> accelerators = {{
      {kCmdStartDiagnosis, QKeySequence(Qt::Key_F2)},
      {kCmdStopDiagnosis, QKeySequence(Qt::Key_F3)},
      {kCmdModeOff, QKeySequence(Qt::Key_F4)},
      {kCmdClearFaults, QKeySequence(Qt::Key_F5)},
      {kCmdEolCell, QKeySequence(Qt::Key_F6)},
      {kCmdDebugMode, QKeySequence(Qt::Key_F7)},
      {kCmdFreeTelegram, QKeySequence(Qt::Key_F8)},
      {kCmdPrintSummary, QKeySequence(Qt::Key_F12)},
      {kCmdHelpMode, QKeySequence(Qt::SHIFT | Qt::Key_F1)},
      {kCmdHelpOnFocus, QKeySequence(Qt::Key_F1)},
  }};
  for (const auto& accelerator : accelerators) {
    QAction* action = actions_.at(accelerator.command);
    action->setShortcut(accelerator.key);
    action->setShortcutContext(Qt::WindowShortcut);
    addAction(action);
  }
  // Alt+"/" and Alt+"?" open the About box.
  actions_.at(kCmdAbout)->setShortcuts(
      {QKeySequence(Qt::ALT | Qt::Key_Slash), QKeySequence(Qt::ALT | Qt::Key_Question)});
  addAction(actions_.at(kCmdAbout));
}

QMenu* FrameWindow::AddPopup(QMenu* parent, std::uint32_t titleId,
                             std::initializer_list<std::uint32_t> commands) {
  QMenu* popup = parent != nullptr ? parent->addMenu(Text(titleId, 255))
                                   : menuBar()->addMenu(Text(titleId, 255));
  popup->setObjectName(QStringLiteral("Popup%1").arg(titleId));
  for (std::uint32_t id : commands) {
    if (id == kSeparator) {
      popup->addSeparator();
    } else {
      popup->addAction(actions_.at(id));
    }
  }
  // QMenu also relays hovers of its actions from the toolbar; only an open menu gives a hint.
  connect(popup, &QMenu::hovered, this, [this, popup](QAction* action) {
    if (popup->isVisible()) ShowMenuHint(action);
  });
  connect(popup, &QMenu::aboutToShow, this, [this] { UpdateCommandUI(); });
  if (parent == nullptr) {
    // The menu closed: the current status text comes back.
    connect(popup, &QMenu::aboutToHide, this,
            [this] { statusLabel_->setText(QString::fromStdString(status_.Current())); });
  }
  popups_[titleId] = popup;
  return popup;
}

void FrameWindow::BuildMenus() {
  AddPopup(nullptr, kPopupDiagnosis,
           {kCmdDeviceSelection, kSeparator, kCmdStartDiagnosis, kCmdStopDiagnosis, kSeparator,
            kCmdComponentTest, kCmdFuelPrime, kSeparator, kCmdSaveSummary, kCmdOpenSummary,
            kSeparator, kCmdStartMeasurementLog, kCmdStopMeasurementLog, kSeparator, kCmdClose});
  AddPopup(nullptr, kPopupView,
           {kCmdOverview, kCmdOperatingData, kCmdDeviceInfo, kCmdGraph, kCmdParameterList,
            kCmdProtocol});
  AddPopup(nullptr, kPopupFaults, {kCmdViewFaults, kCmdClearFaults});
  AddPopup(nullptr, kPopupPrint, {kCmdPrintSummary});
  AddPopup(nullptr, kPopupControl,
           {kCmdModeOff, kCmdModeOn, kCmdModeParking, kCmdModeSupplemental, kCmdModeVentilating,
            kSeparator, kCmdModeBoost, kCmdModePump});
  AddPopup(
      nullptr, kPopupCalibration,
      {kCmdCo2Adjustment, kCmdCo2AdjustmentCold, kCmdVoltageAdjustment, kCmdFlameSensorAdjustment});
  QMenu* dataset = AddPopup(nullptr, kPopupDataset, {});
  AddPopup(dataset, kPopupFromFile, {kCmdFileIntoDevice, kCmdFileIntoEditor, kCmdFileIntoStorage});
  AddPopup(dataset, kPopupFromDevice,
           {kCmdDeviceIntoFile, kCmdDeviceIntoEditor, kCmdDeviceIntoStorage});
  AddPopup(dataset, kPopupStorage,
           {kCmdStorageIntoFile, kCmdStorageIntoEditor, kCmdStorageIntoDevice, kCmdStorageClear});
  dataset->addAction(actions_.at(kCmdEolCell));
  dataset->addAction(actions_.at(kCmdEolBackup));
  AddPopup(nullptr, kPopupExtras,
           {kCmdComPort, kSeparator, kCmdAutoStart, kSeparator, kCmdBlockMode, kCmdBlockBaud,
            kSeparator, kCmdFreeTelegram, kSeparator, kCmdDebugMode, kCmdLoadHeader});
  protocolMenu_ =
      AddPopup(nullptr, kPopupProtocol,
               {kCmdProtocolRecord, kCmdProtocolClear, kSeparator, kCmdProtocolStates,
                kCmdProtocolTelegrams, kSeparator, kCmdProtocolStore, kCmdProtocolFile});
  graphMenu_ = AddPopup(nullptr, kPopupGraph, {kCmdGraphSplit, kSeparator});
  for (std::uint32_t id = kCmdGraphChannelFirst; id <= kCmdGraphChannelLast; ++id)
    graphMenu_->addAction(actions_.at(id));
  windowMenu_ =
      AddPopup(nullptr, kPopupWindow, {kCmdCascade, kCmdTile, kCmdArrangeIcons, kCmdCloseAll});
  connect(windowMenu_, &QMenu::aboutToShow, this, [this] { RefreshWindowList(); });
  AddPopup(nullptr, kPopupHelp, {kCmdHelp, kSeparator, kCmdAbout});
  SelectMenuBar(FrameMenu::kMain);
}

void FrameWindow::BuildToolBar() {
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("ToolBar"));
  toolBar_->setMovable(false);
  toolBar_->setFloatable(false);
  toolBar_->setIconSize(QSize(16, 16));
  // Buttons of 23 x 23 pixels around their 16 x 16 images, as compact as the frame's default
  // width needs for all 36 entries.
  toolBar_->setStyleSheet(QStringLiteral(
      "QToolBar { spacing: 0px; padding: 1px; }"
      "QToolButton { min-width: 21px; max-width: 21px; min-height: 21px; max-height: 21px;"
      " padding: 0px; margin: 0px; }"));
  toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
  toolBar_->toggleViewAction()->setVisible(false);
  for (std::uint32_t id : kToolBarEntries) {
    if (id == kSeparator) {
      toolBar_->addSeparator();
      continue;
    }
    QAction* action = actions_.at(id);
    action->setIcon(CommandIcon(id));
    toolBar_->addAction(action);
    if (QWidget* button = toolBar_->widgetForAction(action)) {
      button->setObjectName(QStringLiteral("Button%1").arg(id));
      button->installEventFilter(new ToolTipFilter(id, button));
    }
  }
  addToolBar(Qt::TopToolBarArea, toolBar_);
}

void FrameWindow::BuildStatusBar() {
  statusLabel_ = new QLabel(this);
  statusLabel_->setObjectName(QStringLiteral("StatusText"));
  statusLabel_->setMinimumWidth(1);
  statusLabel_->setText(QString::fromStdString(status_.Current()));
  statusBar()->addWidget(statusLabel_, 1);
  statusBar()->setSizeGripEnabled(true);
}

QAction* FrameWindow::CommandAction(std::uint32_t id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* FrameWindow::PopupOf(std::uint32_t titleId) const {
  auto it = popups_.find(titleId);
  return it == popups_.end() ? nullptr : it->second;
}

void FrameWindow::SelectMenuBar(FrameMenu menu) {
  menuBar_ = menu;
  protocolMenu_->menuAction()->setVisible(menu == FrameMenu::kProtocol);
  graphMenu_->menuAction()->setVisible(menu == FrameMenu::kGraph);
}

void FrameWindow::OnSubWindowActivated() {
  auto* window = qobject_cast<DocumentWindow*>(mdi_->activeSubWindow());
  SelectMenuBar(window != nullptr ? window->View()->MenuBar() : FrameMenu::kMain);
}

void FrameWindow::RefreshWindowList() {
  for (QAction* action : windowListActions_) {
    windowMenu_->removeAction(action);
    action->deleteLater();
  }
  windowListActions_.clear();
  const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
  if (windows.isEmpty()) return;
  windowListActions_.append(windowMenu_->addSeparator());
  int number = 1;
  for (QMdiSubWindow* window : windows) {
    const QString title = number < 10
                              ? QStringLiteral("&%1 %2").arg(number).arg(window->windowTitle())
                              : QStringLiteral("%1 %2").arg(number).arg(window->windowTitle());
    QAction* action = windowMenu_->addAction(title);
    if (window == mdi_->activeSubWindow()) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    QPointer<QMdiSubWindow> guarded(window);
    connect(action, &QAction::triggered, this, [this, guarded] {
      if (guarded) mdi_->setActiveSubWindow(guarded);
    });
    windowListActions_.append(action);
    ++number;
  }
}

void FrameWindow::ShowMenuHint(QAction* action) {
  if (action == nullptr || action->menu() != nullptr || action->isSeparator()) return;
  bool ok = false;
  const std::uint32_t id = action->data().toUInt(&ok);
  if (!ok || id == 0) return;
  const char* text = FindString(id);
  if (text == nullptr) return;  // no hint: the status bar stays as it is
  statusLabel_->setText(
      QString::fromStdString(SplitCommandHint(CutUtf8(text, StatusText::kMaxChars)).hint));
}

void FrameWindow::ShowContextMenu(QWidget* window, std::uint32_t commandId, QPoint point) {
  QAction* target = CommandAction(commandId);
  if (target == nullptr || window == nullptr) return;
  for (QAction* top : menuBar()->actions()) {
    QMenu* popup = top->menu();
    if (popup == nullptr || !top->isVisible()) continue;
    if (!popup->actions().contains(target)) continue;
    UpdateCommandUI();
    popup->exec(window->mapToGlobal(point));
    return;
  }
}

// ---------------------------------------------------------------------------------------------
// Command state

CommandState FrameWindow::CurrentCommandState() const {
  CommandState s;
  const std::uint32_t device = core_.SelectedDevice();
  s.deviceSelected = device < kNoDevice;
  s.sessionActive = s.deviceSelected && core_.SessionActive();
  s.storeDataValid = core_.StoreDataValid();
  s.searchRunning = core_.SearchRunning();
  if (s.deviceSelected) {
    for (std::uint32_t n = 0; n < kDriverFunctionCount; ++n)
      s.available[n] = core_.FunctionAvailable(n);
    s.operatingMode = core_.OperatingMode();
  }
  for (int i = 0; i < kViewCount; ++i)
    s.viewOpen[static_cast<std::size_t>(i)] = !views_[static_cast<std::size_t>(i)].isNull();
  const Settings& settings = ProgramSettings();
  s.autoStart = settings.autoStart != 0;
  s.hbusBlock = settings.hbusBlock != 0;
  s.eolBackup = settings.eolBackup != 0;
  for (const auto& source : stateSources_) source(s);
  return s;
}

void FrameWindow::UpdateCommandUI() {
  const CommandState state = CurrentCommandState();
  for (const auto& [id, action] : actions_) {
    action->setEnabled(IsCommandEnabled(id, state));
    // Only a checked item is checkable, so that menus show a mark where one belongs and no
    // empty boxes elsewhere; its toolbar button then shows pressed.
    const bool checked = IsCheckableCommand(id) && IsCommandChecked(id, state);
    if (action->isCheckable() != checked) action->setCheckable(checked);
    if (checked) action->setChecked(true);
  }
}

// ---------------------------------------------------------------------------------------------
// Command handler

bool FrameWindow::HandleCommand(std::uint32_t id) {
  if (id < kFirstCommand || id > kLastCommand || IsHelpCommand(id)) return false;
  Settings& settings = ProgramSettings();
  const bool deviceSelected = core_.SelectedDevice() < kNoDevice;
  const bool session = deviceSelected && core_.SessionActive();

  if (const auto view = ViewOfCommand(id)) {
    ToggleView(*view);
  } else if (id >= kCmdModeOn && id <= kCmdModeOff) {
    if (session) core_.SetOperatingMode(ModeOf(id));
  } else {
    switch (id) {
      case kCmdAbout:
        dialogs_.ShowAbout(this);
        break;
      case kCmdDeviceSelection:
        if (!core_.SearchRunning()) RunDeviceSelection();
        break;
      case kCmdStartDiagnosis:
        if (deviceSelected && !session && !core_.SearchRunning()) core_.StartDiagnosis();
        break;
      case kCmdStopDiagnosis:
        settings.autoStart = 0;
        if (core_.SearchRunning()) core_.CancelSearch();
        core_.FinishDiagnosis();
        break;
      case kCmdClearFaults:
        ClearFaults();
        break;
      case kCmdComPort:
        if (const std::uint32_t port =
                dialogs_.SelectComPort(this, static_cast<std::uint32_t>(settings.comPort));
            port != 0)
          settings.comPort = static_cast<std::int32_t>(port);
        break;
      case kCmdAutoStart:
        settings.autoStart = settings.autoStart != 0 ? 0 : 1;
        break;
      case kCmdEolBackup:
        settings.eolBackup = settings.eolBackup != 0 ? 0 : 1;
        break;
      case kCmdBlockMode:
        settings.hbusBlock = settings.hbusBlock != 0 ? 0 : 1;
        break;
      case kCmdComponentTest:
        if (deviceSelected && core_.FunctionAvailable(kFnOwnComponentTest) != 0)
          core_.RunOwnComponentTest();
        else if (const auto route = commandHandlers_.find(id); route != commandHandlers_.end())
          route->second(id);  // the component test dialog
        break;
      case kCmdCascade:
        mdi_->cascadeSubWindows();
        break;
      case kCmdTile:
        mdi_->tileSubWindows();
        break;
      case kCmdArrangeIcons:
        ArrangeIcons();
        break;
      case kCmdCloseAll:
        CloseAllViews();
        break;
      case kCmdClose:
        close();
        break;
      default:
        // Dataset, service dialogs, calibrations, protocol, graph, report and debug commands
        // belong to their own modules.
        if (const auto route = commandHandlers_.find(id); route != commandHandlers_.end())
          route->second(id);
        break;
    }
  }
  if (!IsWindowCommand(id)) UpdateCommandUI();
  return true;
}

void FrameWindow::ClearFaults() {
  if (!dialogs_.AskYesNo(this, Text(kClearErrorsCaptionId, 255), Text(kClearErrorsTextId, 255)))
    return;
  if (core_.SelectedDevice() < kNoDevice && core_.SessionActive()) core_.ClearFaults();
}

void FrameWindow::RunDeviceSelection() {
  const std::uint32_t current = core_.SelectedDevice();
  const int result = dialogs_.SelectDevice(this, current);
  const bool session = current < kNoDevice && core_.SessionActive();
  const DeviceSelectionPlan plan = PlanDeviceSelection(result, current, session);
  if (plan.emptyTemporaryStorage) core_.ResetTemporaryStorage();
  if (plan.finishDiagnosis) core_.FinishDiagnosis();
  if (plan.startSearch) {
    if (dialogs_.AskOkCancel(this, Text(kTextSearchWarningCaption, 255), Text(kTextSearchWarning)))
      core_.StartAutomaticSearch();
    return;
  }
  if (!plan.select) return;
  core_.SelectDevice(*plan.select);
  UpdateWindowTitle();
  core_.StartDiagnosis();
}

void FrameWindow::ArrangeIcons() {
  // Minimised document windows line up along the bottom edge of the area.
  int x = 0;
  const int bottom = mdi_->viewport()->height();
  for (QMdiSubWindow* window : mdi_->subWindowList(QMdiArea::CreationOrder)) {
    if (!window->isMinimized()) continue;
    const QSize size = window->size();
    if (x > 0 && x + size.width() > mdi_->viewport()->width()) x = 0;
    window->move(x, bottom - size.height());
    x += size.width();
  }
}

// ---------------------------------------------------------------------------------------------
// Status bar and title

void FrameWindow::SetStatusText(std::optional<std::string_view> text) {
  status_.Set(text);
  statusLabel_->setText(QString::fromStdString(status_.Current()));
}

void FrameWindow::SetStatusTextById(std::uint32_t id) {
  if (id == 0) {
    SetStatusText(std::nullopt);
    return;
  }
  SetStatusText(LoadString(id, StatusText::kMaxChars));
}

QString FrameWindow::StatusBarText() const {
  return statusLabel_->text();
}

void FrameWindow::UpdateWindowTitle() {
  const std::string title = std::string(HEATDIAG_PRODUCT_NAME) + " V" + HEATDIAG_PRODUCT_VERSION +
                            " - [" + core_.DeviceName(core_.SelectedDevice()) + "]";
  setWindowTitle(QString::fromStdString(title));
}

// ---------------------------------------------------------------------------------------------
// Timer and messages

void FrameWindow::StartFrameTimer() {
  frameTimer_.start();
}

void FrameWindow::FrameTick() {
  UpdateCommandUI();
  if (status_.Tick()) statusLabel_->setText(QString::fromStdString(status_.Current()));
  const bool session = core_.SelectedDevice() < kNoDevice && core_.SessionActive();
  // A start while the automatic search holds the port would only fail on every tick.
  if (autoStart_.Tick(ProgramSettings().autoStart != 0, session) && !core_.SearchRunning())
    core_.StartDiagnosis();
}

void FrameWindow::HandleFrameMessage(std::uint32_t message, std::intptr_t a, std::intptr_t b) {
  switch (message) {
    case UM_STARTUP:
      Startup();
      break;
    case UM_SHOWERROR: {
      const auto textId = static_cast<std::uint32_t>(a);
      if (textId == 0 || FindString(textId) == nullptr || FindString(kErrorCaptionId) == nullptr)
        break;
      const std::string text = FormatText(LoadString(textId, 255), static_cast<long>(b));
      ProtocolAdd(text, kProtocolError);
      PresentThreadError(LoadString(kErrorCaptionId, 255), text);
      break;
    }
    case UM_LINKENDED:
      if (core_.SelectedDevice() < kNoDevice && core_.SessionActive()) core_.FinishDiagnosis();
      break;
    case UM_DATAREADY:
      OnDataReady();
      break;
    default:
      // Store notifications 1044..1048 are for the views; the dataset, CO2, protocol and
      // search messages belong to their modules.
      if (const auto route = messageHandlers_.find(message); route != messageHandlers_.end())
        route->second(a, b);
      break;
  }
}

void FrameWindow::Startup() {
  core_.Subscribe(target_.get(), 0, 0);
  subscribed_ = true;
  const Settings& settings = ProgramSettings();
  for (ViewKind kind : kReopenOrder) {
    if (settings.*(InfoOf(kind).open) != 0) OpenView(kind);
  }
}

void FrameWindow::OnDataReady() {
  SetStatusText(std::nullopt);
  if (ProgramSettings().overviewOpen == 0) OpenView(ViewKind::kOverview);
}

void FrameWindow::PresentThreadError(std::string_view caption, std::string_view text) {
  const QString captionText =
      QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
  const QString bodyText = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QueuedMessageTarget* target = target_.get();
  RunOnGuiThreadAndWait(
      this,
      [this, target, captionText, bodyText] {
        // Unattended restarts must not stop at a box; the protocol has the text.
        if (ProgramSettings().autoStart != 0 || destroyed_ || target->IsClosed()) return;
        dialogs_.ShowError(this, captionText, bodyText);
      },
      [target] { return target->IsClosed(); });
}

void FrameWindow::CloseMessageTargets() {
  target_->Close();
  for (auto& target : viewTargets_) target->Close();
}

// ---------------------------------------------------------------------------------------------
// Views

void FrameWindow::SetCommandHandler(std::uint32_t id, CommandHandler handler) {
  commandHandlers_[id] = std::move(handler);
}

void FrameWindow::AddCommandStateSource(CommandStateSource source) {
  stateSources_.push_back(std::move(source));
}

void FrameWindow::SetMessageHandler(std::uint32_t message, MessageHandler handler) {
  messageHandlers_[message] = std::move(handler);
}

void FrameWindow::SetViewFactory(ViewKind kind, ViewFactory factory) {
  factories_[Index(kind)] = std::move(factory);
}

bool FrameWindow::HasView(ViewKind kind) const {
  return static_cast<bool>(factories_[Index(kind)]);
}

bool FrameWindow::IsViewOpen(ViewKind kind) const {
  return !views_[Index(kind)].isNull();
}

DocumentWindow* FrameWindow::ViewWindow(ViewKind kind) const {
  return views_[Index(kind)].data();
}

DocumentView* FrameWindow::View(ViewKind kind) const {
  DocumentWindow* window = ViewWindow(kind);
  return window != nullptr ? window->View() : nullptr;
}

void FrameWindow::OpenView(ViewKind kind) {
  if (IsViewOpen(kind) || !HasView(kind)) return;
  DocumentView* view = factories_[Index(kind)]();
  if (view == nullptr) return;
  auto* window = new DocumentWindow(view);
  window->setWindowIcon(CommandIcon(InfoOf(kind).command));
  mdi_->addSubWindow(window);
  views_[Index(kind)] = window;
  connect(window, &DocumentWindow::Closed, this, [this, window](ViewKind closed) {
    // Closed now, even though the window object goes a little later.
    if (views_[Index(closed)] == window) views_[Index(closed)] = nullptr;
    UpdateCommandUI();
  });
  const WindowPlacement placement = UnpackPlacement(ProgramSettings().*(InfoOf(kind).placement));
  const QSize area = mdi_->viewport()->size();
  if (!window->ApplyPlacement(placement, area)) window->setGeometry(DefaultViewRect(area));
  if (!window->isVisible()) window->show();
  mdi_->setActiveSubWindow(window);
  UpdateCommandUI();
}

QRect FrameWindow::DefaultViewRect(QSize area) const {
  // Cascaded from the top left like the windows already open, and inside the area.
  constexpr int kStep = 26;
  const QSize size(std::max(360, area.width() * 3 / 5), std::max(240, area.height() * 3 / 5));
  const int others = static_cast<int>(mdi_->subWindowList().size()) - 1;
  int offset = std::max(0, others) * kStep;
  if (offset + size.width() > area.width() || offset + size.height() > area.height()) offset = 0;
  return {QPoint(offset, offset), size};
}

void FrameWindow::CloseView(ViewKind kind) {
  DocumentWindow* window = ViewWindow(kind);
  if (window == nullptr) return;
  window->close();
  UpdateCommandUI();
}

void FrameWindow::ToggleView(ViewKind kind) {
  if (IsViewOpen(kind)) {
    CloseView(kind);
  } else {
    OpenView(kind);
  }
}

void FrameWindow::CloseAllViews() {
  for (QMdiSubWindow* window : mdi_->subWindowList()) {
    if (window->isMinimized() || window->isMaximized()) window->showNormal();
    window->close();
  }
  UpdateCommandUI();
}

// ---------------------------------------------------------------------------------------------
// Frame window events

bool FrameWindow::event(QEvent* event) {
  // Status hints come from the menus' hover handling; Qt's own status tips would clear them.
  if (event->type() == QEvent::StatusTip) return true;
  return QMainWindow::event(event);
}

void FrameWindow::closeEvent(QCloseEvent* event) {
  if (destroyed_) {
    event->accept();
    return;
  }
  destroyed_ = true;
  frameTimer_.stop();
  if (subscribed_) {
    core_.Unsubscribe(target_.get());
    subscribed_ = false;
  }
  if (core_.SearchRunning()) core_.CancelSearch();
  if (core_.SelectedDevice() < kNoDevice && core_.SessionActive()) core_.FinishDiagnosis();
  Settings& settings = ProgramSettings();
  for (int i = 0; i < kViewCount; ++i) {
    const auto kind = static_cast<ViewKind>(i);
    // Views this program does not have keep their saved flag.
    if (HasView(kind)) settings.*(InfoOf(kind).open) = IsViewOpen(kind) ? 1 : 0;
  }
  for (QMdiSubWindow* window : mdi_->subWindowList()) window->close();
  event->accept();
}

void FrameWindow::SaveFrameRect() {
  if (!isVisible() || destroyed_) return;
  const QRect rect = frameGeometry();
  Settings& settings = ProgramSettings();
  settings.windowLeft = rect.left();
  settings.windowTop = rect.top();
  settings.windowRight = rect.left() + rect.width();
  settings.windowBottom = rect.top() + rect.height();
}

void FrameWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  CorrectForWindowFrame();
  SaveFrameRect();
}

void FrameWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  CorrectForWindowFrame();
  SaveFrameRect();
}

void FrameWindow::ApplySavedPlacement() {
  const Settings& settings = ProgramSettings();
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  placement_ = PlaceFrame(settings.windowLeft, settings.windowTop, settings.windowRight,
                          settings.windowBottom, available.width(), available.height());
  move(available.left() + placement_.x, available.top() + placement_.y);
  resize(placement_.width, placement_.height);
  // The saved rectangle includes the window frame, which is known only once the window manager
  // has framed the window. Until then (at most a few seconds) the client size is corrected once.
  frameCorrectionPending_ = true;
  QTimer::singleShot(3000, this, [this] { frameCorrectionPending_ = false; });
}

void FrameWindow::CorrectForWindowFrame() {
  if (!frameCorrectionPending_ || !isVisible() || isMaximized() || isFullScreen()) return;
  const QSize frame = frameGeometry().size() - size();
  if (frame.width() <= 0 && frame.height() <= 0) return;
  frameCorrectionPending_ = false;
  resize(std::max(1, placement_.width - frame.width()),
         std::max(1, placement_.height - frame.height()));
}

void FrameWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  QTimer::singleShot(0, this, [this] { CorrectForWindowFrame(); });
}

// ---------------------------------------------------------------------------------------------
// Operations for other modules

FrameWindow* TheFrame() {
  return g_frame;
}

void SetStatusText(std::optional<std::string_view> text) {
  if (g_frame != nullptr) g_frame->SetStatusText(text);
}

void SetStatusTextById(std::uint32_t id) {
  if (g_frame != nullptr) g_frame->SetStatusTextById(id);
}

void UpdateWindowTitle() {
  if (g_frame != nullptr) g_frame->UpdateWindowTitle();
}

void UpdateCommandUI() {
  if (g_frame != nullptr) g_frame->UpdateCommandUI();
}

void ShowContextMenu(QWidget* window, std::uint32_t commandId, QPoint point) {
  if (g_frame != nullptr) g_frame->ShowContextMenu(window, commandId, point);
}

}  // namespace heatdiag
