#include "shell/gui/search_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>

#include "shell/gui/frame_dialogs.h"
#include "shell/gui/help_controller.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kTitleId = 32330;
constexpr std::uint32_t kUnitLabelId = 32331;
constexpr std::uint32_t kRemainingLabelId = 32332;
constexpr std::uint32_t kStopButtonId = 32333;

}  // namespace

SearchDialog::SearchDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SearchDialog"));
  SetHelpContext(this, kHelpContext);
  setWindowTitle(Text(kTitleId, 255));
  setModal(false);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(Text(kUnitLabelId, 255), this), 0, 0);
  grid->addWidget(new QLabel(Text(kRemainingLabelId, 255), this), 1, 0);
  unit_ = new QLabel(this);
  unit_->setObjectName(QStringLiteral("Unit"));
  unit_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
  remaining_ = new QLabel(this);
  remaining_->setObjectName(QStringLiteral("Remaining"));
  grid->addWidget(unit_, 0, 1);
  grid->addWidget(remaining_, 1, 1);
  auto* stop = new QPushButton(Text(kStopButtonId, 255), this);
  stop->setObjectName(QStringLiteral("Stop"));
  grid->addWidget(stop, 2, 0, 1, 2, Qt::AlignHCenter);
  connect(stop, &QPushButton::clicked, this, &QDialog::reject);
}

void SearchDialog::ShowUnit(const QString& name, std::uint32_t remaining) {
  unit_->setText(name);
  remaining_->setText(QString::number(remaining));
}

QString SearchDialog::UnitText() const {
  return unit_->text();
}

QString SearchDialog::RemainingText() const {
  return remaining_->text();
}

void SearchDialog::CloseQuietly() {
  quiet_ = true;
  reject();
}

// The button, Escape and the window's close box all end here.
void SearchDialog::reject() {
  // The user closed the window: the search ends before its next probe.
  if (!quiet_) CancelSearch();
  quiet_ = true;
  QDialog::reject();
  deleteLater();
}

SearchWindowBridge::SearchWindowBridge(QWidget* owner, std::function<void()> refreshCommands,
                                       std::function<void()> updateTitle)
    : owner_(owner),
      refreshCommands_(std::move(refreshCommands)),
      updateTitle_(std::move(updateTitle)) {}

SearchWindowBridge::~SearchWindowBridge() {
  if (dialog_) dialog_->CloseQuietly();
}

void SearchWindowBridge::OnGui(std::function<void()> work) {
  QMetaObject::invokeMethod(&context_, std::move(work), Qt::QueuedConnection);
}

void SearchWindowBridge::Open() {
  OnGui([this] {
    if (dialog_) return;
    dialog_ = new SearchDialog(owner_);
    dialog_->show();
    if (owner_) {
      QRect frame = dialog_->frameGeometry();
      frame.moveCenter(owner_->window()->frameGeometry().center());
      dialog_->move(frame.topLeft());
    }
  });
}

void SearchWindowBridge::ShowUnit(std::string_view name, std::uint32_t remaining) {
  OnGui([this, text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
         remaining] {
    if (dialog_) dialog_->ShowUnit(text, remaining);
  });
}

void SearchWindowBridge::Close() {
  OnGui([this] {
    if (dialog_) dialog_->CloseQuietly();
  });
}

void SearchWindowBridge::RefreshCommands() {
  OnGui([this] {
    if (refreshCommands_) refreshCommands_();
  });
}

void SearchWindowBridge::SelectedDeviceChanged() {
  OnGui([this] {
    if (updateTitle_) updateTitle_();
  });
}

}  // namespace heatdiag
