#include "service/gui/service_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <chrono>

#include "base/settings.h"
#include "base/string_table.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "service/component_test.h"
#include "service/free_telegram_input.h"
#include "service/service_texts.h"
#include "shell/gui/frame_window.h"
#include "shell/gui/help_controller.h"
#include "shell/gui/queued_target.h"

namespace heatdiag::service {
namespace {

constexpr int kComponentTimerMs = 200;
constexpr int kDialogTimerMs = 100;

QString Text(std::uint32_t id) {
  return QString::fromUtf8(LoadString(id).c_str());
}

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.c_str());
}

MessageBoxFunction& MessageBox() {
  static MessageBoxFunction show = [](QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox::warning(owner, caption, text);
  };
  return show;
}

const DeviceDriver* ActiveDriver() {
  const DeviceDriver* driver = SelectedDriver();
  return driver != nullptr && driver->IsSessionActive() != 0 ? driver : nullptr;
}

std::uint64_t SteadyMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

void SetServiceMessageBox(MessageBoxFunction show) {
  MessageBox() = std::move(show);
}

void ShowServiceMessage(QWidget* owner, std::uint32_t captionId, std::uint32_t textId) {
  MessageBox()(owner, Text(captionId), Text(textId));
}

// --- Component test ------------------------------------------------------------------------

ComponentTestDialog::ComponentTestDialog(QWidget* parent)
    : QDialog(parent), target_(std::make_unique<QueuedMessageTarget>()) {
  setWindowTitle(Text(kTextComponentTest));
  SetHelpContext(this, HelpContextOfDialog(139));
  auto* layout = new QHBoxLayout(this);
  auto* components = new QGroupBox(Text(kTextComponentGroup), this);
  auto* radios = new QVBoxLayout(components);
  auto* group = new QButtonGroup(this);
  for (std::size_t i = 0; i < kComponentEntries; ++i) {
    radios_[i] = new QRadioButton(components);
    group->addButton(radios_[i], static_cast<int>(i));
    radios->addWidget(radios_[i]);
    connect(radios_[i], &QRadioButton::toggled, this, [this](bool on) {
      if (on) FollowSelection();
    });
  }
  layout->addWidget(components);
  auto* right = new QVBoxLayout;
  auto* values = new QGroupBox(Text(kTextSetValueGroup), this);
  auto* grid = new QGridLayout(values);
  setValue_ = new QLineEdit(values);
  unit_ = new QLabel(values);
  runTime_ = new QLineEdit(values);
  grid->addWidget(new QLabel(Text(kTextSetValue), values), 0, 0);
  grid->addWidget(setValue_, 0, 1);
  grid->addWidget(unit_, 0, 2);
  grid->addWidget(new QLabel(Text(kTextRunTime), values), 1, 0);
  grid->addWidget(runTime_, 1, 1);
  grid->addWidget(new QLabel(Text(kTextSeconds), values), 1, 2);
  right->addWidget(values);
  auto* start = new QPushButton(Text(kTextStart), this);
  auto* allOff = new QPushButton(Text(kTextAllOff), this);
  auto* exit = new QPushButton(Text(kTextExit), this);
  connect(start, &QPushButton::clicked, this, [this] { Start(); });
  connect(allOff, &QPushButton::clicked, this, [this] { AllOff(); });
  connect(exit, &QPushButton::clicked, this, [this] { Exit(); });
  right->addWidget(start);
  right->addWidget(allOff);
  right->addWidget(exit);
  right->addStretch();
  layout->addLayout(right);

  AskReadiness(true);
  Fill();
  target_->SetHandler(
      [this](std::uint32_t message, std::intptr_t, std::intptr_t) { OnStoreMessage(message); },
      this);
  StoreSubscribe(target_.get(), 0, 0);
  timer_.setInterval(kComponentTimerMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  timer_.start();
}

ComponentTestDialog::~ComponentTestDialog() {
  StoreUnsubscribe(target_.get());
  target_->ClearHandler(this);
}

void ComponentTestDialog::AskReadiness(bool first) {
  const DeviceDriver* driver = ActiveDriver();
  if (driver == nullptr) return;
  switch (ReadinessOf(driver->RunOwnComponentTest())) {
    case Readiness::kReady:
      if (waiting_) heatdiag::SetStatusText(std::nullopt);
      waiting_ = false;
      driver->GetComponentList(&list_);
      if (!first) Fill();
      break;
    case Readiness::kNotPossible:
      if (waiting_) heatdiag::SetStatusText(std::nullopt);
      waiting_ = false;
      ShowServiceMessage(this, kTextAttention, kTextComponentNotPossible);
      break;
    case Readiness::kUnknown:
      if (!waiting_) heatdiag::SetStatusTextById(kTextPleaseWait);
      waiting_ = true;
      break;
  }
}

void ComponentTestDialog::Fill() {
  radios_[0]->setText(Text(kTextAllOff));
  radios_[0]->setEnabled(true);
  for (std::size_t i = 1; i < kComponentEntries; ++i) {
    radios_[i]->setText(Utf8(ComponentName(list_, i)));
    radios_[i]->setEnabled(ComponentExists(list_, i));
    radios_[i]->setVisible(ComponentExists(list_, i));
  }
  radios_[0]->setChecked(true);
  runTime_->setEnabled(list_.runTimeAvailable != 0);
  FollowSelection();
}

std::size_t ComponentTestDialog::Selected() const {
  for (std::size_t i = 0; i < kComponentEntries; ++i)
    if (radios_[i]->isChecked()) return i;
  return 0;
}

void ComponentTestDialog::FollowSelection() {
  const std::size_t index = Selected();
  setValue_->setEnabled(TakesSetValue(list_, index));
  unit_->setText(Utf8(ComponentUnit(list_, index)));
  unit_->setEnabled(TakesSetValue(list_, index));
}

void ComponentTestDialog::Tick() {
  if (waiting_) AskReadiness(false);
}

void ComponentTestDialog::Start() {
  const PreparedStart prepared = PrepareComponentStart(
      list_, Selected(), setValue_->text().toStdString(), runTime_->text().toStdString());
  if (prepared.input == ComponentInput::kSetValueMissing ||
      prepared.input == ComponentInput::kRunTimeMissing) {
    ShowServiceMessage(this, kTextWrongInput, MessageOf(prepared.input));
    return;
  }
  if (prepared.input != ComponentInput::kOk) return;
  const DeviceDriver* driver = SelectedDriver();
  const ComponentRequest& r = prepared.request;
  if (driver == nullptr || driver->StartComponent(r.index, r.value, r.runTime) == 0) Exit();
}

void ComponentTestDialog::AllOff() {
  if (const DeviceDriver* driver = SelectedDriver()) driver->StartComponent(0, 0, 0);
}

void ComponentTestDialog::Exit() {
  if (ended_) return;
  ended_ = true;
  timer_.stop();
  StoreUnsubscribe(target_.get());
  if (const DeviceDriver* driver = SelectedDriver()) driver->StopComponentTest();
  deleteLater();
  hide();
}

void ComponentTestDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  Exit();
}

void ComponentTestDialog::OnStoreMessage(std::uint32_t message) {
  if (message == UM_DATARELEASED) {
    list_ = ComponentList{};
    Fill();
  } else if (message == UM_DATAREADY) {
    list_ = ComponentList{};
    AskReadiness(false);
    Fill();
  }
}

// --- Fuel prime ----------------------------------------------------------------------------

FuelPrimeDialog::FuelPrimeDialog(QWidget* parent, std::function<std::uint64_t()> clock)
    : QDialog(parent), clock_(clock ? std::move(clock) : std::function<std::uint64_t()>(SteadyMs)) {
  setWindowTitle(Text(kTextFuelPrime));
  SetHelpContext(this, HelpContextOfDialog(165));
  auto* layout = new QGridLayout(this);
  edit_ = new QLineEdit(this);
  start_ = new QPushButton(Text(kTextStartFuelPrime), this);
  stop_ = new QPushButton(Text(kTextStopFuelPrime), this);
  auto* close = new QPushButton(Text(kTextCloseWithoutStop), this);
  layout->addWidget(new QLabel(Text(kTextPrimeTime), this), 0, 0);
  layout->addWidget(edit_, 0, 1);
  layout->addWidget(new QLabel(Text(kTextSeconds), this), 0, 2);
  layout->addWidget(start_, 1, 0);
  layout->addWidget(stop_, 1, 1);
  layout->addWidget(close, 1, 2);
  start_->setDefault(true);
  connect(start_, &QPushButton::clicked, this, [this] { StartPrime(); });
  connect(stop_, &QPushButton::clicked, this, [this] { StopPrime(); });
  // Priming goes on in the unit; the countdown survives the dialog.
  connect(close, &QPushButton::clicked, this, [this] {
    timer_.stop();
    reject();
  });
  Show(ProgramFuelPrime().Open(FillTimeSetting(), clock_()));
  timer_.setInterval(kDialogTimerMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  timer_.start();
}

void FuelPrimeDialog::Show(const FuelPrimeView& view) {
  edit_->setText(QString::number(view.seconds));
  start_->setEnabled(view.startEnabled);
  stop_->setEnabled(view.stopEnabled);
}

void FuelPrimeDialog::StartPrime() {
  const std::uint32_t seconds = ParsePrimeTime(edit_->text().toStdString());
  ProgramSettings().fillTime =
      static_cast<std::int32_t>(std::min<std::uint32_t>(seconds, 0x7FFFFFFF));
  const DeviceDriver* driver = ActiveDriver();
  const bool accepted = driver != nullptr && driver->StartFuelPrime(seconds) != 0;
  heatdiag::SetStatusTextById(accepted ? kTextFuelPrimeStarted : kTextFuelPrimeRefused);
  Show(ProgramFuelPrime().Started(accepted, FillTimeSetting(), clock_()));
}

void FuelPrimeDialog::StopPrime() {
  Show(ProgramFuelPrime().Stopped(FillTimeSetting()));
  if (const DeviceDriver* driver = SelectedDriver()) driver->StartFuelPrime(0);
}

void FuelPrimeDialog::Tick() {
  if (ProgramFuelPrime().Running()) Show(ProgramFuelPrime().Tick(FillTimeSetting(), clock_()));
}

// --- Calibration ---------------------------------------------------------------------------

CalibrationDialog::CalibrationDialog(QWidget* parent, Calibration calibration)
    : QDialog(parent), calibration_(calibration) {
  const bool voltage = calibration == Calibration::kVoltage;
  setWindowTitle(Text(voltage ? kTextVoltageAdjustment : kTextGlowPlugAdjustment));
  SetHelpContext(this, HelpContextOfDialog(voltage ? 145 : 146));
  auto* layout = new QGridLayout(this);
  edit_ = new QLineEdit(Utf8(FormatMilli(CalibrationSetting(calibration))), this);
  edit_->setMaxLength(static_cast<int>(kCalibrationEntryChars));
  layout->addWidget(new QLabel(Text(voltage ? kTextCurrentVoltage : kTextCurrentResistance), this),
                    0, 0);
  layout->addWidget(edit_, 0, 1);
  layout->addWidget(new QLabel(Text(voltage ? kTextVolt : kTextOhm), this), 0, 2);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(Text(kTextCancel), this);
  ok->setDefault(true);
  layout->addWidget(ok, 1, 1);
  layout->addWidget(cancel, 1, 2);
  connect(ok, &QPushButton::clicked, this, [this] {
    if (Accept()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool CalibrationDialog::Accept() {
  const std::optional<std::uint16_t> milli =
      ParseCalibrationEntry(calibration_, edit_->text().toStdString());
  if (!milli) {
    ShowServiceMessage(this, kTextWrongInput, RangeOf(calibration_).messageId);
    return false;
  }
  SendCalibration(calibration_, *milli);
  return true;
}

// --- CO2 adjustment ------------------------------------------------------------------------

Co2Dialog::Co2Dialog(QWidget* parent, Co2Request* request) : QDialog(parent), request_(request) {
  setWindowTitle(Text(request->mode.load() != 0 ? kTextCo2Adjustment : kTextCo2AdjustmentCold));
  SetHelpContext(this, HelpContextOfDialog(request->mode.load() != 0 ? 148 : 147));
  auto* layout = new QGridLayout(this);
  slider_ = new QSlider(Qt::Horizontal, this);
  spin_ = new QSpinBox(this);
  hex_ = new QLineEdit(this);
  hex_->setReadOnly(true);
  const int lowest = request->lowest.load();
  const int highest = std::max<int>(lowest, request->highest.load());
  slider_->setRange(lowest, highest);
  spin_->setRange(lowest, highest);
  spin_->setDisplayIntegerBase(16);
  const int value = std::clamp<int>(request->value.load(), lowest, highest);
  slider_->setValue(value);
  spin_->setValue(value);
  hex_->setText(QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
  auto* close = new QPushButton(Text(kTextClose), this);
  layout->addWidget(slider_, 0, 0, 1, 3);
  layout->addWidget(new QLabel(Text(kTextCo2Value), this), 1, 0);
  layout->addWidget(hex_, 1, 1);
  layout->addWidget(spin_, 1, 2);
  layout->addWidget(close, 2, 2);
  connect(slider_, &QSlider::valueChanged, this, [this](int v) {
    if (spin_->value() != v) spin_->setValue(v);
    Take(v);
  });
  connect(spin_, &QSpinBox::valueChanged, this, [this](int v) {
    if (slider_->value() != v) slider_->setValue(v);
    Take(v);
  });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
  timer_.setInterval(kDialogTimerMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  timer_.start();
}

Co2Dialog::~Co2Dialog() {
  if (!ended_) request_->closed = 1;
}

void Co2Dialog::Take(int value) {
  if (static_cast<int>(request_->value.load()) == value && hex_->text().size() == 2) return;
  request_->value = static_cast<std::uint8_t>(value);
  request_->changed = 1;
  hex_->setText(QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
}

void Co2Dialog::Tick() {
  if (request_->abort.load() != 0) close();
}

void Co2Dialog::closeEvent(QCloseEvent* event) {
  timer_.stop();
  if (!ended_) {
    ended_ = true;
    request_->closed = 1;
  }
  event->accept();
  deleteLater();
}

// --- Free telegram input -------------------------------------------------------------------

FreeTelegramDialog::FreeTelegramDialog(QWidget* parent, std::function<void()> viewAnswer)
    : QDialog(parent), openProtocol_(std::move(viewAnswer)) {
  setWindowTitle(Text(kTextFreeTelegram));
  SetHelpContext(this, HelpContextOfDialog(154));
  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(Text(kTextTelegramHint), this), 0, 0, 1, 3);
  device_ = new QLineEdit(this);
  source_ = new QLineEdit(this);
  data_ = new QLineEdit(this);
  viewAnswer_ = new QCheckBox(Text(kTextViewAnswer), this);
  layout->addWidget(new QLabel(Text(kTextDeviceAddress), this), 1, 0);
  layout->addWidget(device_, 1, 1);
  layout->addWidget(new QLabel(Text(kTextSourceAddress), this), 2, 0);
  layout->addWidget(source_, 2, 1);
  layout->addWidget(new QLabel(Text(kTextSendData), this), 3, 0);
  layout->addWidget(data_, 3, 1, 1, 2);
  layout->addWidget(viewAnswer_, 4, 0);
  auto* cancel = new QPushButton(Text(kTextCancel), this);
  auto* defaults = new QPushButton(Text(kTextSetDefaultAddress), this);
  auto* transmit = new QPushButton(Text(kTextTransmit), this);
  transmit->setDefault(true);
  layout->addWidget(cancel, 5, 0);
  layout->addWidget(defaults, 5, 1);
  layout->addWidget(transmit, 5, 2);
  connect(cancel, &QPushButton::clicked, this, [this] { close(); });
  connect(defaults, &QPushButton::clicked, this, [this] { SetDefaultAddress(); });
  connect(transmit, &QPushButton::clicked, this, [this] { Transmit(); });
  setAttribute(Qt::WA_DeleteOnClose);

  working_ = FromSettingsBlock(ProgramSettings().freeTele);
  if (working_.deviceAddress == 0 && working_.sourceAddress == 0) {
    if (const DeviceDriver* driver = ActiveDriver()) {
      std::uint8_t addresses[2] = {0, 0};
      if (driver->GetDefaultAddresses(addresses) != 0) {
        working_.deviceAddress = addresses[0];
        working_.sourceAddress = addresses[1];
      }
    }
  }
  Refresh();
}

void FreeTelegramDialog::Refresh() {
  device_->setText(Utf8(FormatAddress(working_.deviceAddress)));
  source_->setText(Utf8(FormatAddress(working_.sourceAddress)));
  data_->setText(Utf8(FormatData(working_)));
  viewAnswer_->setChecked(working_.viewAnswer != 0);
}

void FreeTelegramDialog::Transmit() {
  const std::optional<FreeTelegram> telegram =
      ParseFreeTelegramInput(device_->text().toStdString(), source_->text().toStdString(),
                             data_->text().toStdString(), viewAnswer_->isChecked());
  if (!telegram) {
    ShowServiceMessage(this, kTextWrongInput, kTextTelegramNotPlausible);
    return;
  }
  working_ = *telegram;
  if (working_.viewAnswer != 0 && openProtocol_) openProtocol_();
  ProgramSettings().freeTele = ToSettingsBlock(working_);
  if (const DeviceDriver* driver = ActiveDriver()) driver->SendFreeTelegram(&working_);
}

void FreeTelegramDialog::SetDefaultAddress() {
  const DeviceDriver* driver = ActiveDriver();
  if (driver == nullptr) return;
  std::uint8_t addresses[2] = {0, 0};
  if (driver->GetDefaultAddresses(addresses) == 0) return;
  working_.deviceAddress = addresses[0];
  working_.sourceAddress = addresses[1];
  ProgramSettings().freeTele = ToSettingsBlock(working_);
  Refresh();
}

}  // namespace heatdiag::service
