#include "debug/gui/debug_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMoveEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <cstring>

#include "base/frame_sink.h"
#include "base/settings.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/frame_window.h"
#include "shell/gui/help_controller.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kTextCaption = 36010;
constexpr std::uint32_t kTextHeader = 36011;
constexpr std::uint32_t kTextChoose = 36012;
constexpr std::uint32_t kTextState = 36013;
constexpr std::uint32_t kTextLast = 36014;
constexpr std::uint32_t kTextCurrent = 36015;
constexpr std::uint32_t kTextNew = 36016;
constexpr std::uint32_t kTextSet = 36017;
constexpr std::uint32_t kTextLastJump = 36018;
constexpr std::uint32_t kTextRunTime = 36019;
constexpr std::uint32_t kTextRunTimeSet = 36020;
constexpr std::uint32_t kTextRunTimeActual = 36021;
constexpr std::uint32_t kTextRun = 36022;
constexpr std::uint32_t kTextStep = 36023;
constexpr std::uint32_t kTextStepNow = 36024;
constexpr std::uint32_t kTextStop = 36025;
constexpr std::uint32_t kTextExit = 36026;
constexpr std::uint32_t kTextHeaderFileTitle = 36030;
constexpr std::uint32_t kTextHeaderFilter = 36031;
constexpr std::uint32_t kTextHeaderPattern = 36032;

QPointer<DebugWindow> g_window;
HeaderChooser g_chooser;

// The driver keeps the window's message target while the mode runs: it outlives every window.
QueuedMessageTarget& DebugTarget() {
  static auto* target = new QueuedMessageTarget;
  return *target;
}

std::int32_t ReadInt32(const DebugPosBlock& block, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(block[at + i]) << (8 * i);
  return static_cast<std::int32_t>(value);
}

void WriteInt32(DebugPosBlock& block, std::size_t at, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) block[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

QLineEdit* ReadOnlyField() {
  auto* field = new QLineEdit;
  field->setReadOnly(true);
  return field;
}

std::optional<QString> FileDialogChooser(QWidget* owner, const QString& current) {
  const QString filter = Text(kTextHeaderFilter, 255) + " (" + Text(kTextHeaderPattern, 255) + ")";
  QFileDialog dialog(owner, Text(kTextHeaderFileTitle, 255));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(filter);
  if (!current.contains('*')) dialog.selectFile(current);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

}  // namespace

void SetHeaderChooser(HeaderChooser chooser) {
  g_chooser = std::move(chooser);
}

bool ChooseSequenceHeader(QWidget* owner) {
  Settings& settings = ProgramSettings();
  const QString current = QString::fromStdString(settings.debugHeader);
  const std::optional<QString> chosen =
      g_chooser ? g_chooser(owner, current) : FileDialogChooser(owner, current);
  if (!chosen || chosen->isEmpty()) return false;
  settings.debugHeader = CutSettingText(chosen->toStdString());
  return true;
}

DebugWindow::DebugWindow(QueuedMessageTarget& target, QWidget* frame)
    : QDialog(frame), target_(target), session_(ProgramDebugState(), ProgramSequenceNames()) {
  setWindowTitle(Text(kTextCaption, 255));
  SetHelpContext(this, HelpContextOfDialog(156));
  setModal(false);

  header_ = ReadOnlyField();
  choose_ = new QPushButton(Text(kTextChoose, 255));
  auto* headerBox = new QGroupBox(Text(kTextHeader, 255));
  auto* headerRow = new QHBoxLayout(headerBox);
  headerRow->addWidget(header_, 1);
  headerRow->addWidget(choose_);

  last_ = ReadOnlyField();
  current_ = ReadOnlyField();
  newState_ = new QComboBox;
  newState_->setMinimumContentsLength(20);
  set_ = new QPushButton(Text(kTextSet, 255));
  auto* stateBox = new QGroupBox(Text(kTextState, 255));
  auto* states = new QGridLayout(stateBox);
  states->addWidget(new QLabel(Text(kTextLast, 255)), 0, 0);
  states->addWidget(last_, 0, 1);
  states->addWidget(new QLabel(Text(kTextCurrent, 255)), 1, 0);
  states->addWidget(current_, 1, 1);
  states->addWidget(new QLabel(Text(kTextNew, 255)), 2, 0);
  states->addWidget(newState_, 2, 1);
  states->addWidget(set_, 2, 2);

  lastJump_ = ReadOnlyField();
  auto* jumpBox = new QGroupBox(Text(kTextLastJump, 255));
  (new QHBoxLayout(jumpBox))->addWidget(lastJump_);

  runTimeSet_ = ReadOnlyField();
  runTimeActual_ = ReadOnlyField();
  auto* timeBox = new QGroupBox(Text(kTextRunTime, 255));
  auto* times = new QHBoxLayout(timeBox);
  times->addWidget(new QLabel(Text(kTextRunTimeSet, 255)));
  times->addWidget(runTimeSet_);
  times->addWidget(new QLabel(Text(kTextRunTimeActual, 255)));
  times->addWidget(runTimeActual_);

  run_ = new QPushButton(Text(kTextRun, 255));
  step_ = new QPushButton(Text(kTextStep, 255));
  stepNow_ = new QPushButton(Text(kTextStepNow, 255));
  stop_ = new QPushButton(Text(kTextStop, 255));
  exit_ = new QPushButton(Text(kTextExit, 255));
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {run_, step_, stepNow_, stop_, exit_}) {
    button->setAutoDefault(false);
    buttons->addWidget(button);
  }
  set_->setAutoDefault(false);
  choose_->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(headerBox);
  layout->addWidget(stateBox);
  layout->addWidget(jumpBox);
  layout->addWidget(timeBox);
  layout->addLayout(buttons);

  connect(run_, &QPushButton::clicked, this, [this] { session_.RequestAction(kDebugRun); });
  connect(step_, &QPushButton::clicked, this, [this] { session_.RequestAction(kDebugStep); });
  connect(stepNow_, &QPushButton::clicked, this, [this] { session_.RequestAction(kDebugStepNow); });
  connect(stop_, &QPushButton::clicked, this, [this] { session_.RequestAction(kDebugStop); });
  connect(set_, &QPushButton::clicked, this, [this] {
    const int index = newState_->currentIndex();
    if (index >= 0) session_.SetNewState(static_cast<std::uint16_t>(index));
  });
  connect(choose_, &QPushButton::clicked, this, &DebugWindow::ChooseHeader);
  connect(exit_, &QPushButton::clicked, this, &DebugWindow::ExitMode);
  // F7 toggles the window from inside it too.
  connect(new QShortcut(QKeySequence(Qt::Key_F7), this), &QShortcut::activated, this,
          &DebugWindow::ExitMode);

  target_.SetHandler(
      [this](std::uint32_t message, std::intptr_t, std::intptr_t) {
        if (message == kDebugRefreshMessage) Refresh();
      },
      this);
  session_.Open(&target_, ProgramSettings().debugHeader);
  FillStateList();
  target_.Post(kDebugRefreshMessage, 0, 0);
  connect(&timer_, &QTimer::timeout, this, &DebugWindow::Tick);
  timer_.start(kTimerMs);
}

DebugWindow::~DebugWindow() {
  session_.Exit();
  target_.ClearHandler(this);
}

void DebugWindow::PlaceOnScreen(QWidget* frame) {
  const DebugPosBlock& pos = ProgramSettings().debugPos;
  const int x = ReadInt32(pos, 0);
  const int y = ReadInt32(pos, 4);
  QScreen* screen = frame != nullptr ? frame->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  QRect rect(QPoint(0, 0), frameGeometry().size());
  if (x == 0 && y == 0) {
    rect.moveCenter(frame != nullptr ? frame->frameGeometry().center() : area.center());
  } else {
    rect.moveTopLeft(QPoint(x, y));
  }
  // Kept on the screen.
  rect.moveLeft(std::max(area.left(), std::min(rect.left(), area.right() - rect.width() + 1)));
  rect.moveTop(std::max(area.top(), std::min(rect.top(), area.bottom() - rect.height() + 1)));
  move(rect.topLeft());
  placed_ = true;
}

void DebugWindow::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  if (!placed_) return;
  DebugPosBlock& pos = ProgramSettings().debugPos;
  WriteInt32(pos, 0, this->pos().x());
  WriteInt32(pos, 4, this->pos().y());
}

void DebugWindow::FillStateList() {
  newState_->clear();
  for (const std::string& name : session_.StateList())
    newState_->addItem(QString::fromStdString(name));
}

void DebugWindow::Tick() {
  switch (session_.Tick()) {
    case DebugSession::TickOutcome::kNothing:
      break;
    case DebugSession::TickOutcome::kRefresh:
      target_.Post(kDebugRefreshMessage, 0, 0);
      break;
    case DebugSession::TickOutcome::kFailed:
      ExitMode();
      ShowThreadError(kTextDebugCannotStart);
      break;
  }
}

void DebugWindow::Refresh() {
  if (!session_.IsOpen()) return;
  header_->setText(QString::fromStdString(ProgramSettings().debugHeader));
  const DebugDisplay display = session_.Refresh();
  current_->setText(QString::fromStdString(display.current));
  last_->setText(QString::fromStdString(display.last));
  lastJump_->setText(QString::fromStdString(display.lastJump));
  runTimeSet_->setText(QString::fromStdString(display.runTimeSet));
  runTimeActual_->setText(QString::fromStdString(display.runTimeActual));
  run_->setEnabled(display.buttons.run);
  stop_->setEnabled(display.buttons.stop);
  step_->setEnabled(display.buttons.step);
  stepNow_->setEnabled(display.buttons.stepNow);
  set_->setEnabled(display.buttons.set);
}

void DebugWindow::ChooseHeader() {
  if (!ChooseSequenceHeader(this)) return;
  ReloadHeader();
}

void DebugWindow::ReloadHeader() {
  newState_->clear();
  session_.LoadHeader(ProgramSettings().debugHeader);
  FillStateList();
  target_.Post(kDebugRefreshMessage, 0, 0);
}

void DebugWindow::ExitMode() {
  timer_.stop();
  session_.Exit();
  target_.ClearHandler(this);
  hide();
  deleteLater();
  if (g_window == this) g_window = nullptr;
  if (FrameWindow* frame = TheFrame()) frame->UpdateCommandUI();
}

void DebugWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  ExitMode();
}

void DebugWindow::reject() {
  ExitMode();
}

DebugWindow* OpenDebugWindow() {
  return g_window.data();
}

void ToggleDebugWindow(QWidget* frame) {
  if (g_window) {
    g_window->ExitMode();
    return;
  }
  g_window = new DebugWindow(DebugTarget(), frame);
  g_window->show();
  // Placed once shown, when the size of its frame is known.
  g_window->PlaceOnScreen(frame);
}

void RegisterDebugMode(FrameWindow& frame) {
  frame.AddCommandStateSource([](CommandState& state) {
    state.debugWindowOpen = ProgramDebugState().window.load() != nullptr;
  });
  frame.SetCommandHandler(kCmdDebugMode, [&frame](std::uint32_t) { ToggleDebugWindow(&frame); });
  frame.SetCommandHandler(kCmdLoadHeader, [&frame](std::uint32_t) {
    if (!ChooseSequenceHeader(&frame)) return;
    if (DebugWindow* window = OpenDebugWindow()) {
      window->ReloadHeader();
    } else {
      LoadSequenceHeader(ProgramSettings().debugHeader);
    }
  });
}

}  // namespace heatdiag
