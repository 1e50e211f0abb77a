#include "shell/gui/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "base/string_table.h"
#include "drivers/device_search.h"
#include "shell/gui/command_icons.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/help_controller.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kOkId = 32304;
constexpr std::uint32_t kCancelId = 32305;
constexpr std::uint32_t kComPortTitleId = 32310;
constexpr std::uint32_t kComPortLabelId = 32311;
constexpr std::uint32_t kNoPortId = 32312;
constexpr std::uint32_t kStableNameLabelId = 32313;
constexpr std::uint32_t kByStableNameId = 32314;
constexpr std::uint32_t kDeviceTitleId = 32320;
constexpr std::uint32_t kDeviceNoteId = 32321;
constexpr std::uint32_t kAutomaticSearchId = 32322;
constexpr std::uint32_t kAboutTitleId = 32300;
constexpr std::uint32_t kVersionFormatId = 32301;
constexpr std::uint32_t kCopyrightId = 32302;
constexpr std::uint32_t kDisclaimerId = 32303;
constexpr std::uint32_t kServiceId = 23009;

void CentreOn(QWidget* dialog, const QRect& area) {
  dialog->adjustSize();
  QRect frame = dialog->frameGeometry();
  frame.moveCenter(area.center());
  dialog->move(frame.topLeft());
}

QRect ScreenArea(QWidget* widget) {
  QScreen* screen =
      widget->screen() != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

ComPortDialog::ComPortDialog(const PortChoice& choice, QWidget* parent)
    : QDialog(parent), choice_(choice) {
  setObjectName(QStringLiteral("ComPortDialog"));
  SetHelpContext(this, kHelpContext);
  setWindowTitle(Text(kComPortTitleId, 255));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* label = new QLabel(Text(kComPortLabelId, 255), this);
  ports_ = new QComboBox(this);
  ports_->setObjectName(QStringLiteral("Ports"));
  ports_->setMinimumContentsLength(24);
  for (const std::string& entry : choice.entries) ports_->addItem(QString::fromStdString(entry));
  ports_->setCurrentIndex(choice.selected);
  label->setBuddy(ports_);
  row->addWidget(label);
  row->addWidget(ports_, 1);
  layout->addLayout(row);
  auto* stableRow = new QHBoxLayout;
  stableRow->addWidget(new QLabel(Text(kStableNameLabelId, 255), this));
  stableName_ = new QLabel(this);
  stableName_->setObjectName(QStringLiteral("StableName"));
  stableName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  stableRow->addWidget(stableName_, 1);
  layout->addLayout(stableRow);
  byStableName_ = new QCheckBox(Text(kByStableNameId, 255), this);
  byStableName_->setObjectName(QStringLiteral("ByStableName"));
  layout->addWidget(byStableName_);
  if (choice.entries.empty()) {
    auto* none = new QLabel(Text(kNoPortId, 255), this);
    none->setObjectName(QStringLiteral("NoPort"));
    layout->addWidget(none);
  }
  ShowEntry(choice.selected);
  connect(ports_, &QComboBox::currentIndexChanged, this, &ComPortDialog::ShowEntry);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(kOkId, 255), QDialogButtonBox::AcceptRole);
  buttons->addButton(Text(kCancelId, 255), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    result_ = PortChoiceResult(true, ports_->currentText().toStdString());
    if (result_ != 0)
      pathResult_ = PortPathChoice(choice_, ports_->currentIndex(), byStableName_->isChecked());
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] {
    result_ = PortChoiceResult(false, {});
    reject();
  });
  CentreOn(this, ScreenArea(this));
}

void ComPortDialog::ShowEntry(int index) {
  const bool valid = index >= 0 && static_cast<std::size_t>(index) < choice_.stableNames.size();
  const std::string stable = valid ? choice_.stableNames[static_cast<std::size_t>(index)] : "";
  stableName_->setText(QString::fromStdString(stable));
  byStableName_->setEnabled(!stable.empty());
  byStableName_->setChecked(valid && choice_.byStableName[static_cast<std::size_t>(index)]);
}

DeviceSelectionDialog::DeviceSelectionDialog(const std::vector<std::string>& names,
                                             std::uint32_t current, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("DeviceSelectionDialog"));
  SetHelpContext(this, kHelpContext);
  setWindowTitle(Text(kDeviceTitleId, 255));
  auto* layout = new QVBoxLayout(this);
  auto* note = new QLabel(Text(kDeviceNoteId), this);
  note->setObjectName(QStringLiteral("Note"));
  note->setWordWrap(true);
  layout->addWidget(note);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("Devices"));
  for (const std::string& name : names) list_->addItem(QString::fromStdString(name));
  if (current < names.size()) list_->setCurrentRow(static_cast<int>(current));
  list_->setMinimumWidth(list_->sizeHintForColumn(0) + 40);
  list_->setMinimumHeight(list_->sizeHintForRow(0) * list_->count() + 2 * list_->frameWidth() + 2);
  layout->addWidget(list_, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(kOkId, 255), QDialogButtonBox::AcceptRole);
  QPushButton* search =
      buttons->addButton(Text(kAutomaticSearchId, 255), QDialogButtonBox::ActionRole);
  search->setObjectName(QStringLiteral("AutomaticSearch"));
  buttons->addButton(Text(kCancelId, 255), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { AcceptSelection(); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { Cancel(); });
  connect(search, &QPushButton::clicked, this, [this] { RequestSearch(); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { AcceptSelection(); });
  if (parent != nullptr) {
    CentreOn(this, parent->window()->frameGeometry());
  } else {
    CentreOn(this, ScreenArea(this));
  }
}

void DeviceSelectionDialog::AcceptSelection() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  result_ = DeviceSelectionResult(SelectionButton::kOk,
                                  selected.isEmpty() ? -1 : list_->row(selected.first()));
  accept();
}

void DeviceSelectionDialog::RequestSearch() {
  result_ = DeviceSelectionResult(SelectionButton::kAutomaticSearch, -1);
  accept();
}

void DeviceSelectionDialog::Cancel() {
  result_ = DeviceSelectionResult(SelectionButton::kCancel, -1);
  reject();
}

QString AboutDialog::VersionLine() {
  // "%s [%s]": the version, then the build date ("Mmm dd yyyy").
  std::string line = LoadString(kVersionFormatId, 255);
  for (const char* argument : {HEATDIAG_PRODUCT_VERSION, __DATE__}) {
    const auto at = line.find("%s");
    if (at == std::string::npos) break;
    line.replace(at, 2, argument);
  }
  return QString::fromStdString(line);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutDialog"));
  SetHelpContext(this, HelpContextOfDialog(140));
  setWindowTitle(Text(kAboutTitleId, 255));
  auto* outer = new QHBoxLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(QSize(48, 48)));
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  outer->addWidget(icon);
  auto* column = new QVBoxLayout;
  outer->addLayout(column, 1);

  const auto addLine = [this, column](const QString& text, const char* name) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(label);
    return label;
  };
  QLabel* product = addLine(QStringLiteral(HEATDIAG_PRODUCT_NAME), "ProductName");
  QFont bold = product->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  product->setFont(bold);
  addLine(VersionLine(), "Version");
  addLine(Text(kCopyrightId, 255), "Copyright");
  addLine(Text(kServiceId, 255), "Service");
  column->addSpacing(8);
  addLine(Text(kDisclaimerId, 255), "Disclaimer");

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(Text(kOkId, 255), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  column->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  setMinimumWidth(380);
  if (parent != nullptr) {
    CentreOn(this, parent->window()->frameGeometry());
  } else {
    CentreOn(this, ScreenArea(this));
  }
}

}  // namespace heatdiag
