#include "shell/gui/help_controller.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/gui/commands.h"
#include "shell/gui/document_view.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/frame_window.h"

// The help pages are compiled into this library; a static library's resources must be
// registered by hand.
static void RegisterHelpResources() {
  Q_INIT_RESOURCE(help);
}

namespace heatdiag {
namespace {

constexpr char kHelpContextProperty[] = "heatdiagHelpContext";
constexpr std::uint32_t kBrowserTitleId = 32360;
constexpr std::uint32_t kContentsButtonId = 32361;
constexpr std::uint32_t kBackButtonId = 32362;
constexpr std::uint32_t kForwardButtonId = 32363;

bool IsMenuWidget(const QWidget* widget) {
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget())
    if (qobject_cast<const QMenu*>(w) != nullptr || qobject_cast<const QMenuBar*>(w) != nullptr)
      return true;
  return false;
}

bool IsMouseEvent(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
      return true;
    default:
      return false;
  }
}

// The part of a document window's frame at a point of the window.
std::uint32_t FramePartAt(const QMdiSubWindow& window, QPoint point) {
  const QWidget* inner = window.widget();
  if (inner == nullptr) return kPartCaption;
  const QRect client = inner->geometry();
  if (client.contains(point)) return kPartClient;
  return point.y() < client.top() ? kPartCaption : kPartBorder;
}

}  // namespace

void SetHelpContext(QWidget* widget, std::uint32_t context) {
  widget->setProperty(kHelpContextProperty, QVariant::fromValue(context));
}

std::uint32_t HelpContextOf(const QWidget* widget) {
  if (widget == nullptr) return 0;
  if (const auto* view = qobject_cast<const DocumentView*>(widget)) return view->HelpContext();
  if (const auto* button = qobject_cast<const QToolButton*>(widget)) {
    if (const QAction* action = button->defaultAction(); action != nullptr) {
      bool ok = false;
      const std::uint32_t command = action->data().toUInt(&ok);
      if (ok && command != 0) return HelpContextOfCommand(command);
    }
  }
  const QVariant own = widget->property(kHelpContextProperty);
  return own.isValid() ? own.toUInt() : 0;
}

std::uint32_t HelpContextAt(QWidget* widget, QPoint point) {
  for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    if (const auto* window = qobject_cast<const QMdiSubWindow*>(w)) {
      const std::uint32_t part = FramePartAt(*window, point);
      if (part != kPartClient) return HelpContextOfFramePart(part);
    }
    if (const std::uint32_t context = HelpContextOf(w); context != 0) return context;
    if (w->isWindow()) break;
    point = w->mapToParent(point);
  }
  return 0;
}

QUrl HelpUrl(std::uint32_t context) {
  const auto topic = FindHelpTopic(context);
  if (!topic) return QUrl(QStringLiteral("qrc:/heatdiag/help/%1").arg(kHelpContentsPage));
  QUrl url(QStringLiteral("qrc:/heatdiag/help/%1").arg(QString::fromLatin1(topic->page)));
  url.setFragment(QString::fromStdString(HelpAnchor(context)));
  return url;
}

HelpController::HelpController(FrameWindow& frame) : QObject(&frame), frame_(frame) {
  RegisterHelpResources();
  qApp->installEventFilter(this);
  TrackMenus();
}

HelpController::~HelpController() {
  if (cursorSet_) QApplication::restoreOverrideCursor();
  delete browser_.data();
}

QWidget* HelpController::Browser() const {
  return browser_.data();
}

void HelpController::TrackMenus() {
  for (QMenu* menu : frame_.findChildren<QMenu*>()) {
    connect(menu, &QMenu::hovered, this, [this](QAction* action) {
      bool ok = false;
      const std::uint32_t command = action->data().toUInt(&ok);
      if (ok && command != 0 && action->menu() == nullptr) {
        menuSelection_.Select(command);
      } else {
        menuSelection_.Clear();
      }
    });
    connect(menu, &QMenu::aboutToHide, this, [this] { menuSelection_.Clear(); });
  }
}

bool HelpController::FilterCommand(std::uint32_t id) {
  switch (id) {
    case kCmdHelp:
    case kCmdHelpContents:
      ShowContents();
      return true;
    case kCmdHelpMode:
      EnterHelpMode();
      return true;
    case kCmdHelpOnFocus:
      HelpOnFocus();
      return true;
    default:
      break;
  }
  if (mode_ != HelpMode::kArmed) return false;
  // A command chosen in help mode opens its topic instead of running.
  EndHelpMode(HelpContextOfCommand(id));
  return true;
}

void HelpController::ShowContents() {
  ShowContext(0);
}

void HelpController::ShowContext(std::uint32_t context) {
  if (mode_ != HelpMode::kOff) EndHelpMode(0);
  // Open menus close before the topic comes up, as a cancelled mode would leave them.
  while (QWidget* popup = QApplication::activePopupWidget()) {
    if (!popup->close()) break;
  }
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  Show(context);
}

void HelpController::Show(std::uint32_t context) {
  if (browser_.isNull()) {
    auto* browser = new QWidget(nullptr, Qt::Window);
    browser->setObjectName(QStringLiteral("HelpBrowser"));
    browser->setAttribute(Qt::WA_DeleteOnClose, false);
    browser->setWindowTitle(Text(kBrowserTitleId, 255));
    auto* layout = new QVBoxLayout(browser);
    auto* buttons = new QHBoxLayout;
    auto* contents = new QPushButton(Text(kContentsButtonId, 255), browser);
    auto* back = new QPushButton(Text(kBackButtonId, 255), browser);
    auto* forward = new QPushButton(Text(kForwardButtonId, 255), browser);
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    text_ = new QTextBrowser(browser);
    text_->setObjectName(QStringLiteral("HelpText"));
    text_->setOpenExternalLinks(false);
    layout->addWidget(text_);
    connect(contents, &QPushButton::clicked, text_, [this] { text_->setSource(HelpUrl(0)); });
    connect(back, &QPushButton::clicked, text_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, text_, &QTextBrowser::forward);
    connect(text_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(text_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    back->setEnabled(false);
    forward->setEnabled(false);
    browser->resize(640, 520);
    browser_ = browser;
  }
  text_->setSource(HelpUrl(context));
  lastContext_ = FindHelpTopic(context) ? context : 0;
  ++shown_;
  browser_->show();
  browser_->raise();
  browser_->activateWindow();
}

void HelpController::HelpOnFocus() {
  // The window holding the mouse, then the focus window, then the last popup, each with its
  // parents; the first that names a topic wins.
  const auto answer = [this](QWidget* start) -> std::uint32_t {
    for (QWidget* w = start; w != nullptr; w = w->parentWidget()) {
      if (w == &frame_) {
        if (const std::uint32_t context = menuSelection_.Context(0); context != 0) return context;
        continue;
      }
      if (const std::uint32_t context = HelpContextOf(w); context != 0) return context;
    }
    return 0;
  };
  for (QWidget* start :
       {QWidget::mouseGrabber(), QApplication::focusWidget(), QApplication::activePopupWidget()}) {
    if (const std::uint32_t context = answer(start); context != 0) {
      ShowContext(context);
      return;
    }
  }
  ShowContents();
}

void HelpController::EnterHelpMode() {
  if (mode_ != HelpMode::kOff) return;
  mode_ = HelpMode::kEntering;
  // Armed on the next turn of the event loop, so that a menu that is open closes first.
  QTimer::singleShot(0, this, [this] { Arm(); });
}

void HelpController::Arm() {
  if (mode_ != HelpMode::kEntering) return;
  mode_ = HelpMode::kArmed;
  if (!cursorSet_) {
    QApplication::setOverrideCursor(QCursor(Qt::WhatsThisCursor));
    cursorSet_ = true;
  }
}

void HelpController::EndHelpMode(std::int64_t context) {
  mode_ = HelpMode::kOff;
  if (cursorSet_) {
    QApplication::restoreOverrideCursor();
    cursorSet_ = false;
  }
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  if (context > 0) {
    Show(static_cast<std::uint32_t>(context));
  } else if (context < 0) {
    Show(0);
  }
}

bool HelpController::IsOurs(const QWidget* widget) const {
  for (const QWidget* w = widget; w != nullptr; w = w->parentWidget())
    if (w == &frame_) return true;
  return false;
}

bool HelpController::eventFilter(QObject* watched, QEvent* event) {
  if (mode_ == HelpMode::kArmed) return FilterHelpModeEvent(watched, event);
  // F1 inside a menu or a dialog: the help contents.
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F1 && !key->isAutoRepeat() &&
        (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0) {
      const QWidget* active = QApplication::activePopupWidget();
      if (active == nullptr) active = QApplication::activeModalWidget();
      if (active != nullptr && active != &frame_ && IsOurs(active)) {
        ShowContents();
        return true;
      }
    }
  }
  return false;
}

bool HelpController::FilterHelpModeEvent(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress) {
    if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      EndHelpMode(0);
      return true;
    }
    return false;  // keys and their accelerators go on; a command then names its topic
  }
  if (!IsMouseEvent(type)) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || !IsOurs(widget)) return false;
  // The menu bar and its menus open as usual; the item chosen names the topic.
  if (IsMenuWidget(widget)) return false;
  // A window of ours that is not the active one: nothing is found, the click is dropped.
  if (const QWidget* active = QApplication::activeWindow();
      active != nullptr && widget->window() != active)
    return true;
  if (type != QEvent::MouseButtonPress ||
      static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
    return true;
  const QPoint point = static_cast<QMouseEvent*>(event)->position().toPoint();
  const std::uint32_t context = HelpContextAt(widget, point);
  EndHelpMode(context != 0 ? static_cast<std::int64_t>(context) : -1);
  return true;
}

HelpController* RegisterHelp(FrameWindow& frame) {
  auto* help = new HelpController(frame);
  frame.SetCommandFilter([help](std::uint32_t id) { return help->FilterCommand(id); });
  return help;
}

}  // namespace heatdiag
