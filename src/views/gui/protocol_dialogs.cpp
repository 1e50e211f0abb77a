#include "views/gui/protocol_dialogs.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/gui/frame_dialogs.h"
#include "shell/gui/help_controller.h"
#include "views/view_texts.h"

namespace heatdiag {

int ShownWriteInterval(std::int32_t stored) {
  if (stored == 0) return 10;
  return std::clamp<int>(stored, ProtocolFileDialog::kMinInterval,
                         ProtocolFileDialog::kMaxInterval);
}

ProtocolFileDialog::ProtocolFileDialog(const std::string& file, bool withInterval,
                                       std::int32_t interval, QWidget* parent)
    : QDialog(parent) {
  setObjectName(withInterval ? QStringLiteral("Dialog155") : QStringLiteral("Dialog161"));
  setWindowTitle(Text(kTextProtocolDialogCaption, 79));
  SetHelpContext(this, withInterval ? kMeasurementHelpContext : kProtocolHelpContext);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto* fileRow = new QHBoxLayout;
  file_ = new QLineEdit(QString::fromStdString(file), this);
  file_->setObjectName(QStringLiteral("File"));
  file_->setMaxLength(static_cast<int>(kSettingTextSize - 1));
  file_->setMinimumWidth(280);
  auto* search = new QPushButton(Text(kTextSearchButton, 79), this);
  search->setObjectName(QStringLiteral("Search"));
  search->setAutoDefault(false);
  connect(search, &QPushButton::clicked, this, [this] { Search(); });
  fileRow->addWidget(file_, 1);
  fileRow->addWidget(search);
  form->addRow(Text(kTextProtocolFileLabel, 79), fileRow);
  if (withInterval) {
    interval_ = new QSpinBox(this);
    interval_->setObjectName(QStringLiteral("Interval"));
    interval_->setRange(kMinInterval, kMaxInterval);
    interval_->setDisplayIntegerBase(10);
    interval_->setValue(ShownWriteInterval(interval));
    form->addRow(Text(kTextWriteInterval, 79), interval_);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

std::string ProtocolFileDialog::FileName() const {
  return CutSettingText(file_->text().toStdString());
}

int ProtocolFileDialog::Interval() const {
  return interval_ != nullptr ? interval_->value() : 0;
}

void ProtocolFileDialog::Search() {
  // The file need not exist yet (both files are appended to); its folder must.
  const QString chosen = QFileDialog::getSaveFileName(this, Text(kTextProtocolFileTitle, 79),
                                                      file_->text(), Text(kTextProtocolFilter, 255),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
  if (!chosen.isEmpty()) file_->setText(chosen);
}

bool WidgetProtocolDialogs::EditMeasurementFile(QWidget* owner, Settings& settings) {
  ProtocolFileDialog dialog(settings.protoFile, true, settings.protoTime, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  settings.protoTime = dialog.Interval();
  settings.protoFile = dialog.FileName();
  return true;
}

bool WidgetProtocolDialogs::EditProtocolFile(QWidget* owner, Settings& settings) {
  ProtocolFileDialog dialog(settings.protViewFile, false, 0, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  settings.protViewFile = dialog.FileName();
  return true;
}

QString WidgetProtocolDialogs::SaveProtocolAs(QWidget* owner) {
  return QFileDialog::getSaveFileName(owner, Text(kTextSaveProtocolCaption, 79), QString(),
                                      Text(kTextProtocolFilter, 255));
}

void WidgetProtocolDialogs::ShowError(QWidget* owner, const QString& caption, const QString& text) {
  QMessageBox::warning(owner, caption, text);
}

}  // namespace heatdiag
