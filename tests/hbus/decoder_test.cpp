// The H-Bus telegram handlers on replies written out as bytes: what they store, what they hide,
// what they report, and that short or garbled replies are refused without reading past them.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/string_table.h"
#include "dataset/dataset_image.h"
#include "debug/sequence_state.h"
#include "drivers/diag_store.h"
#include "drivers/hbus/catalogue.h"
#include "drivers/hbus/conversions.h"
#include "drivers/hbus/handlers.h"
#include "drivers/hbus/hbus_driver.h"
#include "drivers/hbus/record.h"
#include "drivers/hbus/reply_view.h"
#include "drivers/hbus/store_access.h"
#include "hbus/recorders.h"
#include "hbus/telegram.h"
#include "views/overview_element.h"

namespace heatdiag::hbus {
namespace {

using heatdiag::testing::Hex;
using heatdiag::testing::Recorders;
using heatdiag::testing::Reply;
using Handler = EntryResult (*)(Driver&, const ReplyView&);

// Test names from the `name` field of a case.
struct CaseNameGenerator {
  template <typename Info>
  std::string operator()(const Info& parameter) const {
    return parameter.param.name;
  }
};
constexpr CaseNameGenerator CaseName;

constexpr const char* kInvalidLength = "Invalid message length!";
constexpr const char* kInvalidResponse = "Invalid response from control unit!";

class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StoreStartup();
    ASSERT_EQ(StoreInit(HBusCatalogue()), 1);
    for (std::uint32_t row = 0; row < kCatalogueRows; ++row) {
      StoreSetPresent(row, 1);
      StoreSetShown(row, 1);
    }
  }
  void TearDown() override { StoreShutdown(); }

  EntryResult Run(Handler handler, const std::string& body) {
    const auto bytes = Reply(body);
    return handler(driver, ReplyView(bytes));
  }
  void SetVersion(std::uint8_t version) { driver.SetVersion(version); }
  void SetCode(std::initializer_list<std::uint8_t> bytes) {
    driver.state.code = {};
    std::size_t i = 0;
    for (std::uint8_t b : bytes) driver.state.code[i++] = b;
  }
  static std::string Value(std::uint32_t row) { return StoreReadText(row); }
  static bool Present(std::uint32_t row) { return StoreGetPresent(row) != 0; }
  static bool Shown(std::uint32_t row) { return StoreGetShown(row) != 0; }

  Recorders recorders;
  Driver driver;
};

// --- Unit conversions of units before 3.0 ---------------------------------------------------

TEST(OldConversions, VoltageBothWays) {
  struct Case {
    std::uint8_t raw;
    std::uint32_t milliVolt;
  } cases[] = {{0, 0}, {1, 68}, {176, 12014}, {183, 12492}, {255, 17406}};
  for (const auto& c : cases) EXPECT_EQ(OldVoltageToMilliVolt(c.raw), c.milliVolt) << +c.raw;
  EXPECT_EQ(MilliVoltToOldVoltage(12000), 176);
  EXPECT_EQ(MilliVoltToOldVoltage(0), 0);
  EXPECT_EQ(MilliVoltToOldVoltage(30000), 255);  // clamped
}

TEST(OldConversions, ResistanceBothWays) {
  struct Case {
    std::uint8_t raw;
    std::uint32_t milliOhm;
  } cases[] = {{0, 0}, {1, 5}, {100, 954}, {203, 112778}, {204, 0}, {255, 0}};
  for (const auto& c : cases) EXPECT_EQ(OldResistanceToMilliOhm(c.raw), c.milliOhm) << +c.raw;
  EXPECT_EQ(MilliOhmToOldResistance(954), 100);
  EXPECT_EQ(MilliOhmToOldResistance(0), 0);
  EXPECT_EQ(MilliOhmToOldResistance(5000000), 205);
}

TEST(OldConversions, TemperatureCurve) {
  struct Case {
    std::uint8_t raw;
    int celsius;
  } cases[] = {
      {255, -40}, {241, -40}, {240, -35}, {239, -32},  // -32.5 + 0.5, truncated toward zero
      {217, 0},   {214, 3},   {187, 20},  {24, 125},  {10, 125}, {25, 123},
  };
  for (const auto& c : cases) EXPECT_EQ(OldTemperatureToCelsius(c.raw), c.celsius) << +c.raw;
}

// --- Reading replies -------------------------------------------------------------------------

TEST(ReplyViewTest, ReadsStayInsideTheTelegram) {
  const auto bytes = Reply("D0 05 01 02");
  const ReplyView view(bytes);
  EXPECT_EQ(view.DataLength(), 3);
  EXPECT_EQ(view.ByteAt(5), 0x02);
  EXPECT_EQ(view.ByteAt(7), 0);  // beyond the checksum
  EXPECT_EQ(view.Word16At(4), 0x0102);
  EXPECT_EQ(view.Word16At(6), 0);  // second byte outside
  EXPECT_TRUE(view.Answers(0x50));
  EXPECT_FALSE(view.Answers(0x51));

  const std::uint8_t truncated[] = {0x4F, 0x09, 0xD0, 0x05};  // claims more than it holds
  EXPECT_EQ(ReplyView(truncated).DataLength(), -1);
  EXPECT_EQ(ReplyView().DataLength(), -1);
  EXPECT_EQ(ReplyView().ByteAt(0), 0);
}

// --- Version and capabilities ----------------------------------------------------------------

struct VersionCase {
  const char* name;
  std::uint8_t version;
  std::vector<std::uint32_t> hidden;
  std::vector<std::uint32_t> present;
  std::vector<std::uint32_t> notShown;
  bool extended;
};

class VersionHiding : public DecoderTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionHiding, HidesWhatTheVersionLacks) {
  const VersionCase& c = GetParam();
  char body[16];
  std::snprintf(body, sizeof body, "D1 0A %02X", c.version);
  ASSERT_EQ(Run(HandleVersion, body), EntryResult::kDone);
  EXPECT_EQ(driver.Version(), c.version);
  EXPECT_TRUE(driver.link.Identified());
  EXPECT_TRUE(driver.link.Answered());
  for (auto row : c.hidden) EXPECT_FALSE(Present(row)) << "row " << row;
  for (auto row : c.present) EXPECT_TRUE(Present(row)) << "row " << row;
  for (auto row : c.notShown) EXPECT_FALSE(Shown(row)) << "row " << row;
  EXPECT_EQ(driver.state.extendedTemperaturesWanted, c.extended);
  EXPECT_EQ(driver.state.glowPlugResistanceWanted, c.extended);
  EXPECT_TRUE(recorders.Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionHiding,
    ::testing::Values(
        VersionCase{"V15",
                    0x15,
                    {2,  6,  9,  11, 12, 13, 14, 16, 19,  21,  23,  25,  34,  35, 39,
                     45, 51, 64, 69, 72, 73, 74, 76, 100, 139, 144, 145, 146, 156},
                    {0, 1, 3, 4, 5, 8, 10, 17, 18, 20, 22, 30, 31, 52, 71, 75, 140, 143},
                    {7, 15, 24},
                    false},
        VersionCase{
            "V30", 0x30, {64, 144, 145, 146, 151, 156}, {2, 6, 34, 76, 139}, {7, 15}, false},
        VersionCase{"V31", 0x31, {64, 144, 145}, {146, 156, 2}, {15}, true},
        VersionCase{"V32", 0x32, {}, {64, 144, 145, 146, 156}, {}, true}),
    CaseName);

TEST_F(DecoderTest, OldUnitsGetTheFixedCo2Range) {
  ASSERT_EQ(Run(HandleVersion, "D1 0A 15"), EntryResult::kDone);
  EXPECT_EQ(Value(0), "1.5");
  EXPECT_EQ(Value(141), "1");
  EXPECT_EQ(Value(142), "254");
}

struct RefusedVersionCase {
  const char* name;
  const char* body;
  bool probe;
  std::vector<std::string> errors;
  bool answered;
};

class RefusedVersion : public DecoderTest,
                       public ::testing::WithParamInterface<RefusedVersionCase> {};

TEST_P(RefusedVersion, EndsTheConnection) {
  const auto& c = GetParam();
  driver.link.SetProbeMode(c.probe);
  EXPECT_EQ(Run(HandleVersion, c.body), EntryResult::kLinkFault);
  EXPECT_EQ(recorders.Errors(), c.errors);
  EXPECT_EQ(driver.link.Answered(), c.answered);
  EXPECT_EQ(driver.link.ProbeFailed(), c.probe);
  EXPECT_FALSE(driver.link.Identified());
  EXPECT_EQ(driver.Version(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedVersion,
    ::testing::Values(
        RefusedVersionCase{
            "TooOld", "D1 0A 0F", false, {"This H-Bus version is not implemented!"}, true},
        RefusedVersionCase{
            "TooNew", "D1 0A 3A", false, {"This H-Bus version is not implemented!"}, true},
        RefusedVersionCase{"WrongLength", "D1 0A 32 00", false, {kInvalidLength}, false},
        RefusedVersionCase{"WrongCommand", "D0 0A 32", false, {kInvalidResponse}, false},
        RefusedVersionCase{"ProbeTooNew", "D1 0A 40", true, {}, false},
        RefusedVersionCase{"ProbeWrongLength", "D1 0A", true, {}, false}),
    CaseName);

struct CodeCase {
  const char* name;
  const char* body;
  std::vector<std::uint32_t> hidden;
  std::vector<std::uint32_t> present;
};

class CapabilityHiding : public DecoderTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(CapabilityHiding, HidesWhatTheUnitLacks) {
  const auto& c = GetParam();
  SetVersion(0x32);
  ASSERT_EQ(Run(HandleCode, c.body), EntryResult::kDone);
  for (auto row : c.hidden) EXPECT_FALSE(Present(row)) << "row " << row;
  for (auto row : c.present) EXPECT_TRUE(Present(row)) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CapabilityHiding,
    ::testing::Values(
        CodeCase{"NoCode",
                 "D1 0C",
                 {3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,  15,  16,  17,  18, 19,
                  20, 21, 22, 23, 24, 25, 27, 33, 34, 39, 46, 140, 141, 142, 144, 145},
                 {0, 1, 2, 26, 30, 31, 32, 35, 52, 143}},
        CodeCase{"SparkTransmitterTakesTheGlowPlugsPlace", "D1 0C 00 08 02", {3, 18, 33}, {19}},
        CodeCase{"GlowPlugAlone", "D1 0C 00 08 00", {19}, {3, 18, 33}},
        CodeCase{"FanInRpm", "D1 0C 00 04 20", {5}, {6, 17}},
        CodeCase{"FanInPercent", "D1 0C 00 04 00", {6}, {5, 17}},
        CodeCase{"HeatingEnergyInWatt", "D1 0C 00 00 00 00 10", {35}, {34}},
        CodeCase{"Co2AndThresholds", "D1 0C 00 00 00 02 00 40", {}, {140, 141, 142, 144, 145}},
        CodeCase{"AllInputs", "D1 0C F0 03 18 00 00 20", {}, {8, 9, 10, 11, 12, 13, 14, 15, 16}}),
    CaseName);

TEST_F(DecoderTest, CodeIsShownAsHexAndKept) {
  SetVersion(0x31);
  ASSERT_EQ(Run(HandleCode, "D1 0C F0 3F 10 22 48 20"), EntryResult::kDone);
  EXPECT_EQ(Value(2), "F03F10224820");
  EXPECT_EQ(driver.state.code[5], 0x20);
  EXPECT_EQ(driver.state.code[6], 0x00);
}

TEST_F(DecoderTest, FullEightByteCodeKeepsEveryDigit) {
  SetVersion(0x32);
  ASSERT_EQ(Run(HandleCode, "D1 0C F8 7F 38 22 58 60 00 01"), EntryResult::kDone);
  EXPECT_EQ(Value(2), "F87F382258600001");
}

TEST_F(DecoderTest, CodeWithMoreThanEightBytesIsRefused) {
  SetVersion(0x32);
  EXPECT_EQ(Run(HandleCode, "D1 0C 01 02 03 04 05 06 07 08 09"), EntryResult::kLinkFault);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{kInvalidLength});
}

// --- Decoded values --------------------------------------------------------------------------

struct ValueCase {
  const char* name;
  std::uint8_t version;
  std::vector<std::uint8_t> code;
  Handler handler;
  const char* body;
  std::vector<std::pair<std::uint32_t, std::string>> values = {};
  std::vector<std::uint32_t> hidden = {};
  EntryResult result = EntryResult::kDone;
  std::vector<std::string> errors = {};
};

class DecodedValues : public DecoderTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(DecodedValues, StoresWhatTheReplyCarries) {
  const auto& c = GetParam();
  SetVersion(c.version);
  for (std::size_t i = 0; i < c.code.size(); ++i) driver.state.code[i] = c.code[i];
  StoreUnsigned(75, 2);  // fault count, for the device state text
  EXPECT_EQ(Run(c.handler, c.body), c.result);
  for (const auto& [row, text] : c.values) EXPECT_EQ(Value(row), text) << "row " << row;
  for (auto row : c.hidden) EXPECT_FALSE(Present(row)) << "row " << row;
  EXPECT_EQ(recorders.Errors(), c.errors);
}

// Capability bytes used below.
const std::vector<std::uint8_t> kAllInputs = {0xF0, 0x03, 0x18, 0x00, 0x00, 0x20};
const std::vector<std::uint8_t> kComponents = {0x00, 0x7C, 0x04, 0x00, 0xC0};
const std::vector<std::uint8_t> kWattAndGlow = {0x00, 0x08, 0x00, 0x00, 0x10};
const std::vector<std::uint8_t> kActuators = {0x00, 0x3C, 0x20};

INSTANTIATE_TEST_SUITE_P(
    Telegrams, DecodedValues,
    ::testing::Values(
        // 50 02: inputs
        ValueCase{"Inputs32",
                  0x32,
                  kAllInputs,
                  HandleInputs,
                  "D0 02 11 10 01 10 01",
                  {{8, "1"},
                   {9, "1"},
                   {10, "0"},
                   {11, "1"},
                   {12, "1"},
                   {13, "0"},
                   {14, "0"},
                   {16, "1"},
                   {15, "1"}}},
        ValueCase{"Inputs31WithoutIgnition",
                  0x31,
                  kAllInputs,
                  HandleInputs,
                  "D0 02 01 00 00 00",
                  {{8, "1"}, {9, "0"}, {15, "0"}}},
        ValueCase{"InputsOnlyWithTheirCapability",
                  0x32,
                  {0x10},
                  HandleInputs,
                  "D0 02 11 11 11 11 01",
                  {{8, "1"}, {9, "0"}, {10, "0"}, {15, "0"}}},
        ValueCase{"InputsOld", 0x15, {}, HandleInputs, "D0 02 03", {{8, "1"}, {10, "1"}}},
        ValueCase{"InputsWrongLength",
                  0x32,
                  kAllInputs,
                  HandleInputs,
                  "D0 02 11 10 01 10",
                  {{8, "0"}},
                  {},
                  EntryResult::kLinkFault,
                  {kInvalidLength}},
        // 50 03: component states
        ValueCase{"Components",
                  0x32,
                  kComponents,
                  HandleComponentStates,
                  "D0 03 5D",
                  {{17, "1"},
                   {18, "0"},
                   {20, "1"},
                   {21, "1"},
                   {22, "1"},
                   {23, "1"},
                   {24, "1"},
                   {25, "0"}}},
        ValueCase{"ComponentsSparkTransmitter",
                  0x32,
                  {0x00, 0x08, 0x02},
                  HandleComponentStates,
                  "D0 03 02",
                  {{19, "1"}, {18, "0"}}},
        ValueCase{"ComponentsOld",
                  0x15,
                  {},
                  HandleComponentStates,
                  "D0 03 A8",
                  {{22, "1"}, {17, "0"}, {18, "1"}, {20, "0"}, {32, "1"}}},
        // 50 05: measured values
        ValueCase{"Measured31Watt",
                  0x31,
                  kWattAndGlow,
                  HandleMeasuredValues,
                  "D0 05 46 31 2E 01 00 64 02 4F",
                  {{30, "20"}, {31, "12,59"}, {32, "1"}, {34, "100"}, {33, "0,591"}},
                  {35}},
        ValueCase{"Measured31Percent",
                  0x31,
                  {0x00, 0x08},
                  HandleMeasuredValues,
                  "D0 05 14 30 D4 00 C8 00 01 F4",
                  {{30, "-30"}, {31, "12,5"}, {35, "100"}, {33, "0,5"}},
                  {34}},
        ValueCase{"MeasuredPercentNotAvailable",
                  0x31,
                  {0x00, 0x08},
                  HandleMeasuredValues,
                  "D0 05 14 30 D4 00 FE 00 01 F4",
                  {},
                  {34, 35}},
        ValueCase{"MeasuredWattNotAvailable",
                  0x31,
                  kWattAndGlow,
                  HandleMeasuredValues,
                  "D0 05 46 31 2E 01 FF FF 02 4F",
                  {},
                  {34, 35}},
        ValueCase{"Measured30ShortForm",
                  0x30,
                  kWattAndGlow,
                  HandleMeasuredValues,
                  "D0 05 46 31 2E 00 64 02 4F",
                  {{30, "20"}, {35, "50"}, {33, "0,591"}},
                  {34}},
        ValueCase{"Measured31ShortFormRefused",
                  0x31,
                  kWattAndGlow,
                  HandleMeasuredValues,
                  "D0 05 46 31 2E 00 64 02 4F",
                  {},
                  {},
                  EntryResult::kLinkFault,
                  {kInvalidLength}},
        ValueCase{"MeasuredOld",
                  0x15,
                  {},
                  HandleMeasuredValues,
                  "D0 05 BB B7 64",
                  {{30, "20"}, {31, "12,49"}, {33, "0,954"}}},
        // 50 0F: actuator levels
        ValueCase{"Actuators32",
                  0x32,
                  kActuators,
                  HandleActuatorLevels,
                  "D0 0F C8 28 0B B8 64",
                  {{3, "100"}, {4, "2"}, {6, "3000"}, {7, "50"}}},
        ValueCase{"Actuators30",
                  0x30,
                  kActuators,
                  HandleActuatorLevels,
                  "D0 0F 64 14 0B B8",
                  {{3, "50"}, {4, "1"}, {6, "3000"}, {7, "0"}}},
        ValueCase{"Actuators30ShortForm",
                  0x30,
                  kActuators,
                  HandleActuatorLevels,
                  "D0 0F 64 14 50",
                  {{5, "40"}},
                  {6}},
        ValueCase{"ActuatorsPercentFan",
                  0x32,
                  {0x00, 0x04},
                  HandleActuatorLevels,
                  "D0 0F 00 00 50 00 00",
                  {{5, "40"}}},
        // 50 07: operating state
        ValueCase{"State32",
                  0x32,
                  {},
                  HandleOperatingState,
                  "D0 07 04 00 05 02 00 01",
                  {{52, "Off state"},
                   {53, "1"},
                   {54, "0"},
                   {55, "1"},
                   {56, "0"},
                   {57, "2"},
                   {58, "0"},
                   {59, "1"},
                   {143, "2 fault(s), STFL, SAFL"}}},
        ValueCase{"State32CountersNotAvailable",
                  0x32,
                  {},
                  HandleOperatingState,
                  "D0 07 2E 02 0A FF FF FF",
                  {{52, "Glowing 2"}, {143, "2 fault(s), UEHFL, RZFL"}},
                  {57, 58, 59}},
        ValueCase{"State30ShortForm",
                  0x30,
                  {},
                  HandleOperatingState,
                  "D0 07 2E 02 02 05 09",
                  {{52, "Glowing 2"}, {57, "5"}, {59, "9"}, {143, "2 fault(s), UEHFL"}},
                  {58}},
        ValueCase{"StateOld",
                  0x15,
                  {},
                  HandleOperatingState,
                  "D0 07 02 08 37 04",
                  {{52, "Burn out 12"},
                   {56, "1"},
                   {57, "3"},
                   {58, "7"},
                   {59, "4"},
                   {143, "2 fault(s), RZFL"}}},
        ValueCase{"StateUnknownCode",
                  0x32,
                  {},
                  HandleOperatingState,
                  "D0 07 99 00 00 00 00 00",
                  {{52, "Unknown state 153"}}},
        ValueCase{"State31WrongLength",
                  0x31,
                  {},
                  HandleOperatingState,
                  "D0 07 04 00 00 00 00",
                  {},
                  {},
                  EntryResult::kLinkFault,
                  {kInvalidLength}},
        // 50 06, 50 0B, 50 0C: counters
        ValueCase{"Counters",
                  0x32,
                  {},
                  HandleCounters,
                  "D0 06 01 9C 25 FF FF FF 04 A0",
                  {{36, "412:37"}, {38, "1184"}},
                  {37}},
        ValueCase{"CountersNotAvailable",
                  0x32,
                  {},
                  HandleCounters,
                  "D0 06 00 00 00 00 01 05 FF FF",
                  {{36, "0:00"}, {37, "1:05"}},
                  {38}},
        ValueCase{"WorkingDurations",
                  0x32,
                  {},
                  HandleWorkingDurations,
                  "D0 0B 01 2D 0A 00 55 02",
                  {{47, "301:10"}, {48, "85:02"}}},
        ValueCase{"StartCounters",
                  0x32,
                  {},
                  HandleStartCounters,
                  "D0 0C 03 86 01 1A FF FF",
                  {{49, "902"}, {50, "282"}},
                  {51}},
        // 50 0A: burning durations, only with their capability
        ValueCase{"BurningDurations",
                  0x32,
                  {0, 0, 0, 0, 0x08},
                  HandleBurningDurations,
                  "D0 0A 00 0C 28 00 58 05 00 BE 33 00 09 2C 00 03 0A 00 14 21 00 3D 13 FF FF FF",
                  {{39, "12:40"}, {40, "88:05"}, {41, "190:51"}, {45, "61:19"}},
                  {46}},
        ValueCase{"BurningDurationsGarbledAreHidden",
                  0x32,
                  {0, 0, 0, 0, 0x08},
                  HandleBurningDurations,
                  "D0 0A 00 0C",
                  {},
                  {39, 40, 41, 42, 43, 44, 45, 46}},
        // 50 04: configuration
        ValueCase{"Configuration",
                  0x32,
                  {0, 0, 0, 0x20},
                  HandleConfiguration,
                  "D0 04 1B 06 02",
                  {{26, "Gasoline"}, {27, "1"}, {28, "60"}, {29, "1/2"}}},
        ValueCase{"ConfigurationUnlimitedInvalidFuel",
                  0x32,
                  {},
                  HandleConfiguration,
                  "D0 04 0C 19 07",
                  {{26, "invalid"}, {28, "255"}, {29, "1/1"}}},
        ValueCase{"ConfigurationOld",
                  0x15,
                  {},
                  HandleConfigurationOld,
                  "D0 04 B7 80 06 03 32 32 3C 1D",
                  {{71, "12,49"},
                   {140, "128"},
                   {28, "60"},
                   {29, "1/4"},
                   {3, "50"},
                   {4, "2"},
                   {5, "60"},
                   {26, "Diesel"},
                   {27, "1"}}},
        // 53 02, 50 11: thresholds
        ValueCase{"VoltageThresholds",
                  0x32,
                  {},
                  HandleVoltageThresholds,
                  "D3 02 29 04 00 00 00 00 14 3E 80 00 00 00 00 1E",
                  {{71, "10,5"}, {73, "20"}, {72, "16"}, {74, "30"}}},
        ValueCase{"TemperatureThresholds",
                  0x32,
                  {0, 0, 0, 0, 0, 0x40},
                  HandleTemperatureThresholds,
                  "D0 11 82 78",
                  {{144, "80"}, {145, "70"}}},
        ValueCase{"TemperatureThresholdsRefusedSilently",
                  0x32,
                  {0, 0, 0, 0, 0, 0x40},
                  HandleTemperatureThresholds,
                  "7F 12",
                  {},
                  {144, 145}},
        // 60 98, 60 99: extended values
        ValueCase{"GlowPlugResistance",
                  0x32,
                  {},
                  HandleGlowPlugResistance,
                  "E0 98 02 4F",
                  {{156, "0,591"}}},
        ValueCase{"ExtendedTemperatures",
                  0x32,
                  {},
                  HandleExtendedTemperatures,
                  "E0 99 00 7D FF F6 00 78 00 05 00 F0 00 0A 00 DC 00 00 40 41 FF FE",
                  {{146, "12,5"},
                   {147, "-1"},
                   {149, "12"},
                   {148, "0,5"},
                   {152, "24"},
                   {150, "1"},
                   {153, "22"},
                   {155, "64"},
                   {154, "65"},
                   {151, "-0,2"}}},
        ValueCase{"ExtendedTemperaturesWithoutBoardGradient",
                  0x32,
                  {},
                  HandleExtendedTemperatures,
                  "E0 99 00 7D FF F6 00 78 00 05 00 F0 00 0A 00 DC 00 00 40 41",
                  {{146, "12,5"}},
                  {151}}),
    CaseName);

// --- Identification ---------------------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(
    Identification, DecodedValues,
    ::testing::Values(
        ValueCase{"DeviceName",
                  0x32,
                  {},
                  HandleDeviceName,
                  "D1 0B 48 59 44 52 4F 20 35 20",
                  {{1, "HYDRO 5"}}},
        ValueCase{"FlashLoader",
                  0x32,
                  {},
                  HandleDeviceName,
                  "D1 0B 4C 4F 41 44 45 52 20 20",
                  {{1, "LOADER"}},
                  {},
                  EntryResult::kLinkFault,
                  {"The control unit is executing a H-Bus flash loader!"}},
        ValueCase{
            "DeviceId", 0x32, {}, HandleDeviceId, "D1 01 25 22 17 05 43", {{60, "25221705C"}}},
        ValueCase{"DeviceIdOld", 0x15, {}, HandleDeviceId, "D1 01 25 21 13 41", {{60, "252113A"}}},
        ValueCase{"DeviceIdOldLongForm",
                  0x15,
                  {},
                  HandleDeviceId,
                  "D1 01 25 21 13 05 41",
                  {{60, "25211305A"}}},
        ValueCase{"DeviceIdWrongLengthHidesAndSays",
                  0x32,
                  {},
                  HandleDeviceId,
                  "D1 01 25 22",
                  {},
                  {60},
                  EntryResult::kDone,
                  {kInvalidLength}},
        ValueCase{"DeviceIdRefusedHidesSilently", 0x32, {}, HandleDeviceId, "7F 11", {}, {60}},
        ValueCase{"Versions32",
                  0x32,
                  {},
                  HandleVersions,
                  "D1 02 03 10 21 15 03 12 21 15 03 13",
                  {{62, "03/10"}, {63, "21/15 3.12"}, {64, "21/15 3.13"}}},
        ValueCase{"Versions31",
                  0x31,
                  {},
                  HandleVersions,
                  "D1 02 02 07 19 42 02 08",
                  {{62, "02/07"}, {63, "19/42 2.08"}}},
        ValueCase{"VersionsOld",
                  0x15,
                  {},
                  HandleVersions,
                  "D1 02 01 02 09 15",
                  {{62, "01/02"}, {63, "09/15"}}},
        ValueCase{"DatasetId",
                  0x32,
                  {},
                  HandleDatasetId,
                  "D1 03 25 22 17 26 42 02",
                  {{61, "25221726B2"}}},
        ValueCase{
            "DatasetIdOld", 0x15, {}, HandleDatasetId, "D1 03 25 21 26 41 01", {{61, "252126A1"}}},
        ValueCase{"DateControlUnit",
                  0x32,
                  {},
                  HandleDateControlUnit,
                  "D1 04 14 06 21",
                  {{65, "14.06.21"}}},
        ValueCase{"DateHeater", 0x32, {}, HandleDateHeater, "D1 05 29 06 21", {{66, "29.06.21"}}},
        ValueCase{"Farstart", 0x32, {}, HandleFarstartCode, "D1 06 00 01", {{70, "0001"}}},
        ValueCase{
            "CustomerId", 0x32, {}, HandleCustomerId, "D1 07 4B 56 52 4C", {{67, "4B56524C"}}},
        ValueCase{"SerialAndSignature",
                  0x32,
                  {},
                  HandleSerialNumber,
                  "D1 09 00 01 F2 A7 50 15",
                  {{68, "0001F2A7"}, {69, "P15"}}},
        ValueCase{
            "SerialOld", 0x15, {}, HandleSerialNumber, "D1 09 00 01 02 03", {{68, "00010203"}}}),
    CaseName);

TEST_F(DecoderTest, IdentificationFailureIsReportedOnlyWhileTheRowIsShown) {
  SetVersion(0x32);
  EXPECT_EQ(Run(HandleDateHeater, "D1 05 29"), EntryResult::kDone);
  EXPECT_EQ(Run(HandleDateHeater, "D1 05 29"), EntryResult::kDone);
  EXPECT_FALSE(Present(66));
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{kInvalidLength});
}

TEST_F(DecoderTest, LayoutOfTheDataset) {
  SetVersion(0x32);
  ASSERT_EQ(Run(HandleLayout, "B8 0A 00 20 03 FE 03 FF"), EntryResult::kDone);
  const DatasetLayout& layout = driver.state.layout;
  EXPECT_TRUE(layout.known);
  EXPECT_EQ(layout.cellCount, 1024u);
  EXPECT_EQ(layout.start, 0x20);
  EXPECT_EQ(layout.checksumEnd, 0x3FE);
  EXPECT_EQ(layout.checksumAddress, 0x3FF);
  EXPECT_TRUE(layout.hasChecksumArea);
  ASSERT_EQ(Run(HandleLayout, "B8 08 00 10 00 10 00 00"), EntryResult::kDone);
  EXPECT_FALSE(driver.state.layout.hasChecksumArea);
}

// A layout whose area or checksum lies outside the cells, or runs backwards, is not used.
TEST_F(DecoderTest, LayoutOutsideTheCellsIsRefused) {
  SetVersion(0x32);
  StoreSetDataValid();
  struct Case {
    const char* what;
    const char* answer;
    bool usable;
  } const cases[] = {
      {"fits", "B8 08 00 10 00 FE 00 FF", true},
      {"no area", "B8 08 00 10 00 10 00 00", true},
      {"area past the cells", "B8 08 00 10 01 FE 01 FF", false},
      {"checksum past the cells", "B8 08 00 10 00 80 01 00", false},
      {"area backwards", "B8 08 00 80 00 20 00 FF", false},
      {"start past the cells", "B8 08 01 00 01 00 00 00", false},
      {"65536 cells", "B8 10 00 10 00 10 00 00", false},
  };
  for (const Case& c : cases) {
    recorders.Clear();
    ASSERT_EQ(Run(HandleLayout, c.answer), EntryResult::kDone) << c.what;
    DatasetImage image;
    EXPECT_EQ(driver.GetDatasetLayout(&image), c.usable ? 1 : 0) << c.what;
    EXPECT_EQ(image.HasCells(), c.usable) << c.what;
    EXPECT_EQ(recorders.Errors().size(), c.usable ? 0u : 1u) << c.what;
  }
}

// --- Faults -----------------------------------------------------------------------------------

TEST_F(DecoderTest, FaultListOfThreeAsksForThreeDetailsAndHidesTheRest) {
  SetVersion(0x32);
  StoreUnsigned(75, 0xFF);
  ASSERT_EQ(Run(HandleFaultList, "D6 01 03 0A 01 51 01 33 03"), EntryResult::kDone);
  EXPECT_EQ(Value(75), "3");
  EXPECT_NE(driver.link.Requests() & bit::kFaultDetails, 0u);
  for (std::uint32_t block = 0; block < 8; ++block)
    EXPECT_EQ(Present(76 + 8 * block), block < 3) << "block " << block;

  const std::uint8_t codes[] = {0x0A, 0x51, 0x33};
  std::vector<EntryResult> results;
  for (int exchange = 0; exchange < 3; ++exchange) {
    driver.link.ClearRequest(bit::kFaultDetails);
    std::array<std::uint8_t, kWorkBufferSize> work{0x56, 0x02, 0x00};
    ASSERT_EQ(BuildFaultDetails(driver, work, 3), 3u);
    EXPECT_EQ(work[2], codes[exchange]);
    char body[64];
    std::snprintf(body, sizeof body, "D6 02 %02X 01 03 34 02 36 2F B2 01 8E 33", codes[exchange]);
    results.push_back(Run(HandleFaultDetails, body));
  }
  EXPECT_EQ(results, (std::vector<EntryResult>{EntryResult::kRepeat, EntryResult::kRepeat,
                                               EntryResult::kDone}));
  EXPECT_EQ(driver.link.Requests() & bit::kFaultDetails, 0u);
  EXPECT_EQ(Value(76 + 8), "81");
  EXPECT_EQ(Value(78 + 16), "33");
  EXPECT_EQ(Value(79), "3");
  EXPECT_EQ(Value(80), "4");
  EXPECT_EQ(Value(81), "Ignition 2");
  EXPECT_EQ(Value(82), "12,21");
  EXPECT_EQ(Value(83), "398:51");
}

TEST_F(DecoderTest, FaultListWithWrongLengthIsRefused) {
  SetVersion(0x32);
  EXPECT_EQ(Run(HandleFaultList, "D6 01 03 0A 01 51 01"), EntryResult::kLinkFault);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{kInvalidLength});
}

TEST_F(DecoderTest, FaultDetailsRefusedAskForTheListAgain) {
  SetVersion(0x32);
  EXPECT_EQ(Run(HandleFaultDetails, "7F 31"), EntryResult::kDone);
  EXPECT_NE(driver.link.Requests() & bit::kFaultList, 0u);
}

TEST_F(DecoderTest, OldFaultSlotsWalkOneToThree) {
  SetVersion(0x15);
  ApplyVersionHiding(driver, 0x15);
  struct Slot {
    const char* body;
    bool present;
  } slots[] = {{"D0 01 13 20 02 41 CD", true},
               {"D0 01 00 00 00 00 00", false},
               {"D0 01 05 60 01 15 67", true}};
  for (std::uint32_t i = 0; i < 3; ++i) {
    std::array<std::uint8_t, kWorkBufferSize> work{0x50, 0x01, 0x00};
    driver.link.ClearRequest(bit::kFaultList);
    ASSERT_EQ(BuildFaultSlot(driver, work, 3), 3u);
    EXPECT_EQ(work[2], i + 1);
    EXPECT_EQ(Run(HandleFaultSlot, slots[i].body), EntryResult::kDone);
    EXPECT_EQ(Present(76 + 8 * i), slots[i].present);
    // The next slot is asked for at once, until the third.
    EXPECT_EQ((driver.link.Requests() & bit::kFaultList) != 0, i < 2);
  }
  EXPECT_EQ(Value(76), "35");  // 0x13 is listed as 0x23
  EXPECT_EQ(Value(78), "13");
  EXPECT_EQ(Value(77), "1");
  EXPECT_EQ(Value(81), "Glowing 2");
  EXPECT_FALSE(Present(82));  // these units report no voltage and no hours
  EXPECT_FALSE(Present(83));
  EXPECT_EQ(Value(76 + 16), "5");
  EXPECT_EQ(Value(77 + 16), "3");
  EXPECT_EQ(Value(75), "2");
  std::array<std::uint8_t, kWorkBufferSize> work{0x50, 0x01, 0x00};
  BuildFaultSlot(driver, work, 3);
  EXPECT_EQ(work[2], 1);  // and round again
}

// --- Modes and service telegrams ----------------------------------------------------------------

TEST_F(DecoderTest, ModeOnKeepsItsCommandAliveUntilTheUnitEndsIt) {
  SetVersion(0x32);
  std::array<std::uint8_t, kWorkBufferSize> work{0x21, 0x00};
  ASSERT_EQ(BuildModeOn(driver, work, 2), 2u);
  EXPECT_EQ(work[1], 0x3C);
  EXPECT_EQ(driver.link.HeatingActive(), 0x21);
  driver.client.NoteSent(0x21);
  EXPECT_EQ(Run(HandleModeOn, "A1"), EntryResult::kDone);
  EXPECT_EQ(driver.link.HeatingActive(), 0x21);

  std::array<std::uint8_t, kWorkBufferSize> keepAlive{0x44, 0x00, 0x00};
  ASSERT_EQ(BuildKeepAlive(driver, keepAlive, 3), 3u);
  EXPECT_EQ(keepAlive[1], 0x21);
  EXPECT_EQ(Run(HandleKeepAlive, "C4 00"), EntryResult::kDone);
  EXPECT_EQ(driver.link.HeatingActive(), 0x21);
  EXPECT_EQ(Run(HandleKeepAlive, "C4 01"), EntryResult::kDone);  // the unit has ended it
  EXPECT_EQ(driver.link.HeatingActive(), 0);
  EXPECT_EQ(BuildKeepAlive(driver, keepAlive, 3), 0u);  // nothing left to keep alive
}

TEST_F(DecoderTest, RefusedModeEndsIt) {
  SetVersion(0x32);
  driver.link.SetHeatingActive(0x20);
  driver.client.NoteSent(0x20);
  EXPECT_EQ(Run(HandleModeOn, "7F 22"), EntryResult::kDone);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{"NAK: conditions not correct!"});
  EXPECT_EQ(driver.link.HeatingActive(), 0);

  driver.link.SetHeatingActive(0x20);
  EXPECT_EQ(Run(HandleModeOn, "A2"), EntryResult::kLinkFault);
  EXPECT_EQ(driver.link.HeatingActive(), 0);
}

TEST_F(DecoderTest, NakWithAnUnknownCodeNamesTheCode) {
  driver.client.NoteSent(0x25);
  EXPECT_EQ(Run(HandleAck, "7F 99"), EntryResult::kDone);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{"NAK: unknown acknowlede code 0x99!"});
}

struct BuildCase {
  const char* name;
  std::uint8_t version;
  std::size_t (*builder)(Driver&, Work, std::size_t);
  std::vector<std::uint8_t> payload;
  void (*prepare)(Driver&);
  std::vector<std::uint8_t> sent;
};

class Builders : public DecoderTest, public ::testing::WithParamInterface<BuildCase> {};

TEST_P(Builders, WriteTheRequestParameters) {
  const auto& c = GetParam();
  SetVersion(c.version);
  c.prepare(driver);
  std::array<std::uint8_t, kWorkBufferSize> work{};
  std::copy(c.payload.begin(), c.payload.end(), work.begin());
  const std::size_t length = c.builder(driver, work, c.payload.size());
  EXPECT_EQ(std::vector<std::uint8_t>(work.begin(), work.begin() + length), c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Builders,
    ::testing::Values(
        BuildCase{"Voltage3x",
                  0x32,
                  BuildVoltageCalibration,
                  {0x42, 0x01, 0, 0, 0},
                  [](Driver& d) { d.state.calibrationVoltage = 12500; },
                  {0x42, 0x01, 0x00, 0x30, 0xD4}},
        BuildCase{"VoltageOld",
                  0x15,
                  BuildVoltageCalibration,
                  {0x42, 0x01, 0, 0, 0},
                  [](Driver& d) { d.state.calibrationVoltage = 12000; },
                  {0x42, 0x01, 0x00, 176}},
        BuildCase{"ResistanceOld",
                  0x15,
                  BuildResistanceCalibration,
                  {0x42, 0x02, 0, 0, 0},
                  [](Driver& d) { d.state.calibrationResistance = 958; },
                  {0x42, 0x02, 0x00, 100}},
        BuildCase{"FuelPrime",
                  0x32,
                  BuildFuelPrime,
                  {0x42, 0x03, 0, 0},
                  [](Driver& d) { d.StartFuelPrime(158); },
                  {0x42, 0x03, 0x00, 79}},
        BuildCase{"ComponentTest",
                  0x32,
                  BuildComponentTest,
                  {0x45, 0, 0, 0, 0},
                  [](Driver& d) { d.StartComponent(2, 0x0190, 30); },
                  {0x45, 0x02, 0x1E, 0x01, 0x90}},
        BuildCase{"ComponentTestOld",
                  0x15,
                  BuildComponentTestOld,
                  {0x60, 0x00},
                  [](Driver& d) { d.StartComponent(3, 0, 0); },
                  {0x60, 0x20}},
        BuildCase{"ComponentTestOldUnknown",
                  0x15,
                  BuildComponentTestOld,
                  {0x60, 0x00},
                  [](Driver& d) { d.StartComponent(9, 0, 0); },
                  {0x60, 0x00}},
        BuildCase{"Co2Write",
                  0x32,
                  BuildCo2Write,
                  {0x57, 0x03, 0x00},
                  [](Driver& d) { d.state.co2Value = 0x7B; },
                  {0x57, 0x03, 0x7B}},
        BuildCase{"BlockRate3x", 0x32, BuildBlockRead, {0x34, 0x40, 0x00}, [](Driver&) {}, {}},
        BuildCase{"FaultDetailsWithoutCode",
                  0x32,
                  BuildFaultDetails,
                  {0x56, 0x02, 0x00},
                  [](Driver&) {},
                  {}}),
    CaseName);

TEST(BlockRate, CodeFollowsTheVersion) {
  struct Case {
    std::uint8_t version;
    std::uint32_t set;
    std::uint32_t rate;
    std::uint8_t code;
  } cases[] = {{0x32, 19200, 19200, 64}, {0x30, 9600, 9600, 32},   {0x15, 38400, 9600, 0x96},
               {0x15, 9000, 4800, 0x48}, {0x15, 4800, 4800, 0x48}, {0x15, 2400, 2400, 0x24}};
  for (const auto& c : cases) {
    const BlockRate rate = BlockRateFor(c.version, c.set);
    EXPECT_EQ(rate.baudRate, c.rate) << c.set;
    EXPECT_EQ(rate.code, c.code) << c.set;
  }
}

TEST_F(DecoderTest, Co2WriteAnswers) {
  SetVersion(0x32);
  EXPECT_EQ(Run(HandleCo2Write, "D7 00"), EntryResult::kDone);
  EXPECT_EQ(driver.link.RequestError(), 0u);
  EXPECT_NE(driver.link.Requests() & bit::kCo2Values, 0u);
  EXPECT_EQ(Run(HandleCo2Write, "7F 31"), EntryResult::kDone);
  EXPECT_EQ(driver.link.RequestError(), 1u);
  EXPECT_TRUE(recorders.Errors().empty());  // refused without a message
  EXPECT_EQ(Run(HandleCo2Write, "D7 00 00"), EntryResult::kLinkFault);
  EXPECT_EQ(driver.link.RequestError(), 1u);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{kInvalidLength});
}

// --- Debug telegram --------------------------------------------------------------------------

TEST_F(DecoderTest, DebugTelegramFollowsTheWindowsRequests) {
  SetVersion(0x32);
  DebugState debug;
  std::array<std::uint8_t, kWorkBufferSize> work{0x60, 0x00, 0x00};
  EXPECT_EQ(BuildDebug(driver, work, 3), 0u);  // no debug window attached
  ASSERT_EQ(driver.StartDebugMode(&debug), 1);
  struct Step {
    const char* name;
    std::uint16_t action;
    std::uint16_t newState;
    std::vector<std::uint8_t> sent;
    std::uint16_t modeAfter;
    std::uint16_t actionAfter;
  } steps[] = {
      {"Halt", 1, kDebugNone, {0x60, 0x03}, 1, 1},
      {"Status", 1, kDebugNone, {0x60, 0x01}, 1, 1},
      {"SetState", 1, 0x12, {0x60, 0x06, 0x12}, 1, 1},
      {"Step", 3, kDebugNone, {0x60, 0x04}, 1, 1},
      {"StepNow", 4, kDebugNone, {0x60, 0x05}, 1, 1},
      {"Run", 2, kDebugNone, {0x60, 0x02}, 2, 2},
      {"Leave", 0, kDebugNone, {0x60, 0x00}, 0, 0},
  };
  for (const Step& step : steps) {
    debug.action = step.action;
    debug.newState = step.newState;
    work = {0x60, 0x00, 0x00};
    const std::size_t length = BuildDebug(driver, work, 3);
    EXPECT_EQ(std::vector<std::uint8_t>(work.begin(), work.begin() + length), step.sent)
        << step.name;
    EXPECT_EQ(debug.mode.load(), step.modeAfter) << step.name;
    EXPECT_EQ(debug.action.load(), step.actionAfter) << step.name;
    EXPECT_EQ(debug.newState.load(), kDebugNone) << step.name;
  }
}

TEST_F(DecoderTest, DebugStatusReachesTheWindow) {
  SetVersion(0x32);
  DebugState debug;
  debug.window = &recorders;
  debug.action = 1;
  driver.StartDebugMode(&debug);
  std::array<std::uint8_t, kWorkBufferSize> work{0x60, 0x00, 0x00};
  BuildDebug(driver, work, 3);  // halt
  BuildDebug(driver, work, 3);  // status
  ASSERT_EQ(Run(HandleDebug, "E0 01 07 00 0A 00 05 06 FD 01"), EntryResult::kDone);
  EXPECT_EQ(debug.currentState.load(), 7);
  EXPECT_EQ(debug.runTimeSet.load(), 10);
  EXPECT_EQ(debug.runTimeActual.load(), 5);
  EXPECT_EQ(debug.lastState.load(), 6);
  EXPECT_EQ(debug.lastJump.load(), 0xFD);
  EXPECT_EQ(recorders.CountMessages(kDebugRefreshMessage), 1u);
  // The unit says it is not in debug mode: ask for it again.
  ASSERT_EQ(Run(HandleDebug, "E0 01 07 00 0A 00 05 06 FD 00"), EntryResult::kDone);
  EXPECT_EQ(debug.mode.load(), 0);
  EXPECT_EQ(debug.action.load(), 1);
  EXPECT_EQ(driver.PollDebugMode(&debug), 1);
  // Refused: the window is told and the mode given up.
  EXPECT_EQ(Run(HandleDebug, "7F 11"), EntryResult::kLinkFault);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{"Debug mode cannot be started!"});
  EXPECT_EQ(driver.PollDebugMode(&debug), 0);
}

// --- Short and garbled replies ----------------------------------------------------------------

// Every handler of the table gets telegrams that are too short for it: a reply with only the
// command, one that claims more bytes than it holds, and fragments. None may read past the
// telegram (the sanitizers watch), and none may take a short reply as a complete answer.
class ShortReplies : public DecoderTest, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(ShortReplies, AreRefusedWithoutReadingPastThem) {
  SetVersion(GetParam());
  SetCode({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  driver.state.extendedTemperaturesWanted = true;
  driver.state.glowPlugResistanceWanted = true;
  const auto table = PollTable();
  for (std::size_t k = 0; k < table.size(); ++k) {
    const PollEntry& entry = table[k];
    const auto positive = static_cast<std::uint8_t>(entry.payload[0] | 0x80);
    driver.client.NoteSent(entry.payload[0]);
    const std::vector<std::vector<std::uint8_t>> replies = {
        {}, {0x4F}, {0x4F, 0x02}, {0x4F, 0x02, positive}, {0x4F, 0x1F, positive, entry.payload[1]},
    };
    for (const auto& bytes : replies) {
      const EntryResult result = entry.handler(driver, ReplyView(bytes));
      EXPECT_NE(result, EntryResult::kDatasetRead) << "entry " << k;
      EXPECT_NE(result, EntryResult::kDatasetWrite) << "entry " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, ShortReplies, ::testing::Values(0x15, 0x30, 0x31, 0x32));

// A reply with nothing behind the command byte: the handlers that need data say so.
TEST_F(DecoderTest, CommandOnlyRepliesAreReportedAsWrongLength) {
  SetVersion(0x32);
  SetCode({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  const Handler strict[] = {HandleDeviceName,     HandleLayout,           HandleVoltageThresholds,
                            HandleConfiguration,  HandleInputs,           HandleComponentStates,
                            HandleMeasuredValues, HandleActuatorLevels,   HandleOperatingState,
                            HandleCounters,       HandleWorkingDurations, HandleStartCounters,
                            HandleFaultList,      HandleReply30};
  const std::uint8_t commands[] = {0x51, 0x38, 0x53, 0x50, 0x50, 0x50, 0x50,
                                   0x50, 0x50, 0x50, 0x50, 0x50, 0x56, 0x30};
  for (std::size_t i = 0; i < std::size(strict); ++i) {
    recorders.Clear();
    const std::vector<std::uint8_t> bytes = {
        0x4F, 0x02, static_cast<std::uint8_t>(commands[i] | 0x80),
        static_cast<std::uint8_t>(0x4D ^ (commands[i] | 0x80))};
    EXPECT_EQ(strict[i](driver, ReplyView(bytes)), EntryResult::kLinkFault) << i;
    EXPECT_EQ(recorders.Errors(), std::vector<std::string>{kInvalidLength}) << i;
  }
}

}  // namespace
}  // namespace heatdiag::hbus

namespace heatdiag::hbus {
namespace {

// Every element of the overview lies inside the window and is bound to a row or a text.
TEST(Overview, ElementsFitTheWindowAndNameWhatTheyShow) {
  const OverviewElement* elements = nullptr;
  ASSERT_EQ(record::GetOverviewElements(&elements), 86u);
  ASSERT_NE(elements, nullptr);
  for (std::size_t i = 0; i < 86; ++i) {
    const OverviewElement& e = elements[i];
    EXPECT_LT(e.left, e.right) << i;
    EXPECT_LT(e.top, e.bottom) << i;
    EXPECT_LE(e.right, 10000) << i;
    EXPECT_LE(e.bottom, 10000) << i;
    if (e.type == kOverviewText)
      EXPECT_NE(FindString(e.item), nullptr) << i;
    else
      EXPECT_LT(e.item, kCatalogueRows) << i;
  }
}

}  // namespace
}  // namespace heatdiag::hbus

namespace heatdiag::hbus {
namespace {

// The record made over the driver object: every slot but the debug hook is D00's own, and the
// slots reach the program's driver.
TEST(Record, EverySlotButTheDebugHookIsTheDriversOwn) {
  constexpr DeviceDriver record = MakeRecord(9800, 40);
  const DeviceDriver plain{};
  using Slot = std::uintptr_t;
  static_assert(sizeof(DeviceDriver) ==
                offsetof(DeviceDriver, IsSessionActive) + kDriverSlotCount * sizeof(Slot));
  std::array<Slot, kDriverSlotCount> own{};
  std::array<Slot, kDriverSlotCount> defaults{};
  std::memcpy(own.data(),
              reinterpret_cast<const char*>(&record) + offsetof(DeviceDriver, IsSessionActive),
              sizeof own);
  std::memcpy(defaults.data(),
              reinterpret_cast<const char*>(&plain) + offsetof(DeviceDriver, IsSessionActive),
              sizeof defaults);
  for (std::size_t slot = 0; slot < kDriverSlotCount; ++slot) {
    EXPECT_NE(own[slot], 0u) << "slot " << slot;
    if (slot == 32)
      EXPECT_EQ(own[slot], defaults[slot]);
    else
      EXPECT_NE(own[slot], defaults[slot]) << "slot " << slot;
  }
  EXPECT_EQ(record.nameId, 9800u);
  EXPECT_EQ(record.deviceCode, 40u);
  std::uint8_t addresses[2] = {};
  EXPECT_EQ(record.GetDefaultAddresses(addresses), 1);
  EXPECT_EQ(addresses[0], 0x4);
  EXPECT_EQ(addresses[1], 0xF);
  EXPECT_EQ(record.IsSessionActive(), 0);
}

}  // namespace
}  // namespace heatdiag::hbus
