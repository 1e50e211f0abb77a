#include "dataset/gui/dataset_dialogs.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/settings.h"
#include "dataset/addresses.h"
#include "dataset/cell_fields.h"
#include "dataset/dataset_texts.h"
#include "dataset/dataset_worker.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/help_controller.h"

namespace heatdiag {
namespace {

constexpr int kPollMs = 100;
constexpr std::array<int, 3> kBases = {16, 10, 2};

QPushButton* Button(QWidget* parent, std::uint32_t textId, const char* name) {
  auto* button = new QPushButton(Text(textId, 255), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

}  // namespace

void ShowWarningBox(QWidget* owner, const QString& caption, const QString& text) {
  QMessageBox::warning(owner, caption, text);
}

// ---------------------------------------------------------------------------------------------
// EOL dataset addresses

AddressesDialog::AddressesDialog(AddressRequest& request, QWidget* parent, WarningBox warn)
    : QDialog(parent), request_(request), warn_(std::move(warn)) {
  setObjectName(QStringLiteral("AddressesDialog"));
  SetHelpContext(this, HelpContextOfDialog(kDialogId));
  setWindowTitle(Text(kTextAddressesCaption, 255));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const std::array<std::uint32_t, 5> labels = {kTextStartField, kTextSizeField,
                                               kTextCheckStartField, kTextCheckEndField,
                                               kTextChecksumField};
  const AddressFields initial = request_.image != nullptr
                                    ? InitialAddressFields(*request_.image, ProgramSettings())
                                    : AddressFields{};
  const std::array<const std::string*, 5> values = {
      &initial.start, &initial.size, &initial.checkStart, &initial.checkEnd, &initial.checksum};
  for (int i = 0; i < 5; ++i) {
    grid->addWidget(new QLabel(Text(labels[static_cast<std::size_t>(i)], 255), this), i, 0);
    auto* field = new QLineEdit(QString::fromStdString(*values[static_cast<std::size_t>(i)]), this);
    field->setObjectName(QStringLiteral("Field%1").arg(i));
    grid->addWidget(field, i, 1);
    fields_[static_cast<std::size_t>(i)] = field;
  }
  layout->addLayout(grid);
  auto* buttons = new QHBoxLayout;
  auto* ok = Button(this, kTextOkButton, "Ok");
  auto* without = Button(this, kTextWithoutChecksum, "WithoutChecksum");
  auto* cancel = Button(this, kTextCancelButton, "Cancel");
  ok->setDefault(true);
  buttons->addWidget(ok);
  buttons->addWidget(without);
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &AddressesDialog::PressOk);
  connect(without, &QPushButton::clicked, this, &AddressesDialog::PressWithoutChecksum);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  openedSize_ = request_.image != nullptr ? request_.image->size : 0;
  connect(&abortTimer_, &QTimer::timeout, this, [this] {
    if (request_.abort) reject();
  });
  abortTimer_.start(kPollMs);
}

AddressesDialog::~AddressesDialog() {
  if (!finished_) request_.done = true;
}

void AddressesDialog::done(int result) {
  abortTimer_.stop();
  QDialog::done(result);
  finished_ = true;
  request_.done = true;
}

void AddressesDialog::PressOk() {
  Apply(true);
}

void AddressesDialog::PressWithoutChecksum() {
  Apply(false);
}

void AddressesDialog::Apply(bool withChecksum) {
  if (request_.image == nullptr) return reject();
  AddressFields fields;
  fields.start = fields_[0]->text().toStdString();
  fields.size = fields_[1]->text().toStdString();
  fields.checkStart = fields_[2]->text().toStdString();
  fields.checkEnd = fields_[3]->text().toStdString();
  fields.checksum = fields_[4]->text().toStdString();
  const std::uint32_t message =
      withChecksum ? ApplyAddressesOk(request_.image, openedSize_, fields, &ProgramSettings())
                   : ApplyAddressesWithoutChecksum(request_.image, openedSize_, fields);
  if (message != 0) {
    warn_(this, Text(kTextWrongInput, 255), Text(message));
    return;
  }
  accept();
}

// ---------------------------------------------------------------------------------------------
// EOL cell

EolCellDialog::EolCellDialog(CellRequest& request, QWidget* parent)
    : QDialog(parent), request_(request) {
  setObjectName(QStringLiteral("EolCellDialog"));
  SetHelpContext(this, HelpContextOfDialog(kDialogId));
  setWindowTitle(Text(kTextCellTitle, 255));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const std::array<std::uint32_t, 3> columns = {kTextCellHex, kTextCellDec, kTextCellBin};
  const std::array<std::uint32_t, 3> rows = {kTextCellAddressRow, kTextCellCurrentRow,
                                             kTextCellNewRow};
  for (int c = 0; c < 3; ++c)
    grid->addWidget(new QLabel(Text(columns[static_cast<std::size_t>(c)], 255), this), 0, c + 1);
  for (int r = 0; r < 3; ++r) {
    grid->addWidget(new QLabel(Text(rows[static_cast<std::size_t>(r)], 255), this), r + 1, 0);
    for (int c = 0; c < 3; ++c) {
      auto* field = new QLineEdit(this);
      field->setObjectName(QStringLiteral("Cell%1%2").arg(r).arg(c));
      field->setReadOnly(r == 1);
      grid->addWidget(field, r + 1, c + 1);
      fields_[static_cast<std::size_t>(r * 3 + c)] = field;
      if (r == 0) connect(field, &QLineEdit::textEdited, this, [this, c] { AddressTyped(c); });
      if (r == 2) connect(field, &QLineEdit::textEdited, this, [this, c] { NewValueTyped(c); });
    }
  }
  layout->addLayout(grid);
  auto* buttons = new QHBoxLayout;
  auto* cancel = Button(this, kTextCancelButton, "Cancel");
  read_ = Button(this, kTextReadButton, "Read");
  write_ = Button(this, kTextWriteButton, "Write");
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  buttons->addWidget(read_);
  buttons->addWidget(write_);
  layout->addLayout(buttons);
  connect(cancel, &QPushButton::clicked, this, &QDialog::close);
  connect(read_, &QPushButton::clicked, this, [this] {
    const std::uint32_t a = request_.address;
    if (a >= request_.start && a < request_.size) {
      request_.readRequest = true;
      ShowCurrent(true);
    }
  });
  connect(write_, &QPushButton::clicked, this, [this] {
    request_.newValueEntered = false;
    const std::uint32_t a = request_.address;
    if (a >= request_.start && a < request_.size && request_.newValue <= 255) {
      request_.writeRequest = true;
      ShowCurrent(true);
    }
    ShowNewValue(-1);
    UpdateButtons();
  });
  // The new value starts as the current value, not yet entered.
  request_.newValue = request_.currentValue.load();
  ShowAddress(-1);
  ShowCurrent(false);
  ShowNewValue(-1);
  UpdateButtons();
  connect(&timer_, &QTimer::timeout, this, &EolCellDialog::Tick);
  timer_.start(kPollMs);
}

EolCellDialog::~EolCellDialog() {
  MarkClosed();
}

void EolCellDialog::MarkClosed() {
  timer_.stop();
  request_.closed = true;
}

void EolCellDialog::closeEvent(QCloseEvent* event) {
  MarkClosed();
  QDialog::closeEvent(event);
}

void EolCellDialog::done(int result) {
  MarkClosed();
  QDialog::done(result);
}

void EolCellDialog::Tick() {
  if (request_.abort) {
    close();
    return;
  }
  if (request_.refresh.exchange(false)) ShowCurrent(false);
  UpdateButtons();
}

void EolCellDialog::AddressTyped(int column) {
  const auto value = ParseCellField(fields_[static_cast<std::size_t>(column)]->text().toStdString(),
                                    kBases[static_cast<std::size_t>(column)]);
  request_.address = value && *value < CellRequest::kInvalidAddress
                         ? static_cast<std::uint16_t>(*value)
                         : CellRequest::kInvalidAddress;
  ShowAddress(column);
  UpdateButtons();
}

void EolCellDialog::NewValueTyped(int column) {
  const auto value =
      ParseCellField(fields_[static_cast<std::size_t>(6 + column)]->text().toStdString(),
                     kBases[static_cast<std::size_t>(column)]);
  request_.newValue = value && *value <= 0xFFFF ? static_cast<std::uint16_t>(*value) : 0x100;
  request_.newValueEntered = true;
  ShowNewValue(column);
  UpdateButtons();
}

void EolCellDialog::ShowAddress(int except) {
  request_.updating = true;
  for (int c = 0; c < 3; ++c) {
    if (c == except) continue;
    fields_[static_cast<std::size_t>(c)]->setText(QString::fromStdString(FormatCellAddress(
        request_.address, request_.start, request_.size, kBases[static_cast<std::size_t>(c)])));
  }
  request_.updating = false;
}

void EolCellDialog::ShowCurrent(bool pending) {
  for (int c = 0; c < 3; ++c) {
    fields_[static_cast<std::size_t>(3 + c)]->setText(
        pending ? QString()
                : QString::fromStdString(
                      FormatCellValue(request_.currentValue, kBases[static_cast<std::size_t>(c)])));
  }
}

void EolCellDialog::ShowNewValue(int except) {
  request_.updating = true;
  for (int c = 0; c < 3; ++c) {
    if (c == except) continue;
    fields_[static_cast<std::size_t>(6 + c)]->setText(
        request_.newValueEntered ? QString::fromStdString(FormatCellValue(
                                       request_.newValue, kBases[static_cast<std::size_t>(c)]))
                                 : QString());
  }
  request_.updating = false;
}

void EolCellDialog::UpdateButtons() {
  const std::uint32_t a = request_.address;
  const bool valid = a != CellRequest::kInvalidAddress && a >= request_.start && a < request_.size;
  write_->setEnabled(valid && request_.newValueEntered && request_.newValue <= 255);
  read_->setEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// Data transfer running...

TransferDialog::TransferDialog(TransferProgress& progress, QWidget* parent)
    : QDialog(parent), progress_(progress) {
  setObjectName(QStringLiteral("TransferDialog"));
  SetHelpContext(this, HelpContextOfDialog(kDialogId));
  setWindowTitle(Text(kTextTransferRunning, 255));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("Progress"));
  bar_->setMinimumWidth(320);
  layout->addWidget(bar_);
  connect(&timer_, &QTimer::timeout, this, &TransferDialog::Tick);
  timer_.start(kPollMs);
  Tick();
}

void TransferDialog::Tick() {
  if (progress_.finished) {
    timer_.stop();
    accept();
    return;
  }
  const auto first = static_cast<int>(progress_.first.load());
  const auto last = static_cast<int>(progress_.last.load());
  bar_->setRange(first, std::max(first, last));
  bar_->setValue(
      std::clamp(static_cast<int>(progress_.current.load()), first, std::max(first, last)));
}

// ---------------------------------------------------------------------------------------------
// Baud rate for block mode

BlockBaudDialog::BlockBaudDialog(QWidget* parent, WarningBox warn)
    : QDialog(parent), warn_(std::move(warn)) {
  setObjectName(QStringLiteral("BlockBaudDialog"));
  SetHelpContext(this, HelpContextOfDialog(kDialogId));
  setWindowTitle(Text(kTextBaudTitle, 255));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(Text(kTextBaudField, 255), this));
  field_ = new QLineEdit(QString::number(ProgramSettings().hbusBlockBaud), this);
  field_->setObjectName(QStringLiteral("Baud"));
  layout->addWidget(field_);
  auto* buttons = new QHBoxLayout;
  auto* ok = Button(this, kTextOkButton, "Ok");
  auto* cancel = Button(this, kTextCancelButton, "Cancel");
  ok->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &BlockBaudDialog::PressOk);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void BlockBaudDialog::PressOk() {
  const auto baud = ParseBlockBaud(field_->text().toStdString());
  if (!baud) {
    warn_(this, Text(kTextWrongInput, 255), Text(kTextInvalidBaudRate, 255));
    return;
  }
  ProgramSettings().hbusBlockBaud = *baud;
  accept();
}

}  // namespace heatdiag
