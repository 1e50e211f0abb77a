// Context help: the help contents, help on the window that has the focus (F1) and the help mode
// (Shift+F1 or the toolbar's help button), in which the next click on a window, toolbar button,
// menu item or frame part opens the topic for it. Topics are pages of the bundled help, shown
// in the help browser.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QUrl>
#include <cstdint>

#include "shell/help_context.h"

class QTextBrowser;
class QWidget;

namespace heatdiag {

class FrameWindow;

// Gives a widget its help context id (the answer to a help request for it).
void SetHelpContext(QWidget* widget, std::uint32_t context);
// The id a widget answers for itself, 0 when it has none: a document view, a toolbar button's
// command, a widget given one with SetHelpContext.
std::uint32_t HelpContextOf(const QWidget* widget);
// The id for a click at `point` (in `widget`'s coordinates): the widget's own answer, then its
// parents' in turn; 0 when none answers. A click on the frame of a document window names that
// frame part.
std::uint32_t HelpContextAt(QWidget* widget, QPoint point);

// The page of the bundled help for a context id; the contents for an id without a topic.
QUrl HelpUrl(std::uint32_t context);

class HelpController final : public QObject {
  Q_OBJECT
 public:
  explicit HelpController(FrameWindow& frame);
  ~HelpController() override;

  // The frame's command filter: takes the help commands, and while the help mode is armed any
  // other command, whose topic it opens instead of running it.
  bool FilterCommand(std::uint32_t id);

  void ShowContents();
  // Leaves the help mode, closes open menus and shows the topic of `context`.
  void ShowContext(std::uint32_t context);
  void HelpOnFocus();
  void EnterHelpMode();
  HelpMode Mode() const { return mode_; }

  // What was shown last (0 for the contents), and how often help was shown.
  std::uint32_t LastContext() const { return lastContext_; }
  int ShownCount() const { return shown_; }
  QWidget* Browser() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Arm();
  // Ends the help mode; a context of 0 opens nothing, -1 the contents.
  void EndHelpMode(std::int64_t context);
  bool FilterHelpModeEvent(QObject* watched, QEvent* event);
  void TrackMenus();
  void Show(std::uint32_t context);
  bool IsOurs(const QWidget* widget) const;

  FrameWindow& frame_;
  HelpMode mode_ = HelpMode::kOff;
  MenuSelection menuSelection_;
  QPointer<QWidget> browser_;
  QTextBrowser* text_ = nullptr;
  std::uint32_t lastContext_ = 0;
  int shown_ = 0;
  bool cursorSet_ = false;
};

// Installs the help module on the frame (it owns the controller).
HelpController* RegisterHelp(FrameWindow& frame);

}  // namespace heatdiag
