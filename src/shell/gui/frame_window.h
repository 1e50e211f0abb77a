// The MDI frame: menus, toolbar, status bar, the command handler, the 200 ms frame timer and the
// private messages from the core's threads.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "base/frame_sink.h"
#include "shell/gui/command_rules.h"
#include "shell/gui/document_view.h"
#include "shell/gui/frame_logic.h"
#include "shell/gui/queued_target.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace heatdiag {

class FrameDialogs;
class ShellCore;

class FrameWindow final : public QMainWindow {
  Q_OBJECT
 public:
  FrameWindow(ShellCore& core, FrameDialogs& dialogs, QWidget* parent = nullptr);
  ~FrameWindow() override;

  // --- Commands ---
  // The command handler: true when the id is one of the frame's commands (32771..32871).
  bool HandleCommand(std::uint32_t id);
  // Refreshes the enabled and checked state of every command (menus and toolbar).
  void UpdateCommandUI();
  CommandState CurrentCommandState() const;
  QAction* CommandAction(std::uint32_t id) const;
  // Routes a command to the module of its subsystem: the frame calls `handler` for `id` after
  // its own commands. One handler per command; a later one replaces an earlier.
  using CommandHandler = std::function<void(std::uint32_t id)>;
  void SetCommandHandler(std::uint32_t id, CommandHandler handler);
  // Sees every command of a menu item, toolbar button or key before the frame does (the help
  // module): true when it took the command.
  using CommandFilter = std::function<bool(std::uint32_t id)>;
  void SetCommandFilter(CommandFilter filter) { commandFilter_ = std::move(filter); }
  // Routes a private message (1028..1037) to the module that owns it.
  using MessageHandler = std::function<void(std::intptr_t a, std::intptr_t b)>;
  void SetMessageHandler(std::uint32_t message, MessageHandler handler);
  // Lets a module fill in its part of the command state (checked and enabled items) on every
  // refresh.
  using CommandStateSource = std::function<void(CommandState& state)>;
  void AddCommandStateSource(CommandStateSource source);
  QToolBar* CommandBar() const { return toolBar_; }
  QMenu* PopupOf(std::uint32_t titleId) const;
  // Shows the popup of the current menu bar that holds the command at a point of the window.
  void ShowContextMenu(QWidget* window, std::uint32_t commandId, QPoint point);
  // The menu bar in use: 104, or 106 / 108 while the Protocol view / the graph is active.
  FrameMenu CurrentMenuBar() const { return menuBar_; }

  // --- Status bar ---
  // A text for status-bar part 0 (cut at its first line feed), held for 10 s; none: the
  // default text.
  void SetStatusText(std::optional<std::string_view> text);
  // As SetStatusText with a string-table text; 0: the default text.
  void SetStatusTextById(std::uint32_t id);
  QString StatusBarText() const;
  const StatusText& Status() const { return status_; }
  // Product name, version and the selected device's name.
  void UpdateWindowTitle();

  // --- Timer and messages ---
  // One tick of the 200 ms frame timer.
  void FrameTick();
  void StartFrameTimer();
  // The frame's message target (install it with SetFrameTarget).
  QueuedMessageTarget& Target() { return *target_; }
  void HandleFrameMessage(std::uint32_t message, std::intptr_t a, std::intptr_t b);
  // Shows a worker's error box unless AutoStart is on; waits until it is closed. Any thread.
  void PresentThreadError(std::string_view caption, std::string_view text);
  ErrorBoxPresenter& ErrorBoxes();
  // Before the workers stop at exit: no more deliveries, waiting senders are released.
  void CloseMessageTargets();

  // --- Views ---
  void SetViewFactory(ViewKind kind, ViewFactory factory);
  bool HasView(ViewKind kind) const;  // the view is built into this program
  bool IsViewOpen(ViewKind kind) const;
  DocumentView* View(ViewKind kind) const;
  DocumentWindow* ViewWindow(ViewKind kind) const;
  void OpenView(ViewKind kind);
  void CloseView(ViewKind kind);
  void ToggleView(ViewKind kind);
  QMdiArea* MdiArea() const { return mdi_; }
  // "c&lose all": every document window.
  void CloseAllViews();
  // A long-lived message target for a view kind (the store keeps its address).
  QueuedMessageTarget& ViewTarget(ViewKind kind) { return *viewTargets_[Index(kind)]; }

  // The rectangle from the saved Window settings on the frame's screen, and applies it.
  void ApplySavedPlacement();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  class ErrorBoxBridge;

  static std::size_t Index(ViewKind kind) { return static_cast<std::size_t>(IndexOf(kind)); }
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildStatusBar();
  QMenu* AddPopup(QMenu* parent, std::uint32_t titleId,
                  std::initializer_list<std::uint32_t> commands);
  void RefreshWindowList();
  void OnSubWindowActivated();
  void SelectMenuBar(FrameMenu menu);
  void ShowMenuHint(QAction* action);
  void SaveFrameRect();
  void Startup();
  void OnDataReady();
  void RunDeviceSelection();
  void ClearFaults();
  void ArrangeIcons();
  QRect DefaultViewRect(QSize area) const;
  void CorrectForWindowFrame();
  bool IsMenuOpen() const;

  ShellCore& core_;
  FrameDialogs& dialogs_;
  QMdiArea* mdi_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QMenu* windowMenu_ = nullptr;
  QMenu* protocolMenu_ = nullptr;
  QMenu* graphMenu_ = nullptr;
  std::map<std::uint32_t, QMenu*> popups_;
  std::map<std::uint32_t, QAction*> actions_;
  std::map<std::uint32_t, CommandHandler> commandHandlers_;
  std::map<std::uint32_t, MessageHandler> messageHandlers_;
  CommandFilter commandFilter_;
  std::vector<CommandStateSource> stateSources_;
  QList<QAction*> windowListActions_;
  FrameMenu menuBar_ = FrameMenu::kMain;

  StatusText status_;
  AutoStartCounter autoStart_;
  QTimer frameTimer_;
  std::unique_ptr<QueuedMessageTarget> target_;
  std::array<std::unique_ptr<QueuedMessageTarget>, kViewCount> viewTargets_;
  std::unique_ptr<ErrorBoxBridge> errorBoxes_;
  std::array<ViewFactory, kViewCount> factories_;
  std::array<QPointer<DocumentWindow>, kViewCount> views_;
  // The Overview's "Open" setting as loaded: it opens on its own when the data are complete
  // only when it did not reopen at start-up.
  bool overviewReopens_ = false;
  FrameRect placement_;
  bool frameCorrectionPending_ = false;
  bool subscribed_ = false;
  bool destroyed_ = false;
};

// The one frame of the program, for the operations other modules call (null until the frame
// exists and after it has gone). GUI thread only.
FrameWindow* TheFrame();
void SetStatusText(std::optional<std::string_view> text);
void SetStatusTextById(std::uint32_t id);
void UpdateWindowTitle();
void UpdateCommandUI();
void ShowContextMenu(QWidget* window, std::uint32_t commandId, QPoint point);

}  // namespace heatdiag
