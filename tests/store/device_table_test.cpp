#include "drivers/device_table.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "base/string_table.h"
#include "drivers/driver_defaults.h"
#include "drivers/driver_functions.h"
#include "service/component_list.h"
#include "store/recorders.h"

namespace heatdiag {
namespace {

using testing::FrameRecorders;
using AnyFunction = void (*)();

template <typename F>
AnyFunction Erase(F* function) {
  return reinterpret_cast<AnyFunction>(function);
}

// Slot s of a record, as a comparable address.
AnyFunction Slot(const DeviceDriver& d, std::uint32_t s) {
  switch (s) {
    case 0:
      return Erase(d.IsSessionActive);
    case 1:
      return Erase(d.StartSession);
    case 2:
      return Erase(d.StopSession);
    case 3:
      return Erase(d.ProbeDevice);
    case 4:
      return Erase(d.HasFaults);
    case 5:
      return Erase(d.ClearFaults);
    case 6:
      return Erase(d.GetOverviewElements);
    case 7:
      return Erase(d.IsFunctionAvailable);
    case 8:
      return Erase(d.GetComponentList);
    case 9:
      return Erase(d.RunOwnComponentTest);
    case 10:
      return Erase(d.StartComponent);
    case 11:
      return Erase(d.StopComponentTest);
    case 12:
      return Erase(d.StartFuelPrime);
    case 13:
      return Erase(d.SetOperatingMode);
    case 14:
      return Erase(d.GetOperatingMode);
    case 15:
      return Erase(d.SetSupplyVoltage);
    case 16:
      return Erase(d.SetGlowPlugResistance);
    case 17:
      return Erase(d.GetCo2Range);
    case 18:
      return Erase(d.StartCo2Adjustment);
    case 19:
      return Erase(d.StartCo2AdjustmentCold);
    case 20:
      return Erase(d.EndCo2Adjustment);
    case 21:
      return Erase(d.SetCo2Value);
    case 22:
      return Erase(d.GetDatasetLayout);
    case 23:
      return Erase(d.ReadDataset);
    case 24:
      return Erase(d.WriteDataset);
    case 25:
      return Erase(d.ReadDatasetCell);
    case 26:
      return Erase(d.WriteDatasetCell);
    case 27:
      return Erase(d.GetDefaultAddresses);
    case 28:
      return Erase(d.SendFreeTelegram);
    case 29:
      return Erase(d.StartDebugMode);
    case 30:
      return Erase(d.PollDebugMode);
    case 31:
      return Erase(d.EndDebugMode);
    case 32:
      return Erase(d.SendDebugCommand);
    case 33:
      return Erase(d.InitDriver);
    case 34:
      return Erase(d.ShutdownDriver);
    default:
      return nullptr;
  }
}

TEST(DeviceTable, NamesAndSearchCodes) {
  struct Row {
    std::uint32_t nameId;
    std::uint32_t code;
  };
  constexpr Row kExpected[kDeviceCount] = {
      {9800, 40},  {9801, 150}, {9802, 45}, {9803, 50},  {9804, 60},  {9805, 70}, {9820, 55},
      {9806, 65},  {9807, 100}, {9813, 90}, {9819, 110}, {9818, 111}, {9815, 20}, {9816, 80},
      {9808, 120}, {9817, 10},  {9809, 30}, {9810, 0},   {9814, 170}};
  ASSERT_EQ(DeviceTable().size(), 19u);
  for (std::uint32_t i = 0; i < kDeviceCount; ++i) {
    SCOPED_TRACE("D" + std::to_string(i));
    EXPECT_EQ(DeviceTable()[i].nameId, kExpected[i].nameId);
    EXPECT_EQ(DeviceTable()[i].deviceCode, kExpected[i].code);
    EXPECT_NE(FindString(DeviceTable()[i].nameId), nullptr);
  }
  EXPECT_STREQ(FindString(DeviceTable()[0].nameId), "H-Bus");
}

TEST(DeviceTable, EveryOperationSlotIsFilled) {
  for (std::uint32_t i = 0; i < kDeviceCount; ++i)
    for (std::uint32_t s = 0; s < 33; ++s)
      EXPECT_NE(Slot(DeviceTable()[i], s), nullptr) << "D" << i << " slot " << s;
}

// Which records keep a shared default in which slot, and which default.
struct DefaultRule {
  std::uint32_t slot;
  AnyFunction function;
  std::set<std::uint32_t> records;
};

std::set<std::uint32_t> AllBut(std::set<std::uint32_t> excluded) {
  std::set<std::uint32_t> all;
  for (std::uint32_t i = 0; i < kDeviceCount; ++i)
    if (!excluded.contains(i)) all.insert(i);
  return all;
}

std::vector<DefaultRule> DefaultRules() {
  using namespace defaults;
  const std::set<std::uint32_t> noDataset = {2, 12, 15, 16, 17, 18};
  const std::set<std::uint32_t> slowAndLate = {7, 8, 9, 12, 13, 14, 15, 16, 17, 18};
  std::set<std::uint32_t> co2Range = slowAndLate;
  co2Range.insert(2);
  return {
      {8, Erase(NoComponentList), noDataset},
      {9, Erase(NoOwnComponentTest), {2, 18}},
      {10, Erase(NoComponentStart), noDataset},
      {11, Erase(IgnoreComponentStop), {2, 18}},
      {12, Erase(NoFuelPrime), {1, 2, 12, 14, 15, 16, 17, 18}},
      {13, Erase(IgnoreOperatingMode), AllBut({0, 3, 7})},
      {14, Erase(NoOperatingMode), AllBut({0, 3, 7})},
      {15, Erase(IgnoreCalibration), AllBut({0})},
      {16, Erase(IgnoreCalibration), AllBut({0})},
      {17, Erase(NoCo2Range), co2Range},
      {18, Erase(Co2AdjustmentAccepted), {1, 2, 6}},
      {18, Erase(Co2AdjustmentRefused), slowAndLate},
      {19, Erase(Co2AdjustmentAccepted), {2}},
      {19, Erase(Co2AdjustmentRefused), AllBut({0, 2, 3, 4})},
      {20, Erase(IgnoreCo2End), AllBut({0, 3, 4, 10, 11})},
      {21, Erase(NoCo2Value), co2Range},
      {22, Erase(NoDatasetLayout), noDataset},
      {23, Erase(NoDatasetTransfer), noDataset},
      {24, Erase(NoDatasetTransfer), noDataset},
      {25, Erase(NoCellRead), noDataset},
      {26, Erase(NoCellWrite), noDataset},
      {27, Erase(DefaultAddresses51F1), {3, 4, 6, 7}},
      {27, Erase(DefaultAddresses9D9A), {8, 9, 13}},
      {27, Erase(NoDefaultAddresses), {12, 15, 16, 17}},
      {28, Erase(NoFreeTelegram), {12, 15, 16, 17}},
      {29, Erase(NoDebugStart), AllBut({0})},
      {30, Erase(NoDebugPoll), AllBut({0})},
      {31, Erase(IgnoreDebugEnd), AllBut({0})},
      {32, Erase(IgnoreDebugCommand), AllBut({})},
  };
}

TEST(DeviceTable, SharedDefaultsWhereTheFamilyLacksTheFunction) {
  const auto rules = DefaultRules();
  for (std::uint32_t s = 8; s <= 32; ++s) {
    std::set<AnyFunction> defaultsOfSlot;
    for (const auto& rule : rules)
      if (rule.slot == s) defaultsOfSlot.insert(rule.function);
    for (std::uint32_t i = 0; i < kDeviceCount; ++i) {
      AnyFunction expected = nullptr;
      for (const auto& rule : rules)
        if (rule.slot == s && rule.records.contains(i)) expected = rule.function;
      const AnyFunction actual = Slot(DeviceTable()[i], s);
      if (expected != nullptr)
        EXPECT_EQ(actual, expected) << "D" << i << " slot " << s << " should keep its default";
      else
        EXPECT_FALSE(defaultsOfSlot.contains(actual))
            << "D" << i << " slot " << s << " should be the family's own";
    }
  }
}

TEST(DeviceTable, OnlyTwinsRunWithoutThreadsOfTheirOwn) {
  for (std::uint32_t i = 0; i < kDeviceCount; ++i) {
    const bool twin = i == 11 || i == 17;
    EXPECT_EQ(DeviceTable()[i].InitDriver == nullptr, twin) << "D" << i;
    EXPECT_EQ(DeviceTable()[i].ShutdownDriver == nullptr, twin) << "D" << i;
  }
}

TEST(DeviceTable, TwinsShareTheirModule) {
  struct Twins {
    std::uint32_t first, second;
    std::set<std::uint32_t> ownSlots;
  };
  const Twins kTwins[] = {{10, 11, {1, 33, 34}}, {16, 17, {1, 9, 33, 34}}};
  for (const auto& twins : kTwins) {
    for (std::uint32_t s = 0; s < kDriverSlotCount; ++s) {
      if (twins.ownSlots.contains(s)) continue;
      EXPECT_EQ(Slot(DeviceTable()[twins.first], s), Slot(DeviceTable()[twins.second], s))
          << "D" << twins.second << " slot " << s;
    }
  }
}

TEST(SelectedDevice, IndexOf19OrMoreMeansNone) {
  struct Case {
    std::uint32_t select;
    std::uint32_t stored;
  };
  const Case kCases[] = {
      {0, 0}, {18, 18}, {19, kNoDevice}, {20, kNoDevice}, {0xFFFFFFFF, kNoDevice}, {6, 6}};
  for (const auto& c : kCases) {
    SelectDevice(c.select);
    EXPECT_EQ(SelectedDevice(), c.stored) << c.select;
    if (c.stored == kNoDevice) {
      EXPECT_EQ(SelectedDriver(), nullptr);
      EXPECT_FALSE(SelectedSessionActive());
    } else {
      EXPECT_EQ(SelectedDriver(), &DeviceTable()[c.stored]);
    }
    EXPECT_EQ(DeviceRecord(c.select), c.select < 19 ? &DeviceTable()[c.select] : nullptr);
  }
  SelectDevice(kNoDevice);
}

// Families without a module: a session never starts, a probe stays silent, nothing crashes.
class UnsupportedFamily : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  const DeviceDriver& record() const { return DeviceTable()[GetParam()]; }
  bool unsupported() const { return record().StartSession == unsupported::StartSession; }
  FrameRecorders recorders;
};

TEST_P(UnsupportedFamily, ProbeFailsAtOnceAndSilently) {
  if (!unsupported()) GTEST_SKIP() << "family has its module";
  EXPECT_EQ(record().ProbeDevice(), 0);
  EXPECT_TRUE(recorders.boxes.Texts().empty());
  EXPECT_EQ(recorders.protocol.Size(), 0u);
  EXPECT_TRUE(recorders.frame.Messages().empty());
  EXPECT_EQ(record().IsSessionActive(), 0);
}

TEST_P(UnsupportedFamily, StartSaysSoAndEndsTheSession) {
  if (!unsupported()) GTEST_SKIP() << "family has its module";
  EXPECT_EQ(record().StartSession(), 0);
  EXPECT_EQ(record().IsSessionActive(), 0);
  EXPECT_EQ(recorders.boxes.Texts(),
            std::vector<std::string>{"This control unit family is not supported by this version!"});
  const std::vector<testing::Message> linkEnded = {{UM_LINKENDED, 0, 0}};
  EXPECT_EQ(recorders.frame.Messages(), linkEnded);
  record().StopSession();
  EXPECT_EQ(record().IsSessionActive(), 0);
}

TEST_P(UnsupportedFamily, EveryRequestIsRefusedSafely) {
  if (!unsupported()) GTEST_SKIP() << "family has its module";
  const DeviceDriver& d = record();
  const OverviewElement* elements = reinterpret_cast<const OverviewElement*>(&d);
  EXPECT_EQ(d.GetOverviewElements(&elements), 0u);
  EXPECT_EQ(elements, nullptr);
  EXPECT_EQ(d.GetOverviewElements(nullptr), 0u);
  for (std::uint32_t f = 0; f < kDriverFunctionCount; ++f)
    EXPECT_EQ(d.IsFunctionAvailable(f), 0) << f;
  EXPECT_EQ(d.HasFaults(), 0);
  d.ClearFaults();
  EXPECT_EQ(d.GetComponentList(nullptr), 0);
  ComponentList list;
  list.names[1][0] = 'X';
  list.setValueAvailable = 1;
  EXPECT_EQ(d.GetComponentList(&list), 0);
  EXPECT_EQ(list.names[1][0], 0);
  EXPECT_EQ(list.setValueAvailable, 0u);
  EXPECT_EQ(d.RunOwnComponentTest(), 0);
  EXPECT_EQ(d.StartComponent(1, 50, 10), 0);
  d.StopComponentTest();
  EXPECT_EQ(d.StartFuelPrime(60), 0);
  d.SetOperatingMode(1);
  EXPECT_EQ(d.GetOperatingMode(), 0u);
  d.SetSupplyVoltage(12000);
  d.SetGlowPlugResistance(500);
  std::uint8_t co2[3] = {1, 2, 3};
  d.GetCo2Range(&co2[0], &co2[1], &co2[2]);
  EXPECT_EQ(co2[0] | co2[1] | co2[2], 0);
  d.GetCo2Range(nullptr, nullptr, nullptr);
  EXPECT_EQ(d.EndCo2Adjustment(), 0);
  EXPECT_EQ(d.SetCo2Value(100), 0);
  EXPECT_EQ(d.GetDatasetLayout(nullptr), 0);
  EXPECT_EQ(d.ReadDataset(nullptr), 0);
  EXPECT_EQ(d.WriteDataset(nullptr), 0);
  std::uint8_t cell = 0x5A;
  EXPECT_EQ(d.ReadDatasetCell(0x10, &cell), 0);
  EXPECT_EQ(d.ReadDatasetCell(0x10, nullptr), 0);
  EXPECT_EQ(d.WriteDatasetCell(0x10, 1), 0);
  EXPECT_EQ(d.SendFreeTelegram(nullptr), 0);
  EXPECT_EQ(d.StartDebugMode(nullptr), 0);
  EXPECT_EQ(d.PollDebugMode(nullptr), 0);
  d.EndDebugMode(nullptr);
  d.SendDebugCommand(nullptr);
  EXPECT_EQ(d.IsSessionActive(), 0);
  EXPECT_TRUE(recorders.boxes.Texts().empty());
  EXPECT_TRUE(recorders.frame.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(AllRecords, UnsupportedFamily,
                         ::testing::Range<std::uint32_t>(0, kDeviceCount),
                         [](const auto& param) { return "D" + std::to_string(param.param); });

TEST(SharedDefaults, ComponentListIsClearedByFamiliesWithoutTheTest) {
  ComponentList list;
  list.names[3][0] = 'F';
  list.units[3][0] = 'H';
  list.divisors[3] = 5;
  list.runTimeAvailable = 1;
  EXPECT_EQ(defaults::NoComponentList(&list), 0);
  EXPECT_EQ(list.names[3][0], 0);
  EXPECT_EQ(list.units[3][0], 0);
  EXPECT_EQ(list.divisors[3], 0u);
  EXPECT_EQ(list.runTimeAvailable, 0u);
  EXPECT_EQ(defaults::NoComponentList(nullptr), 0);
}

TEST(SharedDefaults, DefaultAddressesOfTheFreeTelegramInput) {
  struct Case {
    int (*function)(std::uint8_t*);
    int result;
    std::array<std::uint8_t, 2> addresses;
  };
  const Case kCases[] = {{defaults::DefaultAddresses51F1, 1, {0x51, 0xF1}},
                         {defaults::DefaultAddresses9D9A, 1, {0x9D, 0x9A}},
                         {defaults::NoDefaultAddresses, 0, {0x12, 0x34}}};
  for (const auto& c : kCases) {
    std::array<std::uint8_t, 2> addresses = {0x12, 0x34};
    EXPECT_EQ(c.function(addresses.data()), c.result);
    EXPECT_EQ(addresses, c.addresses);
    EXPECT_EQ(c.function(nullptr), 0);
  }
}

// Start-up and exit call the init and shutdown slots of every record that has them, in order.
std::vector<int> g_calls;
template <int N>
void Init() {
  g_calls.push_back(N);
}
template <int N>
void Shutdown() {
  g_calls.push_back(-N);
}

TEST(DriverRecords, InitAndShutdownInTableOrderSkippingEmptySlots) {
  std::array<DeviceDriver, kDeviceCount> fake{};
  fake[0].InitDriver = Init<1>;
  fake[0].ShutdownDriver = Shutdown<1>;
  fake[4].InitDriver = Init<5>;
  fake[4].ShutdownDriver = Shutdown<5>;
  fake[18].InitDriver = Init<19>;
  fake[18].ShutdownDriver = Shutdown<19>;
  {
    ScopedDeviceTable scoped(fake);
    EXPECT_EQ(DeviceRecord(4), &fake[4]);
    g_calls.clear();
    InitDriverRecords();
    ShutdownDriverRecords();
    EXPECT_EQ(g_calls, (std::vector<int>{1, 5, 19, -1, -5, -19}));
  }
  EXPECT_NE(DeviceRecord(4), &fake[4]);
  // The real table: families without a module have nothing to start, the twins nothing at all.
  InitDriverRecords();
  ShutdownDriverRecords();
}

}  // namespace
}  // namespace heatdiag
