// The service dialogs on a scripted driver: what they send, when they refuse the input, and the
// fuel prime countdown across closing and opening the dialog.
#include "service/gui/service_dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <cstring>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/settings.h"
#include "drivers/device_table.h"
#include "gui/frame_fakes.h"
#include "gui/qt_app.h"
#include "service/gui/service_functions.h"
#include "service/service_texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_window.h"

namespace heatdiag::service {
namespace {

struct Sent {
  std::string what;
  std::uint32_t a = 0, b = 0, c = 0;
  bool operator==(const Sent&) const = default;
};

// The driver behind the record: a 3.x unit at rest with three components.
struct ScriptedUnit {
  std::vector<Sent> sent;
  int readiness = 1;
  FreeTelegram telegram{};
} g_unit;

int Active() {
  return 1;
}
int Available(std::uint32_t) {
  return 1;
}
int Readiness() {
  return g_unit.readiness;
}
int List(ComponentList* list) {
  *list = ComponentList{};
  std::strcpy(list->names[1].data(), "Combustion air fan");
  std::strcpy(list->units[1].data(), "%");
  list->decimals[1] = 1;
  list->divisors[1] = 5;
  std::strcpy(list->names[2].data(), "Fuel pump");
  std::strcpy(list->units[2].data(), "Hz");
  list->decimals[2] = 2;
  list->divisors[2] = 5;
  std::strcpy(list->names[5].data(), "Vehicle fan relais");
  list->setValueAvailable = 1;
  list->runTimeAvailable = 1;
  return 1;
}
int StartComponent(std::uint32_t c, std::uint32_t v, std::uint32_t t) {
  g_unit.sent.push_back({"component", c, v, t});
  return 1;
}
void StopComponents() {
  g_unit.sent.push_back({"stop"});
}
int Prime(std::uint32_t s) {
  g_unit.sent.push_back({"prime", s});
  return 1;
}
void Voltage(std::uint16_t mv) {
  g_unit.sent.push_back({"voltage", mv});
}
void Resistance(std::uint16_t mohm) {
  g_unit.sent.push_back({"resistance", mohm});
}
int Defaults(std::uint8_t* a) {
  a[0] = 0x04;
  a[1] = 0x0F;
  return 1;
}
int Telegram(const FreeTelegram* t) {
  g_unit.telegram = *t;
  g_unit.sent.push_back({"telegram", t->length});
  return 1;
}

class ServiceDialogs : public ::testing::Test {
 protected:
  ServiceDialogs() : scoped_(Table()) {
    test::App();
    g_unit = ScriptedUnit{};
    ProgramSettings() = Settings{};
    ProgramSettings().fillTime = 158;
    ProgramSettings().adjVoltage = 12000;
    ProgramSettings().adjGlowPlug = 500;
    SelectDevice(0);
    SetServiceMessageBox([this](QWidget*, const QString& caption, const QString& text) {
      messages_.push_back((caption + "|" + text).toStdString());
    });
  }
  ~ServiceDialogs() override {
    SelectDevice(kNoDevice);
    SetServiceMessageBox([](QWidget*, const QString&, const QString&) {});
    test::DrainEvents();
  }
  static std::span<const DeviceDriver, kDeviceCount> Table() {
    static std::array<DeviceDriver, kDeviceCount> table = [] {
      std::array<DeviceDriver, kDeviceCount> t{};
      DeviceDriver& d = t[0];
      d.IsSessionActive = Active;
      d.IsFunctionAvailable = Available;
      d.RunOwnComponentTest = Readiness;
      d.GetComponentList = List;
      d.StartComponent = StartComponent;
      d.StopComponentTest = StopComponents;
      d.StartFuelPrime = Prime;
      d.SetSupplyVoltage = Voltage;
      d.SetGlowPlugResistance = Resistance;
      d.GetDefaultAddresses = Defaults;
      d.SendFreeTelegram = Telegram;
      return t;
    }();
    return table;
  }

  ScopedDeviceTable scoped_;
  std::vector<std::string> messages_;
};

TEST_F(ServiceDialogs, ComponentTestStartsWhatIsSelected) {
  auto* dialog = new ComponentTestDialog(nullptr);
  EXPECT_TRUE(dialog->Radio(0)->isChecked());
  EXPECT_TRUE(dialog->Radio(2)->isEnabled());
  EXPECT_FALSE(dialog->Radio(3)->isEnabled());
  // "all off" takes no set value and never asks for a run time.
  EXPECT_FALSE(dialog->SetValueEdit()->isEnabled());
  dialog->Start();
  EXPECT_TRUE(messages_.empty());
  // "7" with two decimals is 700, by the divisor 5.
  dialog->Radio(2)->setChecked(true);
  EXPECT_TRUE(dialog->SetValueEdit()->isEnabled());
  EXPECT_EQ(dialog->UnitLabel()->text(), "Hz");
  dialog->SetValueEdit()->setText("7");
  dialog->RunTimeEdit()->setText("");
  dialog->Start();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Wrong input!|Please enter the run time");
  dialog->RunTimeEdit()->setText("30");
  dialog->Start();
  // A component without unit starts with 0 whatever the edit holds.
  dialog->Radio(5)->setChecked(true);
  EXPECT_FALSE(dialog->SetValueEdit()->isEnabled());
  dialog->Start();
  dialog->AllOff();
  dialog->Exit();
  EXPECT_EQ(g_unit.sent, (std::vector<Sent>{{"component", 0, 0, 0},
                                            {"component", 2, 140, 30},
                                            {"component", 5, 0, 30},
                                            {"component", 0, 0, 0},
                                            {"stop"}}));
}

TEST_F(ServiceDialogs, ComponentTestNotPossibleAndWaiting) {
  g_unit.readiness = 0;
  auto* refused = new ComponentTestDialog(nullptr);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("Attention!|Component test presently not possible!", 0), 0u);
  EXPECT_FALSE(refused->Radio(1)->isEnabled());
  refused->Exit();
  g_unit.readiness = -1;
  auto* waiting = new ComponentTestDialog(nullptr);
  EXPECT_TRUE(waiting->Waiting());
  EXPECT_FALSE(waiting->Radio(1)->isEnabled());
  g_unit.readiness = 1;
  waiting->Tick();
  EXPECT_FALSE(waiting->Waiting());
  EXPECT_TRUE(waiting->Radio(1)->isEnabled());
  waiting->Exit();
}

TEST_F(ServiceDialogs, FuelPrimeCountdownSurvivesTheDialog) {
  std::uint64_t now = 100'000;
  const auto clock = [&now] { return now; };
  {
    FuelPrimeDialog dialog(nullptr, clock);
    EXPECT_EQ(dialog.TimeEdit()->text(), "158");
    EXPECT_FALSE(dialog.StopButton()->isEnabled());
    dialog.TimeEdit()->setText("60");
    dialog.StartPrime();
    EXPECT_EQ(ProgramSettings().fillTime, 60);
    EXPECT_FALSE(dialog.StartButton()->isEnabled());
    EXPECT_TRUE(dialog.StopButton()->isEnabled());
    now += 2000;
    dialog.Tick();
    EXPECT_EQ(dialog.TimeEdit()->text(), "58");
  }  // "Close (without stop)"
  now += 10'000;
  {
    FuelPrimeDialog dialog(nullptr, clock);
    EXPECT_EQ(dialog.TimeEdit()->text(), "48");
    EXPECT_FALSE(dialog.StartButton()->isEnabled());
    dialog.StopPrime();
    EXPECT_EQ(dialog.TimeEdit()->text(), "60");
    EXPECT_TRUE(dialog.StartButton()->isEnabled());
  }
  EXPECT_EQ(g_unit.sent, (std::vector<Sent>{{"prime", 60}, {"prime", 0}}));
}

TEST_F(ServiceDialogs, CalibrationRangesAndMessages) {
  CalibrationDialog voltage(nullptr, Calibration::kVoltage);
  EXPECT_EQ(voltage.Edit()->text(), "12.000");
  voltage.Edit()->setText("9,999");
  EXPECT_FALSE(voltage.Accept());
  voltage.Edit()->setText("10");
  EXPECT_TRUE(voltage.Accept());
  CalibrationDialog glowPlug(nullptr, Calibration::kGlowPlug);
  EXPECT_EQ(glowPlug.Edit()->text(), "0.500");
  glowPlug.Edit()->setText("5,0001");
  EXPECT_TRUE(glowPlug.Accept());
  EXPECT_EQ(
      messages_,
      (std::vector<std::string>{"Wrong input!|Invalid input!\nValid range 10,0...30,0 volt"}));
  EXPECT_EQ(g_unit.sent, (std::vector<Sent>{{"voltage", 10000}, {"resistance", 5000}}));
  EXPECT_EQ(ProgramSettings().adjVoltage, 10000);
  EXPECT_EQ(ProgramSettings().adjGlowPlug, 5000);
}

TEST_F(ServiceDialogs, Co2SliderSpinAndHexShareTheValue) {
  Co2Request request;
  request.lowest = 0x10;
  request.highest = 0xF0;
  request.value = 0x80;
  request.mode = 1;
  auto* dialog = new Co2Dialog(nullptr, &request);
  EXPECT_EQ(dialog->windowTitle(), "CO2 adjustment");
  EXPECT_EQ(dialog->HexEdit()->text(), "80");
  dialog->Slider()->setValue(0x0A + 0x10);
  EXPECT_EQ(dialog->Spin()->value(), 0x1A);
  EXPECT_EQ(dialog->HexEdit()->text(), "1A");
  EXPECT_EQ(request.value.load(), 0x1A);
  EXPECT_EQ(request.changed.load(), 1u);
  request.changed = 0;
  dialog->Spin()->setValue(0x1B);
  EXPECT_EQ(dialog->Slider()->value(), 0x1B);
  EXPECT_EQ(request.changed.load(), 1u);
  request.abort = 1;
  dialog->Tick();
  EXPECT_EQ(request.closed.load(), 1u);
  test::DrainEvents();
}

TEST_F(ServiceDialogs, FreeTelegramInput) {
  auto* dialog = new FreeTelegramDialog(nullptr, {});
  // First use: the driver's addresses.
  EXPECT_EQ(dialog->DeviceEdit()->text(), "04");
  EXPECT_EQ(dialog->SourceEdit()->text(), "0F");
  dialog->DataEdit()->setText("100");
  dialog->Transmit();
  EXPECT_EQ(messages_, (std::vector<std::string>{
                           "Wrong input!|Invalid input!\nThe entered values are not plausible!"}));
  EXPECT_TRUE(g_unit.sent.empty());
  dialog->DataEdit()->setText("");
  dialog->Transmit();
  dialog->DataEdit()->setText("0x51 2");
  dialog->Transmit();
  EXPECT_EQ(g_unit.sent, (std::vector<Sent>{{"telegram", 0}, {"telegram", 2}}));
  EXPECT_EQ(g_unit.telegram.data[0], 0x51);
  EXPECT_EQ(g_unit.telegram.data[1], 0x02);
  // The last telegram is offered again.
  dialog->close();
  auto* again = new FreeTelegramDialog(nullptr, {});
  EXPECT_EQ(again->DataEdit()->text(), "51 02 ");
  again->close();
}

}  // namespace
}  // namespace heatdiag::service

namespace heatdiag::service {
namespace {

// The frame routes the service commands and the CO2 dialog message to the module.
TEST_F(ServiceDialogs, TheFrameRoutesCommandsAndTheCo2Message) {
  test::FakeCore core;
  test::FakeDialogs dialogs;
  FrameWindow frame(core, dialogs);
  RegisterServiceFunctions(frame);
  EXPECT_FALSE(FreeTelegramDialogOpen());
  frame.HandleCommand(kCmdFreeTelegram);
  EXPECT_TRUE(FreeTelegramDialogOpen());
  EXPECT_TRUE(frame.CurrentCommandState().freeTelegramOpen);
  frame.HandleCommand(kCmdFreeTelegram);
  test::DrainEvents();
  EXPECT_FALSE(FreeTelegramDialogOpen());

  Co2Request request;
  request.lowest = 1;
  request.highest = 9;
  request.value = 5;
  frame.HandleFrameMessage(UM_OPENCO2DIALOG, reinterpret_cast<std::intptr_t>(&request), 0);
  // A second request while one dialog is open is closed at once.
  Co2Request second;
  frame.HandleFrameMessage(UM_OPENCO2DIALOG, reinterpret_cast<std::intptr_t>(&second), 0);
  EXPECT_EQ(second.closed.load(), 1u);
  EXPECT_EQ(request.closed.load(), 0u);
  ShutdownServiceFunctions();
  EXPECT_EQ(request.closed.load(), 1u);
  test::DrainEvents();
}

}  // namespace
}  // namespace heatdiag::service
