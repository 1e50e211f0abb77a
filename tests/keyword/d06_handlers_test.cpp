// D06's handlers and builders on answers written out as bytes: what they store, what they hide,
// what they report, and that short, refused or foreign answers end the exchange without reading
// past them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/diag_store.h"
#include "drivers/keyword/d06_driver.h"
#include "drivers/keyword/d06_handlers.h"
#include "drivers/keyword/d06_rows.h"
#include "keyword/frames.h"
#include "service/component_list.h"

namespace heatdiag::d06 {
namespace {

using heatdiag::testing::Answer;
using heatdiag::testing::Bytes;
using heatdiag::testing::Hex;
using heatdiag::testing::Recorders;
using Handler = EntryResult (*)(Driver&, const ReplyView&);
namespace r = rows;

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
constexpr const char* kInvalidKeyword = "Invalid keyword (wrong device selected)!";

class D06Test : public ::testing::Test {
 protected:
  void SetUp() override {
    driver.transport.SessionRunning().Set();  // requests are placed while a session runs
    StoreStartup();
    ASSERT_EQ(StoreInit(CatalogueD06()), 1);
    for (std::uint32_t row = 0; row < r::kCount; ++row) {
      StoreSetPresent(row, 1);
      StoreSetShown(row, 1);
    }
  }
  void TearDown() override { StoreShutdown(); }

  EntryResult Run(Handler handler, const std::string& data) {
    const Bytes frame = Answer(data);
    return handler(driver, ReplyView(frame));
  }
  // Runs a builder on row k's payload; the bytes it would send.
  Bytes Build(std::size_t k) {
    const PollRowD06& row = PollTable()[k];
    std::array<std::uint8_t, kWorkBufferSize> work{};
    std::copy_n(row.payload.begin(), row.payloadLength, work.begin());
    const std::size_t n = row.builder(driver, work, row.payloadLength);
    return Bytes(work.begin(), work.begin() + static_cast<std::ptrdiff_t>(n));
  }
  static std::string Value(std::uint32_t row) { return StoreReadText(row); }
  static bool Present(std::uint32_t row) { return StoreGetPresent(row) != 0; }

  Recorders recorders;
  Driver driver;
};

// --- The key, the fault numbers, the table -----------------------------------------------------

TEST(AccessKeyTest, FromTheChallenge) {
  struct Case {
    std::uint16_t seed;
    std::uint16_t key;
  } cases[] = {
      {0x0000, 0x00BC}, {0x1234, 0xBF3E}, {0x2F6B, 0x1357}, {0xFFFF, 0x25F1}, {0xA5C3, 0x6868}};
  for (const Case& c : cases) EXPECT_EQ(AccessKey(c.seed), c.key) << std::hex << c.seed;
}

TEST(FaultNumberTest, ByCodeAndStatusBits) {
  struct Case {
    std::uint16_t code;
    std::uint8_t status;
    std::uint8_t number;
  } cases[] = {
      {0x1000, 0x00, 1},   {0x1800, 0x24, 2},   {0x1801, 0x04, 131}, {0x1801, 0xF4, 131},
      {0x1801, 0x05, 3},   {0x1802, 0x02, 132}, {0x1802, 0x03, 4},   {0x1803, 0x00, 5},
      {0x1811, 0x01, 6},   {0x1813, 0x01, 7},   {0x1820, 0x01, 136}, {0x1820, 0x02, 8},
      {0x1821, 0x31, 137}, {0x1821, 0x00, 9},   {0x1822, 0x01, 138}, {0x1822, 0x11, 138},
      {0x1822, 0x04, 10},  {0x1823, 0x01, 139}, {0x1823, 0x08, 11},  {0x1824, 0x01, 19},
      {0x1825, 0x01, 255}, {0x0000, 0x00, 255}, {0xFFFF, 0xFF, 255},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FaultNumber(c.code, c.status), c.number) << std::hex << c.code << "/" << +c.status;
}

TEST(PollTableTest, NineteenRowsAsTheLinkExpects) {
  struct Expect {
    const char* payload;
    std::uint32_t schedule;
    std::uint32_t bit;
    bool builder;
  } rowsExpected[] = {
      {"81", kAtConnection, 0, false},           {"1A 80", kAtConnection, 0, false},
      {"1A 92", kAtConnection, 0, false},        {"1A 93", kAtConnection, 0, false},
      {"1A 94", kAtConnection, 0, false},        {"1A 95", kAtConnection, 0, false},
      {"10 81", kAtConnection, 0, false},        {"27 05", kAtConnection, 0, false},
      {"27 06 00 00", kAtConnection, 0, true},   {"21 36", kAtConnection, 0, false},
      {"18 FA 00 00", kEverySecond, 0x4, false}, {"17 00 00", kOnRequest, 0x100, true},
      {"14 00 00", kOnRequest, 0x80, false},     {"21 81", kContinuous, 0, false},
      {"21 82", kContinuous, 0, false},          {"30 00 07 00", kOnRequest, 0x2, true},
      {"3B 36 00 00", kOnRequest, 0x10, true},   {"31 03", kOnRequest, 0x40, false},
      {"31 03", kOnRequest, 0x20, false},
  };
  const auto table = PollTable();
  ASSERT_EQ(table.size(), std::size(rowsExpected));
  for (std::size_t k = 0; k < table.size(); ++k) {
    const Bytes payload = Hex(rowsExpected[k].payload);
    EXPECT_EQ(Bytes(table[k].payload.begin(), table[k].payload.begin() + table[k].payloadLength),
              payload)
        << "row " << k;
    EXPECT_EQ(table[k].schedule, rowsExpected[k].schedule) << "row " << k;
    EXPECT_EQ(table[k].requestBit, rowsExpected[k].bit) << "row " << k;
    EXPECT_EQ(table[k].builder != nullptr, rowsExpected[k].builder) << "row " << k;
    EXPECT_NE(table[k].handler, nullptr) << "row " << k;
    EXPECT_EQ(table[k].minVersion, 0);
    EXPECT_EQ(table[k].maxVersion, 0xFF);
  }
}

TEST(ReplyViewTest, ReadsStayInsideTheFrame) {
  const Bytes frame = Answer("61 81 01 02");
  const ReplyView view(frame);
  EXPECT_EQ(view.DataLength(), 4);
  EXPECT_EQ(view.Service(), 0x61);
  EXPECT_TRUE(view.Answers(0x21));
  EXPECT_FALSE(view.Answers(0x1A));
  EXPECT_EQ(view.Word16At(5), 0x0102);
  EXPECT_EQ(view.ByteAt(8), 0);  // beyond the checksum
  EXPECT_FALSE(view.IsNak());
  const Bytes truncated = {0x88, 0xF1, 0x51, 0x61};  // announces 8 data bytes, holds 1
  EXPECT_EQ(ReplyView(truncated).DataLength(), -1);
  EXPECT_FALSE(ReplyView(truncated).Answers(0x21));
  EXPECT_EQ(ReplyView().DataLength(), -1);
  EXPECT_TRUE(ReplyView(Answer("7F 27 35")).IsNak());
}

// --- Every handler refuses a short answer and an answer to another service ----------------------

struct RefusalCase {
  const char* name;
  Handler handler;
  const char* good;      // a valid answer
  const char* tooShort;  // the same, one data byte short
};

class Refusals : public D06Test, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, ShortAnswerAndForeignServiceEndTheExchange) {
  const RefusalCase& c = GetParam();
  EXPECT_EQ(Run(c.handler, c.good), EntryResult::kDone);
  EXPECT_TRUE(recorders.Errors().empty());

  EXPECT_EQ(Run(c.handler, c.tooShort), EntryResult::kLinkFault);
  ASSERT_EQ(recorders.Errors().size(), 1u);
  EXPECT_EQ(recorders.Errors()[0], kInvalidLength);

  // The same bytes answering another service.
  Bytes data = Hex(c.good);
  data[0] = 0x62;
  std::string foreign;
  char text[8];
  for (std::uint8_t b : data) {
    std::snprintf(text, sizeof text, "%02X ", b);
    foreign += text;
  }
  EXPECT_EQ(Run(c.handler, foreign), EntryResult::kLinkFault);
  ASSERT_EQ(recorders.Errors().size(), 2u);
  EXPECT_EQ(recorders.Errors()[1], kInvalidResponse);

  // In a device search probe the refusals are silent.
  driver.facts.SetProbeMode(true);
  EXPECT_EQ(Run(c.handler, c.tooShort), EntryResult::kLinkFault);
  EXPECT_EQ(Run(c.handler, foreign), EntryResult::kLinkFault);
  EXPECT_EQ(recorders.Errors().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryHandler, Refusals,
    ::testing::Values(
        RefusalCase{"StartCommunication", HandleStartCommunication, "C1 E9 8F", "C1 E9"},
        RefusalCase{"CustomerId", HandleCustomerId,
                    "5A 80 41 42 43 44 45 46 47 48 49 01 02 03 04 05 06 07 08 09 0A 0B 0C",
                    "5A 80 41 42 43 44 45 46 47 48 49 01 02 03 04 05 06 07 08 09 0A 0B"},
        RefusalCase{"DeviceId", HandleDeviceId, "5A 92 31 32 33 34 35 36 37 38 39 30 31",
                    "5A 92 31 32 33 34 35 36 37 38 39 30"},
        RefusalCase{"HwVersion", HandleHwVersion, "5A 93 07", "5A 93"},
        RefusalCase{"DatasetId", HandleDatasetId, "5A 94 31 32 33 34 35 36 37 38 39 30 31",
                    "5A 94 31 32 33 34 35 36 37 38 39 30"},
        RefusalCase{"SwVersion", HandleSwVersion, "5A 95 02 11", "5A 95 02"},
        RefusalCase{"DiagnosticSession", HandleDiagnosticSession, "50 81", "50"},
        RefusalCase{"Seed", HandleSeed, "67 05 12 34", "67 05 12"},
        RefusalCase{"Key", HandleKey, "67 06", "67"},
        RefusalCase{"Co2Value", HandleCo2Value, "61 36 80", "61 36"},
        RefusalCase{"MeasuredValues", HandleMeasuredValues, "61 81 00 BB 64 B0 A0 04",
                    "61 81 00 BB 64 B0 A0"},
        RefusalCase{"Actuators", HandleActuators, "61 82 00 FF 32 00 14 1F 6F",
                    "61 82 00 FF 32 00 14 1F"},
        RefusalCase{"FaultList", HandleFaultList, "58 01 18 01 04", "58"},
        RefusalCase{"FaultStatus", HandleFaultStatus, "57 01 18 01 04 02 BB 20 B0 10 20 30",
                    "57 01 18 01 04 02 BB 20 B0 10 20"}),
    CaseName);

// A negative answer shows the reason's message and ends the exchange.
TEST_F(D06Test, NegativeAnswerShowsItsReason) {
  EXPECT_EQ(Run(HandleMeasuredValues, "7F 21 22"), EntryResult::kLinkFault);
  EXPECT_EQ(Run(HandleKey, "7F 27 35"), EntryResult::kLinkFault);
  const std::vector<std::string> expected = {"NAK: conditions not correct!",
                                             "NAK: unknown acknowlede code 0x35!"};
  EXPECT_EQ(recorders.Errors(), expected);
}

// --- Connection
// ------------------------------------------------------------------------------------

TEST_F(D06Test, KeyBytesIdentifyTheUnitAndHideTheFaultBlocks) {
  EXPECT_EQ(Run(HandleStartCommunication, "C1 E9 8F"), EntryResult::kDone);
  EXPECT_TRUE(driver.facts.Identified());
  EXPECT_TRUE(driver.facts.Answered());
  for (std::uint32_t row = r::kFaultRows.first; row <= r::kFaultRows.last; ++row)
    EXPECT_FALSE(Present(row)) << row;
  for (const kit::Row row : r::kNotDelivered) EXPECT_FALSE(Present(row)) << row;
  EXPECT_TRUE(Present(r::kFaultCount));
  EXPECT_TRUE(Present(r::kTemperature));
}

TEST_F(D06Test, OtherKeyBytesAreRefused) {
  EXPECT_EQ(Run(HandleStartCommunication, "C1 C2 46"), EntryResult::kLinkFault);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{kInvalidKeyword});
  EXPECT_TRUE(driver.state.keywordError.load());
  EXPECT_FALSE(driver.facts.Identified());
  // A unit of another family answered: no further wake-ups.
  EXPECT_TRUE(driver.facts.Answered());
  EXPECT_TRUE(Present(r::FaultRow(0, 0)));
}

TEST_F(D06Test, ProbeOfAnotherFamilyFailsSilently) {
  driver.facts.SetProbeMode(true);
  EXPECT_EQ(Run(HandleStartCommunication, "C1 D0 8F"), EntryResult::kLinkFault);
  EXPECT_TRUE(driver.facts.ProbeFailed());
  EXPECT_FALSE(driver.facts.Identified());
  EXPECT_TRUE(recorders.Errors().empty());
  EXPECT_EQ(Run(HandleStartCommunication, "C1 E9 8F"), EntryResult::kDone);
  EXPECT_TRUE(driver.facts.Identified());
}

TEST_F(D06Test, CustomerIdKeepsABlankForEachZeroByte) {
  EXPECT_EQ(
      Run(HandleCustomerId, "5A 80 31 00 32 33 00 00 34 35 36 AB 01 02 03 04 05 06 07 08 09 0A 0B"),
      EntryResult::kDone);
  const std::string expected = "1 23  456/AB/01/02/0304/05060708/09/0A/0B";
  EXPECT_EQ(Value(r::kCustomerId), expected);
  EXPECT_EQ(expected.size(), 41u);
}

TEST_F(D06Test, IdentificationTexts) {
  EXPECT_EQ(Run(HandleDeviceId, "5A 92 39 30 31 32 33 34 35 36 41 42 43"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kDeviceId), "90123456ABC");  // 11 characters, the checksum is not text
  EXPECT_EQ(Run(HandleDatasetId, "5A 94 44 53 2D 31 32 00 00 00 00 00 00"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kDatasetId), "DS-12");
  EXPECT_EQ(Run(HandleHwVersion, "5A 93 0C"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kHwVersion), "12");
  EXPECT_EQ(Run(HandleSwVersion, "5A 95 03 0A"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kSwVersion), "3.10");
  EXPECT_EQ(Run(HandleCo2Value, "61 36 8C"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kCo2Value), "140");
}

TEST_F(D06Test, AccessAnswerComesFromTheChallenge) {
  // Without a challenge nothing is sent.
  EXPECT_TRUE(Build(8).empty());
  EXPECT_EQ(Run(HandleSeed, "67 05 12 34"), EntryResult::kDone);
  EXPECT_EQ(Build(8), Hex("27 06 BF 3E"));
  EXPECT_EQ(Run(HandleKey, "67 06"), EntryResult::kDone);
}

// --- Operating data
// --------------------------------------------------------------------------------

TEST_F(D06Test, MeasuredValuesByTheOldConversions) {
  // b6 temperature 187 -> 20 °C, b7 resistance 100 -> 0.954 Ohm, b8 176 -> 12.014 V,
  // b9 150 -> 10.239 V, b10 state 0x14.
  EXPECT_EQ(Run(HandleMeasuredValues, "61 81 00 BB 64 B0 96 14"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kTemperature), "20");
  EXPECT_EQ(Value(r::kFlameDetector), "0,954");
  EXPECT_EQ(Value(r::kSupplyVoltage), "12,01");
  EXPECT_EQ(Value(r::kMinVoltageThreshold), "10,24");
  EXPECT_EQ(Value(r::kOperatingState), StateText(StateTableD06(), 0x14, 0));
  // The first state only starts the clock; a change is logged.
  EXPECT_TRUE(recorders.ProtocolTexts(kProtocolStateChange).empty());
  EXPECT_EQ(Run(HandleMeasuredValues, "61 81 00 BB 64 B0 96 15"), EntryResult::kDone);
  EXPECT_EQ(recorders.ProtocolTexts(kProtocolStateChange).size(), 1u);
}

TEST_F(D06Test, ActuatorsInputsAndFlags) {
  // b6 fan 0x80 -> 50 %, b7 glow plug 40 %, b9 period 50 -> 2 Hz, b10 0x15: fan, circulating
  // pump, vehicle fan relay; b11 0x6E: gasoline, main switch, supplemental request, flame,
  // overheat.
  EXPECT_EQ(Run(HandleActuators, "61 82 00 80 28 00 32 15 6E"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kFanPercent), "50");
  EXPECT_EQ(Value(r::kGlowPlugPercent), "40");
  EXPECT_EQ(Value(r::kFuelPumpHertz), "2");
  EXPECT_EQ(Value(r::kFanOn), "1");
  EXPECT_EQ(Value(r::kGlowPlugOn), "0");
  EXPECT_EQ(Value(r::kCirculatingPumpOn), "1");
  EXPECT_EQ(Value(r::kFuelPumpOn), "0");
  EXPECT_EQ(Value(r::kVehicleFanRelayOn), "1");
  EXPECT_EQ(Value(r::kSummer), "0");
  EXPECT_EQ(Value(r::kFuelType), "Gasoline");
  EXPECT_EQ(Value(r::kMainSwitch), "1");
  EXPECT_EQ(Value(r::kSupplementalRequest), "1");
  EXPECT_EQ(Value(r::kFlameDetected), "1");
  EXPECT_EQ(Value(r::kOverheatFlag), "1");
  EXPECT_EQ(Value(r::kDeviceState), "no fault, UEHFL");

  EXPECT_EQ(Run(HandleActuators, "61 82 00 FF 00 00 00 00 01"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kFanPercent), "100");
  EXPECT_EQ(Value(r::kFuelPumpHertz), "0");  // b9 = 0: no division
  EXPECT_EQ(Value(r::kSummer), "1");
  EXPECT_EQ(Value(r::kFuelType), "Diesel");
  EXPECT_EQ(Value(r::kDeviceState), "no fault");
}

// --- Fault memory
// ----------------------------------------------------------------------------------

TEST_F(D06Test, EmptyFaultListHidesEveryBlockAndAsksNoMore) {
  EXPECT_EQ(Run(HandleStartCommunication, "C1 E9 8F"), EntryResult::kDone);
  kit::SetPresent(r::FaultBlock(1), true);
  EXPECT_EQ(Run(HandleFaultList, "58 00"), EntryResult::kDone);
  for (std::uint32_t row = r::kFaultRows.first; row <= r::kFaultRows.last; ++row)
    EXPECT_FALSE(Present(row)) << row;
  EXPECT_EQ(Value(r::kFaultCount), "0");
  EXPECT_EQ(driver.facts.Requests() & bit::kFaultStatus, 0u);
  EXPECT_EQ(Value(r::kDeviceState), "no fault");
  EXPECT_TRUE(Build(11).empty());
}

TEST_F(D06Test, FaultListLongerThanItsFrameIsRefused) {
  EXPECT_EQ(Run(HandleFaultList, "58 02 18 01 04"), EntryResult::kLinkFault);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{kInvalidLength});
}

TEST_F(D06Test, FaultStatusesFillTheBlocksOneAfterTheOther) {
  EXPECT_EQ(Run(HandleStartCommunication, "C1 E9 8F"), EntryResult::kDone);
  EXPECT_EQ(Run(HandleFaultList, "58 02 18 01 04 18 22 21"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kFaultCount), "2");
  EXPECT_EQ(Value(r::kDeviceState), "2 fault(s)");
  ASSERT_NE(driver.facts.Requests() & bit::kFaultStatus, 0u);
  driver.facts.ClearRequest(bit::kFaultStatus);

  EXPECT_EQ(Build(11), Hex("17 18 01"));
  // b5b6 code, b7 status, b8 counter, b9 temperature, b10 flame detector, b11 voltage,
  // b12 fuel pump, b13 fan, b14 glow plug.
  EXPECT_EQ(Run(HandleFaultStatus, "57 02 18 01 04 03 BB 20 B0 10 20 30"), EntryResult::kRepeat);
  EXPECT_TRUE(Present(r::FaultRow(0, r::fault::kHeading)));
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kHeading)), "131");
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kCode)), "1801/04");
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kCounter)), "3");
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kTemperature)), "20");
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kFlameDetector)), "32");
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kVoltage)), "12,01");
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kFuelPump)), "16");
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kCombustionAirFan)), "32");
  EXPECT_EQ(Value(r::FaultRow(0, r::fault::kGlowPlug)), "48");
  EXPECT_FALSE(Present(r::FaultRow(1, r::fault::kHeading)));
  ASSERT_NE(driver.facts.Requests() & bit::kFaultStatus, 0u);
  driver.facts.ClearRequest(bit::kFaultStatus);

  EXPECT_EQ(Build(11), Hex("17 18 22"));
  const std::uint32_t readsBefore = driver.state.faultReadsCompleted.load();
  EXPECT_EQ(Run(HandleFaultStatus, "57 02 18 22 21 01 BB 20 B0 10 20 30"), EntryResult::kDone);
  EXPECT_EQ(Value(r::FaultRow(1, r::fault::kHeading)), "138");
  EXPECT_EQ(Value(r::FaultRow(1, r::fault::kCode)), "1822/21");
  EXPECT_EQ(driver.facts.Requests() & bit::kFaultStatus, 0u);
  EXPECT_EQ(driver.state.faultReadsCompleted.load(), readsBefore + 1);
  EXPECT_FALSE(Present(r::FaultRow(2, r::fault::kHeading)));

  // One fault left: the second block goes, the first stays until its status is read again.
  EXPECT_EQ(Run(HandleFaultList, "58 01 18 01 04"), EntryResult::kDone);
  EXPECT_TRUE(Present(r::FaultRow(0, r::fault::kHeading)));
  EXPECT_FALSE(Present(r::FaultRow(1, r::fault::kHeading)));
}

TEST_F(D06Test, MoreFaultsThanBlocksAsksForThreeStatuses) {
  EXPECT_EQ(Run(HandleFaultList, "58 04 10 00 01 18 00 01 18 03 01 18 24 01"), EntryResult::kDone);
  EXPECT_EQ(Value(r::kFaultCount), "4");
  int asked = 0;
  EntryResult result = EntryResult::kRepeat;
  while (result == EntryResult::kRepeat && asked < 10) {
    const Bytes request = Build(11);
    ASSERT_EQ(request.size(), 3u);
    ++asked;
    char data[64];
    std::snprintf(data, sizeof data, "57 01 %02X %02X 01 01 BB 20 B0 10 20 30", request[1],
                  request[2]);
    result = Run(HandleFaultStatus, data);
  }
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(result, EntryResult::kDone);
  EXPECT_EQ(Value(r::FaultRow(2, r::fault::kHeading)), "5");
}

TEST_F(D06Test, ClearingAsksForTheListAgain) {
  EXPECT_EQ(Run(HandleClearFaults, "54 00 00"), EntryResult::kDone);
  EXPECT_NE(driver.facts.Requests() & bit::kFaultList, 0u);
  EXPECT_EQ(driver.state.faultClearsConfirmed.load(), 1u);
  driver.facts.ClearRequest(bit::kFaultList);
  // Refused: the reason is shown, the session goes on.
  EXPECT_EQ(Run(HandleClearFaults, "7F 14 22"), EntryResult::kDone);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{"NAK: conditions not correct!"});
  EXPECT_EQ(driver.facts.Requests() & bit::kFaultList, 0u);
  EXPECT_EQ(Run(HandleClearFaults, "58 00"), EntryResult::kLinkFault);
}

// --- Service requests
// ------------------------------------------------------------------------------

TEST_F(D06Test, ComponentTestSwitchesThePreviousComponentOffFirst) {
  ASSERT_EQ(driver.StartComponent(2, 0, 0), 1);  // combustion air fan
  ASSERT_NE(driver.facts.Requests() & bit::kComponentTest, 0u);
  driver.facts.ClearRequest(bit::kComponentTest);
  EXPECT_EQ(Build(15), Hex("30 02 07 01"));
  EXPECT_EQ(driver.facts.Requests() & bit::kComponentTest, 0u);

  ASSERT_EQ(driver.StartComponent(3, 0, 0), 1);  // glow plug
  driver.facts.ClearRequest(bit::kComponentTest);
  EXPECT_EQ(Build(15), Hex("30 02 07 00"));  // the fan goes off first
  ASSERT_NE(driver.facts.Requests() & bit::kComponentTest, 0u);
  driver.facts.ClearRequest(bit::kComponentTest);
  EXPECT_EQ(Build(15), Hex("30 04 07 01"));
  EXPECT_EQ(driver.facts.Requests() & bit::kComponentTest, 0u);

  // The same component again goes straight out.
  ASSERT_EQ(driver.StartComponent(3, 0, 0), 1);
  driver.facts.ClearRequest(bit::kComponentTest);
  EXPECT_EQ(Build(15), Hex("30 04 07 01"));

  driver.StopComponentTest();
  driver.facts.ClearRequest(bit::kComponentTest);
  EXPECT_EQ(Build(15), Hex("30 1F 07 00"));
  ASSERT_EQ(driver.StartComponent(0, 0, 0), 1);  // all off
  driver.facts.ClearRequest(bit::kComponentTest);
  EXPECT_EQ(Build(15), Hex("30 1F 07 00"));
  ASSERT_EQ(driver.StartComponent(5, 0, 0), 1);  // after all off nothing is on any more
  driver.facts.ClearRequest(bit::kComponentTest);
  EXPECT_EQ(Build(15), Hex("30 10 07 01"));

  EXPECT_EQ(driver.StartComponent(6, 0, 0), 0);
  driver.transport.SessionRunning().Reset();  // no session: nobody would serve the request
  EXPECT_EQ(driver.StartComponent(1, 0, 0), 0);
  EXPECT_EQ(Run(HandleComponentTest, "70 02 07 01"), EntryResult::kDone);
}

TEST_F(D06Test, ComponentListNamesThePresentComponents) {
  ComponentList list;
  EXPECT_EQ(driver.GetComponentList(&list), 0);  // not before the connection pass
  StoreSetDataValid();
  kit::Hide(r::kVehicleFanRelayOn);
  ASSERT_EQ(driver.GetComponentList(&list), 1);
  EXPECT_STREQ(list.names[0].data(), "");
  EXPECT_STREQ(list.names[1].data(), StoreGetName(r::kCirculatingPumpOn, NameForm::kLong).c_str());
  EXPECT_STREQ(list.names[2].data(), StoreGetName(r::kFanOn, NameForm::kLong).c_str());
  EXPECT_STREQ(list.names[3].data(), StoreGetName(r::kGlowPlugPercent, NameForm::kLong).c_str());
  EXPECT_STREQ(list.names[4].data(), StoreGetName(r::kFuelPumpHertz, NameForm::kLong).c_str());
  EXPECT_STREQ(list.names[5].data(), "");  // hidden
  EXPECT_NE(std::string(list.names[1].data()), "");
  EXPECT_EQ(list.setValueAvailable, 0u);
  EXPECT_EQ(list.runTimeAvailable, 0u);
  EXPECT_EQ(driver.RunOwnComponentTest(), 1);
}

TEST_F(D06Test, Co2WriteTellsTheWaitingCaller) {
  driver.state.co2Value.store(0x77);
  EXPECT_EQ(Build(16), Hex("3B 36 77 00"));
  EXPECT_EQ(Run(HandleCo2Write, "7B 36"), EntryResult::kDone);
  EXPECT_TRUE(driver.facts.RequestDone().Wait(0));
  EXPECT_EQ(driver.facts.RequestError(), 0u);
  EXPECT_EQ(Value(r::kCo2Value), "119");

  EXPECT_EQ(Run(HandleCo2Write, "7F 3B 31"), EntryResult::kDone);
  EXPECT_TRUE(driver.facts.RequestDone().Wait(0));
  EXPECT_EQ(driver.facts.RequestError(), 1u);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{"NAK: invalid range!"});

  EXPECT_EQ(Run(HandleCo2Write, "61 36 00"), EntryResult::kLinkFault);
  EXPECT_TRUE(driver.facts.RequestDone().Wait(0));
  EXPECT_EQ(driver.facts.RequestError(), 1u);
}

TEST_F(D06Test, RoutineAnswerLeadsToTheRequestState) {
  EXPECT_EQ(Run(HandleRoutine, "71 31 23"), EntryResult::kDatasetRead);
  EXPECT_EQ(Driver::StateAfter(EntryResult::kDatasetRead), WorkerState::kRequests);
  EXPECT_EQ(Driver::StateAfter(EntryResult::kDatasetWrite), WorkerState::kRequests);
  EXPECT_TRUE(recorders.Errors().empty());

  EXPECT_EQ(Run(HandleRoutine, "71 03"), EntryResult::kLinkFault);
  EXPECT_EQ(Run(HandleRoutine, "71 31 24"), EntryResult::kLinkFault);
  EXPECT_EQ(Run(HandleRoutine, "7F 31 12"), EntryResult::kLinkFault);
  const std::vector<std::string> expected = {kInvalidResponse, kInvalidResponse,
                                             "NAK: parameter not supported!"};
  EXPECT_EQ(recorders.Errors(), expected);
}

TEST_F(D06Test, OperationsThatReadTheStore) {
  EXPECT_EQ(driver.HasFaults(), 0);
  EXPECT_EQ(driver.IsFunctionAvailable(0), 0);  // not before the connection pass

  EXPECT_EQ(Run(HandleCo2Value, "61 36 8C"), EntryResult::kDone);
  EXPECT_EQ(Run(HandleFaultList, "58 01 18 01 04"), EntryResult::kDone);
  StoreSetDataValid();
  EXPECT_EQ(driver.HasFaults(), 1);
  EXPECT_EQ(driver.IsFunctionAvailable(0), 1);
  EXPECT_EQ(driver.IsFunctionAvailable(2), 3);
  EXPECT_EQ(driver.IsFunctionAvailable(10), 1);
  EXPECT_EQ(driver.IsFunctionAvailable(16), 1);
  EXPECT_EQ(driver.IsFunctionAvailable(3), 0);
  EXPECT_EQ(driver.IsFunctionAvailable(18), 0);
  std::uint8_t low = 1, high = 1, current = 1;
  driver.GetCo2Range(&low, &high, &current);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 255);
  EXPECT_EQ(current, 140);
}

}  // namespace
}  // namespace heatdiag::d06
