// The modeless "Debug" window: it starts the unit's debug mode, shows its states by the names of
// the sequence header and lets the user halt, run, step or force the state sequence. F7 (command
// "Debug mode...") opens it and closes it again.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

#include "debug/debug_session.h"
#include "shell/gui/queued_target.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace heatdiag {

class FrameWindow;

// The header file dialog: the chosen path becomes the Header setting. False when cancelled.
// Tests put their own chooser in place of the file dialog.
using HeaderChooser = std::function<std::optional<QString>(QWidget* owner, const QString& current)>;
void SetHeaderChooser(HeaderChooser chooser);
bool ChooseSequenceHeader(QWidget* owner);

class DebugWindow final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kTimerMs = 200;

  // target: the long-lived message target the driver posts its refreshes to.
  DebugWindow(QueuedMessageTarget& target, QWidget* frame);
  ~DebugWindow() override;

  // One tick of the 200 ms timer.
  void Tick();
  // Message 0x401: the texts and buttons from the block.
  void Refresh();
  // "&Exit": leaves the mode and destroys the window.
  void ExitMode();
  // "...": another header.
  void ChooseHeader();
  void ReloadHeader();
  // At the saved position (kept on the screen), or centred over the frame when none was saved.
  void PlaceOnScreen(QWidget* frame);

  QLineEdit* HeaderEdit() const { return header_; }
  QLineEdit* CurrentState() const { return current_; }
  QLineEdit* LastState() const { return last_; }
  QLineEdit* LastJump() const { return lastJump_; }
  QLineEdit* RunTimeSet() const { return runTimeSet_; }
  QLineEdit* RunTimeActual() const { return runTimeActual_; }
  QComboBox* NewState() const { return newState_; }
  QPushButton* RunButton() const { return run_; }
  QPushButton* StepButton() const { return step_; }
  QPushButton* StepNowButton() const { return stepNow_; }
  QPushButton* StopButton() const { return stop_; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* ExitButton() const { return exit_; }
  QTimer& Timer() { return timer_; }
  DebugSession& Session() { return session_; }

 protected:
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void FillStateList();

  QueuedMessageTarget& target_;
  DebugSession session_;
  QTimer timer_;
  bool placed_ = false;
  QLineEdit* header_ = nullptr;
  QPushButton* choose_ = nullptr;
  QLineEdit* last_ = nullptr;
  QLineEdit* current_ = nullptr;
  QComboBox* newState_ = nullptr;
  QPushButton* set_ = nullptr;
  QLineEdit* lastJump_ = nullptr;
  QLineEdit* runTimeSet_ = nullptr;
  QLineEdit* runTimeActual_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* step_ = nullptr;
  QPushButton* stepNow_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* exit_ = nullptr;
};

// The open debug window, or null.
DebugWindow* OpenDebugWindow();
// "Debug mode...": closes the window when it is open, else opens it.
void ToggleDebugWindow(QWidget* frame);

// Routes "Debug mode..." (32813) and "Load sequence header..." (32814) to this module.
void RegisterDebugMode(FrameWindow& frame);

}  // namespace heatdiag
