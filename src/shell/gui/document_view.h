// A document window of the frame: the widget inside an MDI child. The frame creates it through
// the factory the view module registers, keeps at most one per kind, and saves and restores its
// placement.
#pragma once

#include <QMdiSubWindow>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "base/settings.h"
#include "shell/gui/view_kind.h"

namespace heatdiag {

// The menu bar the frame shows while the view is active.
enum class FrameMenu { kMain = 104, kProtocol = 106, kGraph = 108 };

class DocumentView : public QWidget {
  Q_OBJECT
 public:
  explicit DocumentView(ViewKind kind, QWidget* parent = nullptr);

  ViewKind Kind() const { return kind_; }
  virtual FrameMenu MenuBar() const { return FrameMenu::kMain; }
  // The help context id of the view (its answer to the help hit test).
  virtual std::uint32_t HelpContext() const { return InfoOf(kind_).helpContext; }

 private:
  ViewKind kind_;
};

using ViewFactory = std::function<DocumentView*()>;

// The MDI child around a document view. Records the view's placement into its settings when it
// closes.
class DocumentWindow : public QMdiSubWindow {
  Q_OBJECT
 public:
  explicit DocumentWindow(DocumentView* view, QWidget* parent = nullptr);

  DocumentView* View() const { return view_; }
  // The last rectangle the window had while neither minimised nor maximised.
  QRect NormalRect() const { return normalRect_; }
  WindowPlacement CurrentPlacement() const;
  // Places the window from a saved placement within an MDI area of the given size; false when
  // the placement is empty or unusable (the window then keeps its default place).
  bool ApplyPlacement(const WindowPlacement& placement, QSize area);

 signals:
  // The window has accepted its close (it is deleted a little later).
  void Closed(ViewKind kind);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void RememberNormalRect();

  DocumentView* view_;
  QRect normalRect_;
  bool placementSaved_ = false;
};

// Show commands of a saved placement.
inline constexpr std::uint32_t kShowNormal = 1;
inline constexpr std::uint32_t kShowMinimized = 2;
inline constexpr std::uint32_t kShowMaximized = 3;

// The rectangle of a saved placement moved into an area of the given size so that its title bar
// can be reached; nullopt-like empty rect when the placement is empty or absurd.
QRect UsablePlacementRect(const WindowPlacement& placement, QSize area);

}  // namespace heatdiag
