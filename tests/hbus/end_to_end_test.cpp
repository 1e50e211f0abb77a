// The H-Bus driver against the virtual heater on a pseudo-terminal: whole sessions with the
// link worker, the transport and the unit's answers, for each protocol version.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/settings.h"
#include "dataset/dataset_image.h"
#include "debug/sequence_state.h"
#include "drivers/diag_store.h"
#include "drivers/hbus/hbus_driver.h"
#include "hbus/recorders.h"
#include "service/free_telegram.h"
#include "shell/program_settings.h"
#include "virtual_heater.h"

namespace heatdiag::hbus {
namespace {

using namespace std::chrono_literals;
using heatdiag::testing::Recorders;

constexpr auto kConnectionLimit = 60s;
constexpr std::uint32_t kShortReplyWaitMs = 500;
constexpr const char* kNoCommunication =
    "Communication to device couldn't be established!\nPlease check power supply, wiring and "
    "device selection\nor try to use automatic device selection.";

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

std::string Value(std::uint32_t row) {
  return StoreReadText(row);
}
bool Present(std::uint32_t row) {
  return StoreGetPresent(row) != 0;
}
double Number(std::uint32_t row) {
  double value = 0;
  StoreRead(row, kStoreDouble, 0, &value);
  return value;
}

// A virtual heater, the store and one H-Bus driver with its threads, for one test.
class Session {
 public:
  explicit Session(heatsim::VirtualHeaterOptions options) {
    StoreStartup();
    MemorySettingsBackend settings;
    LoadSettings(settings);
    std::string error;
    heater_ = heatsim::VirtualHeater::Start(options, &error);
    if (!heater_) ADD_FAILURE() << "virtual heater: " << error;
    recorders.SubscribeToStore();
    if (heater_) driver.SetPort(1, heater_->PtyPath());
    driver.Init();
  }
  ~Session() {
    driver.StopSession();
    driver.Shutdown();
    if (heater_) heater_->Stop();
    StoreShutdown();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Starts the session and waits for the connection pass.
  bool Connect() {
    return heater_ && driver.StartSession() == 1 &&
           recorders.WaitForMessage(UM_DATAREADY, kConnectionLimit);
  }
  heatsim::VirtualHeater& Heater() { return *heater_; }
  // For tests that wait out unanswered requests: the count of attempts is what matters, not
  // the 1300 ms each would take; the unit answers within its latency of 20 ms.
  void ShortenReplyWaits() { driver.transport.SetReplyWaits(kShortReplyWaitMs, 100); }

  Recorders recorders;
  Driver driver;

 private:
  std::unique_ptr<heatsim::VirtualHeater> heater_;
};

heatsim::VirtualHeaterOptions Scenario(const std::string& name, const std::string& json = {}) {
  heatsim::VirtualHeaterOptions options;
  options.scenario = name;
  options.scenarioJson = json;
  return options;
}

// --- Decoded values of every poll entry, by version ------------------------------------------

struct VersionCase {
  const char* name;
  const char* scenario;
  const char* json;
  std::vector<std::pair<std::uint32_t, std::string>> values;
  std::vector<std::pair<std::uint32_t, double>> numbers;  // measured, within 0.05
  std::vector<std::uint32_t> hidden;
  std::vector<std::uint32_t> present;
};

class Versions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(Versions, DecodesEveryTelegramOfTheVersion) {
  const VersionCase& c = GetParam();
  Session session(Scenario(c.scenario, c.json));
  ASSERT_TRUE(session.Connect());
  EXPECT_TRUE(session.recorders.Errors().empty());
  // The extended and every-second values come after the connection pass: wait until they are
  // all in (or the limit has passed), then check each.
  const auto settled = [&c] {
    for (const auto& [row, text] : c.values)
      if (Value(row) != text) return false;
    for (const auto& [row, number] : c.numbers)
      if (!(std::abs(Number(row) - number) <= 0.05)) return false;
    for (auto row : c.hidden)
      if (Present(row)) return false;
    for (auto row : c.present)
      if (!Present(row)) return false;
    return true;
  };
  WaitUntil(settled, kConnectionLimit);
  for (const auto& [row, text] : c.values) EXPECT_EQ(Value(row), text) << "row " << row;
  for (const auto& [row, number] : c.numbers)
    EXPECT_NEAR(Number(row), number, 0.05) << "row " << row;
  for (auto row : c.hidden) EXPECT_FALSE(Present(row)) << "row " << row;
  for (auto row : c.present) EXPECT_TRUE(Present(row)) << "row " << row;
  EXPECT_TRUE(session.recorders.Errors().empty());
}

constexpr const char* kModel =
    R"("model": {"ambientTemperature": 12, "temperature": 12, "supplyVoltage": 12.6,
                 "noise": 0, "glowPlugResistance": 0.6, "workingHours": "412:37",
                 "operatingHours": "386:12", "startCount": 1184, "workingHoursPH": "301:10",
                 "workingHoursSH": "85:02", "startsPH": 902, "startsSH": 282, "trsCount": 3,
                 "burningDurations": ["12:40", "88:05", "190:51", "9:44",
                                      "3:10", "20:33", "61:19", "0:00"],
                 "faultCounterPH": 2, "faultCounterSH": 0, "flameInterruptions": 1})";

const std::string kV32Json = std::string(R"({
  "capabilities": "F8 7F 38 22 58 60",
  "identification": {"deviceName": "E2E 32", "deviceNumber": "25221705",
    "deviceNumberSuffix": "C", "hardware": "0310", "software": "21150312",
    "softwareEeprom": "21150313", "datasetNumber": "25221726", "datasetSuffix": "B",
    "datasetDigit": 2, "unitDate": "140621", "heaterDate": "290621", "farstartCode": "0001",
    "customerNumber": "4B56524C", "serialNumber": "0001F2A7", "testSignature": "P",
    "testSignatureCode": 21},
  "configuration": {"fuelType": "gasoline", "pumpInIdlePeriod": true,
                    "heatingLimitMinutes": "unlimited", "ventilationFactor": "1/2"},
  "thresholds": {"minVoltage": 10.5, "maxVoltage": 16.0, "minDelay": 20, "maxDelay": 25,
                 "upperTemperature": 80, "lowerTemperature": 70},
  "co2": {"value": 120, "min": 100, "max": 140},
  "faults": [
    {"code": "0x0A", "state": 1, "counter": 3, "stateCode": "0x34", "stateNumber": 2,
     "temperature": 4, "voltage": 12.21, "time": "398:51"},
    {"code": "0x51", "state": 3, "counter": 1, "stateCode": "0x06", "stateNumber": 0,
     "temperature": 71, "voltage": 10.14, "time": "402:10"}],
  )") + kModel + "}";

const std::string kV31Json = std::string(R"({
  "capabilities": "F0 3F 10 22 48 20",
  "identification": {"deviceName": "E2E 31", "hardware": "0207", "software": "19420208"},
  "configuration": {"fuelType": "diesel", "pumpInIdlePeriod": false,
                    "heatingLimitMinutes": 60, "ventilationFactor": "3/4"},
  "faults": [],
  )") + kModel + "}";

const std::string kV30Json = std::string(R"({
  "shortForms": true,
  "capabilities": "70 3C 00 02 00",
  "identification": {"deviceName": "E2E 30"},
  "configuration": {"fuelType": "pme"},
  "faults": [{"code": "0x33", "state": 1, "counter": 2, "stateCode": "0x2E",
              "stateNumber": 3, "temperature": 21, "voltage": 11.02, "time": "1980:12"}],
  )") + kModel + "}";

const std::string kV15Json = R"({
  "identification": {"deviceName": "E2E 15", "deviceNumber": "252113",
    "deviceNumberSuffix": "A", "hardware": "0102", "software": "09150000",
    "datasetNumber": "252126", "datasetSuffix": "A", "datasetDigit": 1,
    "serialNumber": "00010203"},
  "configuration": {"fuelType": "diesel", "heatingLimitMinutes": 60,
                    "ventilationFactor": "1/1"},
  "co2": {"value": 128},
  "model": {"ambientTemperature": 15, "temperature": 15, "supplyVoltage": 12.5, "noise": 0,
            "workingHours": "3105:44", "operatingHours": "2899:10", "startCount": 8812,
            "faultCounterPH": 3, "faultCounterSH": 1, "flameInterruptions": 2},
  "faults": [
    {"code": "0x13", "state": 1, "counter": 2, "stateCode": "0x41", "temperature": 9},
    {"code": "0x05", "state": 3, "counter": 1, "stateCode": "0x15", "temperature": 64}]
})";

INSTANTIATE_TEST_SUITE_P(
    Units, Versions,
    ::testing::Values(VersionCase{"V32",
                                  "v3.2",
                                  kV32Json.c_str(),
                                  {{0, "3.2"},          {1, "E2E 32"},
                                   {2, "F87F38225860"}, {8, "1"},
                                   {13, "1"},           {15, "1"},
                                   {26, "Gasoline"},    {27, "1"},
                                   {28, "255"},         {29, "1/2"},
                                   {30, "12"},          {36, "412:37"},
                                   {37, "386:12"},      {38, "1184"},
                                   {39, "12:40"},       {41, "190:51"},
                                   {46, "0:00"},        {47, "301:10"},
                                   {48, "85:02"},       {49, "902"},
                                   {50, "282"},         {51, "3"},
                                   {57, "2"},           {58, "0"},
                                   {59, "1"},           {60, "25221705C"},
                                   {61, "25221726B2"},  {62, "03/10"},
                                   {63, "21/15 3.12"},  {64, "21/15 3.13"},
                                   {65, "14.06.21"},    {66, "29.06.21"},
                                   {67, "4B56524C"},    {68, "0001F2A7"},
                                   {69, "P15"},         {70, "0001"},
                                   {71, "10,5"},        {72, "16"},
                                   {73, "20"},          {74, "25"},
                                   {75, "2"},           {76, "10"},
                                   {77, "1"},           {78, "0A"},
                                   {79, "3"},           {80, "4"},
                                   {81, "Ignition 2"},  {82, "12,21"},
                                   {83, "398:51"},      {84, "81"},
                                   {85, "3"},           {89, "Combustion process full load"},
                                   {140, "120"},        {141, "100"},
                                   {142, "140"},        {143, "2 fault(s), STFL"},
                                   {144, "80"},         {145, "70"}},
                                  {{31, 12.6}, {33, 0.6}, {156, 0.6}, {153, 22.0}},
                                  {5, 19, 21, 25, 35, 92, 100, 139},
                                  {6, 7, 24, 34, 146, 151, 155}},
                      VersionCase{"V31",
                                  "v3.1",
                                  kV31Json.c_str(),
                                  {{0, "3.1"},
                                   {1, "E2E 31"},
                                   {2, "F03F10224820"},
                                   {26, "Diesel"},
                                   {28, "60"},
                                   {29, "3/4"},
                                   {62, "02/07"},
                                   {63, "19/42 2.08"},
                                   {75, "0"},
                                   {143, "no fault"}},
                                  {{30, 12.0}, {31, 12.6}, {156, 0.6}},
                                  {64, 144, 145, 76, 84},
                                  {146, 156, 7}},
                      VersionCase{"V30ShortForms",
                                  "v3.0",
                                  kV30Json.c_str(),
                                  {{0, "3.0"},
                                   {1, "E2E 30"},
                                   {26, "PME"},
                                   {75, "1"},
                                   {76, "51"},
                                   {81, "Glowing 3"},
                                   {83, "1980:12"},
                                   {143, "1 fault(s)"}},
                                  {{30, 12.0}, {31, 12.6}, {33, 0.6}},
                                  {6, 34, 58, 64, 84, 144, 145, 146, 156},
                                  {5, 35, 57, 59}},
                      VersionCase{"V15",
                                  "v1.5",
                                  kV15Json.c_str(),
                                  {{0, "1.5"},
                                   {1, "E2E 15"},
                                   {26, "Diesel"},
                                   {28, "60"},
                                   {29, "1/1"},
                                   {36, "3105:44"},
                                   {37, "2899:10"},
                                   {38, "8812"},
                                   {57, "3"},
                                   {58, "1"},
                                   {59, "2"},
                                   {60, "252113A"},
                                   {61, "252126A1"},
                                   {62, "01/02"},
                                   {63, "09/15"},
                                   {68, "00010203"},
                                   {75, "2"},
                                   {76, "35"},
                                   {78, "13"},
                                   {81, "Glowing 2"},
                                   {84, "5"},
                                   {140, "128"},
                                   {141, "1"},
                                   {142, "254"},
                                   {143, "2 fault(s), STFL"}},
                                  {{30, 15.0}, {31, 12.5}, {71, 12.5}},
                                  {2, 6, 9, 34, 35, 39, 51, 64, 69, 82, 83, 92, 144, 146, 156},
                                  {3, 4, 5, 17, 32, 33, 77, 80}}),
    [](const auto& parameter) { return std::string(parameter.param.name); });

// --- Faults ------------------------------------------------------------------------------------

TEST(Faults, ThreeFaultsAreAskedForOneByOneAndTheOtherBlocksHidden) {
  Session session(Scenario("v3.2", R"({"faults": [
      {"code": "0x0A", "state": 1}, {"code": "0x51", "state": 3}, {"code": "0x33", "state": 1}]})"));
  ASSERT_TRUE(session.Connect());
  std::vector<std::string> details;
  for (const auto& text : session.recorders.ProtocolTexts(kProtocolSent))
    if (text.compare(0, 16, "Tx: F4 04 56 02 ") == 0) details.push_back(text.substr(16, 2));
  ASSERT_GE(details.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(details.begin(), details.begin() + 3),
            (std::vector<std::string>{"0A", "51", "33"}));
  EXPECT_EQ(details.size() % 3, 0u);  // the chain stops after the last fault
  EXPECT_EQ(Value(75), "3");
  for (std::uint32_t block = 0; block < 8; ++block)
    EXPECT_EQ(Present(76 + 8 * block), block < 3) << "block " << block;
}

class ClearFaults : public ::testing::TestWithParam<const char*> {};

TEST_P(ClearFaults, EmptiesTheFaultMemoryAndTheList) {
  Session session(Scenario(GetParam()));
  ASSERT_TRUE(session.Connect());
  ASSERT_TRUE(WaitUntil([] { return Value(75) != "0" && Value(75) != "255"; }, 10s));
  session.driver.ClearFaults();
  EXPECT_TRUE(WaitUntil([&] { return session.Heater().StoredFaultCount() == 0; }, 10s));
  EXPECT_TRUE(WaitUntil([] { return Value(75) == "0" && !Present(76); }, 10s));
  EXPECT_TRUE(session.recorders.Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Units, ClearFaults, ::testing::Values("v1.5", "v3.2"));

// --- Operating modes ---------------------------------------------------------------------------

TEST(Modes, SwitchedOnModeIsKeptAliveAndSwitchedOff) {
  Session session(Scenario("v3.2"));
  ASSERT_TRUE(session.Connect());
  session.driver.SetOperatingMode(2);  // parking heating
  EXPECT_EQ(session.driver.GetOperatingMode(), 2u);
  ASSERT_TRUE(WaitUntil([&] { return session.Heater().OperatingMode() == 0x21; }, 10s));
  // Every 10 s while the mode runs.
  EXPECT_TRUE(
      WaitUntil([&] { return session.recorders.CountSent("Tx: F4 04 44 21 00") > 0; }, 25s));
  EXPECT_EQ(session.Heater().OperatingMode(), 0x21);
  // The unit's way through its states is logged as state changes with their durations.
  const auto changes = session.recorders.ProtocolTexts(kProtocolStateChange);
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes.front().rfind("AUS -> ", 0), 0u) << changes.front();
  EXPECT_EQ(changes.front().back(), ')');
  session.driver.SetOperatingMode(0);
  EXPECT_TRUE(WaitUntil([&] { return session.Heater().OperatingMode() == 0; }, 10s));
  EXPECT_TRUE(WaitUntil([&] { return session.driver.link.HeatingActive() == 0; }, 10s));
  EXPECT_TRUE(session.recorders.Errors().empty());
}

TEST(Modes, RefusedRequestShowsTheNakAndTheSessionGoesOn) {
  Session session(Scenario("v3.2"));
  ASSERT_TRUE(session.Connect());
  heatsim::FaultRule nak;
  nak.kind = heatsim::FaultKind::kNak;
  nak.command = 0x10;
  nak.value = 0x22;
  session.Heater().InjectFault(nak);
  session.driver.SetOperatingMode(0);
  ASSERT_TRUE(WaitUntil([&] { return !session.recorders.Errors().empty(); }, 10s));
  EXPECT_EQ(session.recorders.Errors(), std::vector<std::string>{"NAK: conditions not correct!"});
  const std::size_t before = session.recorders.CountSent("Tx: F4 03 50 07");
  EXPECT_TRUE(
      WaitUntil([&] { return session.recorders.CountSent("Tx: F4 03 50 07") > before + 2; }, 10s));
  EXPECT_EQ(session.recorders.CountMessages(UM_LINKENDED), 0u);
  EXPECT_EQ(session.driver.IsSessionActive(), 1);
}

// --- Service requests ----------------------------------------------------------------------------

struct ServiceCase {
  const char* name;
  const char* scenario;
  void (*request)(Driver&);
  const char* sent;
};

class ServiceRequests : public ::testing::TestWithParam<ServiceCase> {};

TEST_P(ServiceRequests, GoOutWithTheirParameters) {
  const ServiceCase& c = GetParam();
  Session session(Scenario(c.scenario));
  ASSERT_TRUE(session.Connect());
  c.request(session.driver);
  EXPECT_TRUE(WaitUntil([&] { return session.recorders.CountSent(c.sent) == 1; }, 10s));
  EXPECT_TRUE(session.recorders.Errors().empty());
  EXPECT_EQ(session.driver.IsSessionActive(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ServiceRequests,
    ::testing::Values(
        ServiceCase{"SupplyVoltage", "v3.2", [](Driver& d) { d.SetSupplyVoltage(12500); },
                    "Tx: F4 06 42 01 00 30 D4"},
        ServiceCase{"SupplyVoltageOld", "v1.5", [](Driver& d) { d.SetSupplyVoltage(12500); },
                    "Tx: F4 05 42 01 00 B7"},
        ServiceCase{"GlowPlug", "v3.2", [](Driver& d) { d.SetGlowPlugResistance(600); },
                    "Tx: F4 06 42 02 00 02 58"},
        ServiceCase{"FuelPrime", "v3.2", [](Driver& d) { d.StartFuelPrime(158); },
                    "Tx: F4 05 42 03 00 4F"},
        ServiceCase{"Component", "v3.2", [](Driver& d) { d.StartComponent(1, 50, 10); },
                    "Tx: F4 06 45 01 0A 00 32"},
        ServiceCase{"ComponentOld", "v1.5", [](Driver& d) { d.StartComponent(2, 0, 0); },
                    "Tx: F4 03 60 04"},
        ServiceCase{"AllOff", "v3.2", [](Driver& d) { d.StopComponentTest(); },
                    "Tx: F4 06 45 00 00 00 00"},
        ServiceCase{"Boost", "v3.2", [](Driver& d) { d.SetOperatingMode(5); }, "Tx: F4 02 25"}),
    [](const auto& parameter) { return std::string(parameter.param.name); });

TEST(Co2, RangeIsReadAndTheValueWritten) {
  Session session(Scenario("v3.2", R"({"co2": {"value": 120, "min": 100, "max": 140}})"));
  ASSERT_TRUE(session.Connect());
  std::uint8_t lowest = 0, highest = 0, current = 0;
  session.driver.GetCo2Range(&lowest, &highest, &current);
  EXPECT_EQ(lowest, 100);
  EXPECT_EQ(highest, 140);
  EXPECT_EQ(current, 120);
  // The normal trim needs combustion at full load: refused, without a message.
  ASSERT_EQ(session.driver.StartCo2Adjustment(), 1);
  EXPECT_EQ(session.driver.SetCo2Value(110), 0);
  ASSERT_EQ(session.driver.StartCo2AdjustmentCold(), 1);
  EXPECT_EQ(session.driver.SetCo2Value(110), 1);
  session.driver.GetCo2Range(&lowest, &highest, &current);
  EXPECT_EQ(current, 110);
  EXPECT_EQ(session.driver.EndCo2Adjustment(), 0);
  EXPECT_TRUE(
      WaitUntil([&] { return session.recorders.CountSent("Tx: F4 04 57 02 00") == 1; }, 10s));
  EXPECT_TRUE(session.recorders.Errors().empty());
}

TEST(Co2, UnitWithoutTheCapabilityRefusesTheAdjustment) {
  Session session(Scenario("v3.2", R"({"capabilities": "F8 7F 38 20"})"));
  ASSERT_TRUE(session.Connect());
  EXPECT_EQ(session.driver.StartCo2Adjustment(), 0);
  EXPECT_EQ(session.driver.StartCo2AdjustmentCold(), 0);
  std::uint8_t lowest = 1, highest = 1, current = 1;
  session.driver.GetCo2Range(&lowest, &highest, &current);  // nothing to ask: released at once
  EXPECT_EQ(lowest | highest | current, 0);
}

// --- Debug mode ----------------------------------------------------------------------------------

TEST(Debug, ModeIsStartedFollowedAndLeft) {
  Session session(Scenario("v3.2"));
  ASSERT_TRUE(session.Connect());
  DebugState debug;
  debug.action = 1;  // halt
  ASSERT_EQ(session.driver.StartDebugMode(&debug), 1);
  EXPECT_TRUE(WaitUntil(
      [&] { return debug.mode.load() == 1 && debug.currentState.load() != kDebugNone; }, 10s));
  EXPECT_EQ(session.driver.PollDebugMode(&debug), 1);
  debug.action = 2;  // run
  EXPECT_TRUE(WaitUntil([&] { return debug.mode.load() == 2; }, 10s));
  session.driver.EndDebugMode(&debug);
  EXPECT_TRUE(WaitUntil([&] { return session.driver.PollDebugMode(&debug) == 0; }, 10s));
  EXPECT_EQ(debug.mode.load(), 0);
  EXPECT_TRUE(session.recorders.Errors().empty());
}

// --- Losing the link -------------------------------------------------------------------------

heatsim::FaultRule PowerOff(int after = 0) {
  heatsim::FaultRule rule;
  rule.kind = heatsim::FaultKind::kPowerOff;
  rule.after = after;
  return rule;
}

TEST(LinkLoss, UnpoweredHeaterGetsThreeWakeUpsThenTheMessage) {
  auto options = Scenario("v3.2");
  options.faults.push_back(PowerOff());
  Session session(options);
  session.ShortenReplyWaits();
  ASSERT_EQ(session.driver.StartSession(), 1);
  ASSERT_TRUE(session.recorders.WaitForMessage(UM_LINKENDED, kConnectionLimit));
  EXPECT_EQ(session.recorders.Errors(), std::vector<std::string>{kNoCommunication});
  EXPECT_EQ(session.recorders.ProtocolTexts(kProtocolMessage),
            (std::vector<std::string>{"Wakeup...", "Wakeup...", "Wakeup..."}));
  // Each attempt asks for the version five times.
  EXPECT_EQ(session.recorders.CountSent("Tx: F4 03 51 0A AC"), 15u);
  EXPECT_EQ(session.recorders.CountMessages(UM_DATAREADY), 0u);
}

TEST(LinkLoss, LostAfterTheUnitAnsweredEndsTheSessionWithoutRetry) {
  Session session(Scenario("v3.2"));
  session.ShortenReplyWaits();
  ASSERT_TRUE(session.Connect());
  session.Heater().InjectFault(PowerOff());
  ASSERT_TRUE(session.recorders.WaitForMessage(UM_LINKENDED, 30s));
  EXPECT_TRUE(session.recorders.Errors().empty());
  EXPECT_EQ(session.recorders.ProtocolTexts(kProtocolMessage).size(), 1u);  // one wake-up
}

TEST(LinkLoss, AdapterPulledDuringTheSessionEndsItWithTheMessage) {
  Session session(Scenario("v3.2"));
  ASSERT_TRUE(session.Connect());
  heatsim::FaultRule unplug;
  unplug.kind = heatsim::FaultKind::kUnplug;
  session.Heater().InjectFault(unplug);
  ASSERT_TRUE(session.recorders.WaitForMessage(UM_LINKENDED, 30s));
  const std::vector<std::string> errors = session.recorders.ProtocolTexts(kProtocolError);
  EXPECT_NE(std::find(errors.begin(), errors.end(), "Diagnosis adapter is not connected!"),
            errors.end());
  // The port of the gone adapter closes without waiting for it.
  session.driver.StopSession();
  EXPECT_EQ(session.driver.IsSessionActive(), 0);
}

TEST(LinkLoss, WaitingRequestIsReleasedWithAnError) {
  Session session(Scenario("v3.2"));
  session.ShortenReplyWaits();
  ASSERT_TRUE(session.Connect());
  session.Heater().InjectFault(PowerOff());
  EXPECT_EQ(session.driver.SetCo2Value(110), 0);
}

// --- Device search probe -----------------------------------------------------------------------

TEST(Probe, UnitThatAnswersIsIdentified) {
  Session session(Scenario("v3.1"));
  EXPECT_EQ(session.driver.ProbeDevice(), 1);
  EXPECT_EQ(session.driver.IsSessionActive(), 0);
  EXPECT_TRUE(session.recorders.Errors().empty());
}

TEST(Probe, SilentUnitFailsWithoutAWord) {
  auto options = Scenario("v3.2");
  options.faults.push_back(PowerOff());
  Session session(options);
  session.ShortenReplyWaits();
  EXPECT_EQ(session.driver.ProbeDevice(), 0);
  EXPECT_TRUE(session.recorders.Errors().empty());
  EXPECT_EQ(session.recorders.CountMessages(UM_LINKENDED), 0u);
  // Two attempts per request in a probe, three wake-ups.
  EXPECT_EQ(session.recorders.CountSent("Tx: F4 03 51 0A AC"), 6u);
  EXPECT_EQ(session.driver.IsSessionActive(), 0);
}

TEST(Probe, UnitOfAnotherVersionRangeIsNotIdentified) {
  Session session(Scenario("v3.2", R"({"version": "4.0"})"));
  EXPECT_EQ(session.driver.ProbeDevice(), 0);
  EXPECT_TRUE(session.recorders.Errors().empty());
}

// --- EEPROM dataset ------------------------------------------------------------------------------

struct DatasetCase {
  const char* name;
  const char* scenario;
  const char* json;
  bool block;
  std::uint16_t first;
  std::uint16_t end;
};

class Dataset : public ::testing::TestWithParam<DatasetCase> {
 protected:
  // A request over image cells first..end with the mark set on each.
  static DatasetRequest Mark(DatasetImage& image, std::uint16_t first, std::uint16_t end,
                             std::uint8_t mark) {
    for (std::uint32_t a = first; a < end; ++a) image.cells[a].flags |= mark;
    DatasetRequest request;
    request.first = first;
    request.end = end;
    request.cells = image.cells.data();
    return request;
  }
};

TEST_P(Dataset, CellsAreReadAndWritten) {
  const DatasetCase& c = GetParam();
  Session session(Scenario(c.scenario, c.json));
  ProgramSettings().hbusBlock = c.block ? 1 : 0;
  ProgramSettings().hbusBlockBaud = 9600;
  ASSERT_TRUE(session.Connect());
  DatasetImage image;
  ASSERT_EQ(session.driver.GetDatasetLayout(&image), 1);
  if (image.cells.empty()) image.cells.resize(session.Heater().Eeprom().size());
  ASSERT_LE(c.end, image.cells.size());

  DatasetRequest read = Mark(image, c.first, c.end, CELL_READ);
  std::atomic<std::uint32_t> progress{0};
  read.currentAddress = &progress;
  ASSERT_EQ(session.driver.ReadDataset(&read), 1);
  const auto eeprom = session.Heater().Eeprom();
  for (std::uint32_t a = c.first; a < c.end; ++a) {
    EXPECT_EQ(image.cells[a].value, eeprom[a]) << "cell " << a;
    EXPECT_EQ(image.cells[a].alt, eeprom[a]) << "cell " << a;
    EXPECT_EQ(image.cells[a].flags, CELL_VALID) << "cell " << a;
  }
  EXPECT_EQ(progress.load(), c.end - 1u);

  for (std::uint32_t a = c.first; a < c.end; a += 3)
    image.cells[a].value = static_cast<std::uint8_t>(image.cells[a].value ^ 0xA5);
  DatasetRequest write = Mark(image, c.first, c.end, CELL_WRITE | CELL_CHANGED);
  ASSERT_EQ(session.driver.WriteDataset(&write), 1);
  const auto written = session.Heater().Eeprom();
  for (std::uint32_t a = c.first; a < c.end; ++a) {
    EXPECT_EQ(written[a], image.cells[a].value) << "cell " << a;
    EXPECT_EQ(image.cells[a].flags & (CELL_WRITE | CELL_CHANGED), 0) << "cell " << a;
  }
  EXPECT_TRUE(session.recorders.Errors().empty());
  // Polling goes on after the transfer.
  const std::size_t before = session.recorders.CountSent("Tx: F4 03 50 07");
  EXPECT_TRUE(
      WaitUntil([&] { return session.recorders.CountSent("Tx: F4 03 50 07") > before; }, 10s));
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, Dataset,
    ::testing::Values(DatasetCase{"CellByCell32", "v3.2", "", false, 0x20, 0x2C},
                      DatasetCase{"CellByCell15", "v1.5", "", false, 0x01, 0x09},
                      DatasetCase{"Block32AcrossPages", "v3.2", "", true, 0xF8, 0x108},
                      DatasetCase{"Block30", "v3.0", "", true, 0x10, 0x30},
                      DatasetCase{"Block15", "v1.5", "", true, 0x01, 0x21}),
    [](const auto& parameter) { return std::string(parameter.param.name); });

TEST(DatasetCells, SingleCellIsWrittenAndReadBack) {
  Session session(Scenario("v3.2"));
  ASSERT_TRUE(session.Connect());
  ASSERT_EQ(session.driver.WriteDatasetCell(0x40, 0x5A), 1);
  EXPECT_EQ(session.Heater().Eeprom()[0x40], 0x5A);
  std::uint8_t value = 0;
  ASSERT_EQ(session.driver.ReadDatasetCell(0x40, &value), 1);
  EXPECT_EQ(value, 0x5A);
}

// A cell that keeps its old value ends the block write with the unit's answer shown, and the
// cells after it are left marked for writing.
TEST(DatasetCells, BlockWriteStopsAtACellTheUnitDidNotTake) {
  Session session(Scenario("v3.2", R"({"eeprom": {"stuck": [20]}})"));
  ProgramSettings().hbusBlock = 1;
  ProgramSettings().hbusBlockBaud = 9600;
  ASSERT_TRUE(session.Connect());
  DatasetImage image;
  image.cells.resize(session.Heater().Eeprom().size());
  const auto before = session.Heater().Eeprom();
  for (std::uint32_t a = 0x10; a < 0x18; ++a) {
    image.cells[a].value = static_cast<std::uint8_t>(before[a] ^ 0xFF);
    image.cells[a].flags = CELL_WRITE | CELL_CHANGED;
  }
  DatasetRequest request{0x10, 0x18, image.cells.data(), nullptr};
  EXPECT_EQ(session.driver.WriteDataset(&request), 0);
  EXPECT_EQ(session.recorders.Errors(), std::vector<std::string>{"Write to EEPROM failed!"});
  const auto after = session.Heater().Eeprom();
  for (std::uint32_t a = 0x10; a < 0x14; ++a) EXPECT_EQ(after[a], image.cells[a].value);
  EXPECT_EQ(after[0x14], before[0x14]);
  EXPECT_NE(image.cells[0x15].flags & CELL_WRITE, 0);
}

// The walk cannot go on at page 1: a failure with its reason, and the end frame has gone out
// before the operation returns.
TEST(DatasetCells, PageChangeOnAUnitBefore32IsAFailure) {
  Session session(Scenario("v3.1", R"({"eeprom": {"size": 512}})"));
  ProgramSettings().hbusBlock = 1;
  ProgramSettings().hbusBlockBaud = 9600;
  ASSERT_TRUE(session.Connect());
  DatasetImage image;
  image.cells.resize(512);
  for (std::uint32_t a = 0xFC; a < 0x104; ++a) image.cells[a].flags = CELL_READ;
  DatasetRequest request{0xFC, 0x104, image.cells.data(), nullptr};
  EXPECT_EQ(session.driver.ReadDataset(&request), 0);
  // Four reads and the end frame at least (a frame sent again after a slow answer adds one).
  EXPECT_GE(session.Heater().Counters().blockFramesReceived, 5u);
  EXPECT_EQ(session.recorders.Errors(),
            std::vector<std::string>{
                "The control unit cannot select EEPROM page 1!\nThe transfer was stopped."});
  const auto eeprom = session.Heater().Eeprom();
  for (std::uint32_t a = 0xFC; a < 0x100; ++a) EXPECT_EQ(image.cells[a].value, eeprom[a]);
  EXPECT_NE(image.cells[0x100].flags & CELL_READ, 0);  // not reached
  EXPECT_EQ(session.driver.IsSessionActive(), 1);
}

TEST(DatasetCells, LayoutComesFromTheUnit) {
  Session session(Scenario("v3.2", R"({"eeprom": {"size": 1024, "start": "0x020",
      "checksumEnd": "0x3FE", "checksumAddress": "0x3FF"}})"));
  ASSERT_TRUE(session.Connect());
  DatasetImage image;
  ASSERT_EQ(session.driver.GetDatasetLayout(&image), 1);
  EXPECT_EQ(image.start, 0x20);
  EXPECT_EQ(image.size, 1024);
  EXPECT_EQ(image.cells.size(), 1024u);
  ASSERT_EQ(image.areaCount, 1);
  EXPECT_EQ(image.areas[0].first, 0x20);
  EXPECT_EQ(image.areas[0].last, 0x3FE);
  EXPECT_EQ(image.areas[0].checksumAddress, 0x3FF);
  EXPECT_EQ(image.areas[0].type, SUM8);
  DatasetImage wrongTag;
  wrongTag.tag = 7;
  EXPECT_EQ(session.driver.GetDatasetLayout(&wrongTag), 0);
}

// --- Free telegram ----------------------------------------------------------------------------

TEST(FreeTelegram, IsSentWithItsAddressesAndAnswered) {
  Session session(Scenario("v3.2"));
  ASSERT_TRUE(session.Connect());
  FreeTelegram telegram;
  telegram.deviceAddress = 0x4;
  telegram.sourceAddress = 0xF;
  telegram.length = 2;
  telegram.data[0] = 0x51;
  telegram.data[1] = 0x0A;
  telegram.viewAnswer = 1;
  session.recorders.Clear();
  ASSERT_EQ(session.driver.SendFreeTelegram(&telegram), 1);
  EXPECT_TRUE(WaitUntil([&] { return session.recorders.CountMessages(UM_PROTOCOLSTOP) > 0; }, 10s));
  EXPECT_EQ(session.recorders.CountMessages(UM_PROTOCOLSTART), 1u);
  EXPECT_GE(session.recorders.CountSent("Tx: F4 03 51 0A AC"), 1u);
  EXPECT_EQ(session.driver.IsSessionActive(), 1);

  telegram.length = 254;  // does not fit the transmit buffer
  EXPECT_EQ(session.driver.SendFreeTelegram(&telegram), 0);
}

}  // namespace
}  // namespace heatdiag::hbus
