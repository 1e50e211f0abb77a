#include "shell/gui/document_view.h"

#include <QCloseEvent>
#include <algorithm>
#include <cstdlib>

#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr int kMinViewWidth = 120;
constexpr int kMinViewHeight = 60;
constexpr int kMaxViewExtent = 16384;
// Part of a window that must stay inside the area so that it can be grabbed again.
constexpr int kGrabMargin = 40;

}  // namespace

DocumentView::DocumentView(ViewKind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
  setObjectName(QString::fromLatin1(InfoOf(kind).windowClass));
}

QRect UsablePlacementRect(const WindowPlacement& placement, QSize area) {
  if (placement.length == 0) return {};
  const long long width = static_cast<long long>(placement.right) - placement.left;
  const long long height = static_cast<long long>(placement.bottom) - placement.top;
  if (width < kMinViewWidth || height < kMinViewHeight || width > kMaxViewExtent ||
      height > kMaxViewExtent)
    return {};
  if (std::abs(static_cast<long long>(placement.left)) > kMaxViewExtent ||
      std::abs(static_cast<long long>(placement.top)) > kMaxViewExtent)
    return {};
  int x = placement.left;
  int y = placement.top;
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  if (area.width() > 0 && area.height() > 0) {
    x = std::clamp(x, kGrabMargin - w, std::max(0, area.width() - kGrabMargin));
    y = std::clamp(y, 0, std::max(0, area.height() - kGrabMargin / 2));
  }
  return {x, y, w, h};
}

DocumentWindow::DocumentWindow(DocumentView* view, QWidget* parent)
    : QMdiSubWindow(parent), view_(view) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWidget(view);
  setWindowTitle(QString::fromStdString(LoadString(InfoOf(view->Kind()).titleId, 79)));
  setObjectName(view->objectName() + QStringLiteral("Window"));
}

WindowPlacement DocumentWindow::CurrentPlacement() const {
  WindowPlacement placement;
  placement.length = static_cast<std::uint32_t>(kPlacementBytes);
  placement.flags = 0;
  placement.showCommand =
      isMaximized() ? kShowMaximized : (isMinimized() ? kShowMinimized : kShowNormal);
  placement.minX = placement.minY = -1;
  placement.maxX = placement.maxY = -1;
  const QRect normal = normalRect_.isValid() ? normalRect_ : geometry();
  placement.left = normal.left();
  placement.top = normal.top();
  placement.right = normal.left() + normal.width();
  placement.bottom = normal.top() + normal.height();
  return placement;
}

bool DocumentWindow::ApplyPlacement(const WindowPlacement& placement, QSize area) {
  const QRect rect = UsablePlacementRect(placement, area);
  if (!rect.isValid()) return false;
  setGeometry(rect);
  normalRect_ = rect;
  if (placement.showCommand == kShowMaximized) {
    showMaximized();
  } else if (placement.showCommand == kShowMinimized) {
    showMinimized();
  }
  return true;
}

void DocumentWindow::RememberNormalRect() {
  if (!isMinimized() && !isMaximized() && isVisible()) normalRect_ = geometry();
}

void DocumentWindow::moveEvent(QMoveEvent* event) {
  QMdiSubWindow::moveEvent(event);
  RememberNormalRect();
}

void DocumentWindow::resizeEvent(QResizeEvent* event) {
  QMdiSubWindow::resizeEvent(event);
  RememberNormalRect();
}

void DocumentWindow::closeEvent(QCloseEvent* event) {
  QMdiSubWindow::closeEvent(event);
  if (!event->isAccepted() || placementSaved_) return;
  placementSaved_ = true;
  ProgramSettings().*(InfoOf(view_->Kind()).placement) = PackPlacement(CurrentPlacement());
  emit Closed(view_->Kind());
}

}  // namespace heatdiag
