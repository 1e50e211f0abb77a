#include "views/gui/overview_view.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include "drivers/diag_store.h"
#include "shell/gui/frame_window.h"
#include "views/overview_layout.h"
#include "views/qtgui/overview_painter.h"

namespace heatdiag {
namespace {

// The store groups whose rows the overview's elements show.
constexpr std::uint32_t kOverviewSubscription = 0x00FF;

}  // namespace

OverviewView::OverviewView(QueuedMessageTarget& target, QWidget* parent)
    : DocumentView(ViewKind::kOverview, parent), target_(target) {
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, OverviewColour(kOverviewBackground));
  setPalette(palette);
  setCursor(Qt::ArrowCursor);
  setMouseTracking(true);
  target_.SetHandler([this](std::uint32_t message, std::intptr_t a,
                            std::intptr_t b) { HandleStoreMessage(message, a, b); },
                     this);
  // While the data are complete the store answers with UM_DATAREADY at once.
  StoreSubscribe(&target_, kOverviewSubscription, 0);
}

OverviewView::~OverviewView() {
  if (target_.ClearHandler(this)) StoreUnsubscribe(&target_);
}

void OverviewView::LoadElements() {
  elements_ = SelectedOverviewElements();
}

void OverviewView::CreateTools() {
  tools_.clear();
  for (std::size_t i = 0; i < elements_.size(); ++i) {
    const OverviewElement& element = elements_[i];
    if (element.type == kOverviewText || StoreGetPresent(element.item) == 0) continue;
    const std::string name = StoreGetName(element.item, NameForm::kLong);
    if (name.empty()) continue;
    tools_.push_back({i, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))});
  }
}

QString OverviewView::ToolTipAt(QPoint point) const {
  // The last tool added over the point wins, as the element drawn last is on top.
  for (auto it = tools_.rbegin(); it != tools_.rend(); ++it) {
    const OverviewRect rect = OverviewElementRect(elements_[it->element], width(), height());
    if (rect.Contains(point.x(), point.y())) return it->text;
  }
  return {};
}

QRect OverviewView::ItemArea(std::uint32_t item) const {
  QRect area;
  for (const OverviewElement& element : elements_) {
    if (element.type == kOverviewText || element.item != item) continue;
    area |= ToQRect(OverviewElementRect(element, width(), height()));
  }
  return area;
}

void OverviewView::HandleStoreMessage(std::uint32_t message, std::intptr_t a, std::intptr_t) {
  switch (message) {
    case UM_DATAREADY:
      LoadElements();
      CreateTools();
      update();
      break;
    case UM_VALUECHANGED:
    case UM_SHOWNCHANGED:
    case UM_PRESENTCHANGED: {
      const QRect area = ItemArea(static_cast<std::uint32_t>(a));
      if (!area.isEmpty()) update(area);
      break;
    }
    case UM_DATARELEASED:
      elements_ = {};
      tools_.clear();
      QToolTip::hideText();
      update();
      break;
    default:
      break;
  }
}

bool OverviewView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return DocumentView::event(event);
}

void OverviewView::paintEvent(QPaintEvent* event) {
  if (elements_.empty()) return;
  QPainter painter(this);
  PaintOverview(painter, size(), elements_, event->rect());
}

void RegisterOverview(FrameWindow& frame) {
  frame.SetViewFactory(ViewKind::kOverview, [&frame] {
    return new OverviewView(frame.ViewTarget(ViewKind::kOverview));
  });
}

}  // namespace heatdiag
