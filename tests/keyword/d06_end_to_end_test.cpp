// D06 with its threads on the virtual heater's line: a whole diagnosis session, the refused and
// the accepted keys, a unit that stays silent behind the adapter, and the device search probe.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/messages.h"
#include "base/settings.h"
#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/diag_store.h"
#include "drivers/keyword/d06_driver.h"
#include "drivers/keyword/d06_rows.h"
#include "keyword/frames.h"
#include "shell/program_settings.h"
#include "virtual_heater.h"

namespace heatdiag::d06 {
namespace {

using namespace std::chrono_literals;
using heatdiag::testing::Recorders;
namespace r = rows;

constexpr auto kLimit = 60s;
constexpr std::uint32_t kShortReplyWaitMs = 200;
constexpr const char* kNoCommunication =
    "Communication to device couldn't be established!\nPlease check power supply, wiring and "
    "device selection\nor try to use automatic device selection.";

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::size_t CountSent(const Recorders& recorders, const std::string& prefix) {
  std::size_t count = 0;
  for (const std::string& text : recorders.ProtocolTexts(kProtocolSent))
    if (text.rfind(prefix, 0) == 0) ++count;
  return count;
}

// A virtual heater on a pseudo-terminal, the store and one D06 driver with its threads.
class Line {
 public:
  explicit Line(const std::string& scenario) {
    StoreStartup();
    MemorySettingsBackend settings;
    LoadSettings(settings);
    heatsim::VirtualHeaterOptions options;
    options.scenario = scenario;
    std::string error;
    heater_ = heatsim::VirtualHeater::Start(options, &error);
    if (!heater_) ADD_FAILURE() << "virtual heater: " << error;
    recorders.SubscribeToStore();
    if (heater_) driver.SetPort(1, heater_->PtyPath());
    driver.Init();
  }
  // Starts the session and waits for the connection pass.
  bool Connect() {
    return heater_ && driver.StartSession() == 1 && recorders.WaitForMessage(UM_DATAREADY, kLimit);
  }
  heatsim::VirtualHeater& Heater() { return *heater_; }

  ~Line() {
    driver.StopSession();
    driver.Shutdown();
    if (heater_) heater_->Stop();
    StoreShutdown();
  }
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  // The count of attempts is what these tests look at, not the 500 ms each would take; the wait
  // stays long enough for the echo to be back within it on a busy machine.
  void ShortenReplyWaits() {
    TransportTiming timing = driver.transport.Timing();
    timing.replyWaitMs = kShortReplyWaitMs;
    driver.transport.SetTiming(timing);
  }

  Recorders recorders;
  Driver driver;

 private:
  std::unique_ptr<heatsim::VirtualHeater> heater_;
};

TEST(Session, ConnectionPassFillsTheRows) {
  Line line("d06");
  ASSERT_TRUE(line.Connect());
  EXPECT_TRUE(line.recorders.Errors().empty());
  EXPECT_EQ(StoreReadText(r::kCustomerId), "KVR 06-WH/19/07/21/0012/25222055/01/02/03");
  EXPECT_EQ(StoreReadText(r::kDeviceId), "25222055001");
  EXPECT_EQ(StoreReadText(r::kDatasetId), "25222056002");
  EXPECT_EQ(StoreReadText(r::kHwVersion), "3");
  EXPECT_EQ(StoreReadText(r::kSwVersion), "2.14");
  EXPECT_EQ(StoreReadText(r::kCo2Value), "112");
  EXPECT_EQ(StoreReadText(r::kFuelType), "Diesel");
  EXPECT_EQ(StoreReadText(r::kMainSwitch), "1");
  EXPECT_FALSE(StoreReadText(r::kOperatingState).empty());
  EXPECT_FALSE(StoreGetPresent(r::kWorkingHours));
  // The fault list comes every second; its statuses follow one by one.
  ASSERT_TRUE(
      WaitUntil([] { return StoreReadText(r::FaultRow(1, r::fault::kCode)) == "1820/01"; }, 10s));
  EXPECT_EQ(StoreReadText(r::kFaultCount), "2");
  EXPECT_EQ(StoreReadText(r::FaultRow(0, r::fault::kHeading)), "131");
  EXPECT_EQ(StoreReadText(r::FaultRow(0, r::fault::kCode)), "1801/24");
  EXPECT_EQ(StoreReadText(r::FaultRow(0, r::fault::kCounter)), "3");
  EXPECT_EQ(StoreReadText(r::FaultRow(1, r::fault::kHeading)), "136");
  EXPECT_FALSE(StoreGetPresent(r::FaultRow(2, r::fault::kHeading)));
  EXPECT_EQ(StoreReadText(r::kDeviceState).rfind("2 fault(s)", 0), 0u);
}

TEST(Session, ClearedFaultMemoryEmptiesTheList) {
  Line line("d06");
  ASSERT_TRUE(line.Connect());
  ASSERT_TRUE(WaitUntil([] { return StoreReadText(r::kFaultCount) == "2"; }, 10s));
  line.driver.ClearFaults();
  ASSERT_TRUE(WaitUntil([] { return StoreReadText(r::kFaultCount) == "0"; }, 10s));
  EXPECT_EQ(line.Heater().StoredFaultCount(), 0u);
  EXPECT_FALSE(StoreGetPresent(r::FaultRow(0, r::fault::kHeading)));
  EXPECT_TRUE(line.recorders.Errors().empty());
}

TEST(Session, Co2ValueIsWritten) {
  Line line("d06");
  ASSERT_TRUE(line.Connect());
  EXPECT_EQ(line.driver.SetCo2Value(120), 1);
  EXPECT_EQ(StoreReadText(r::kCo2Value), "120");
}

TEST(Session, UnitThatTakesAnyKeyIsServedToo) {
  Line line("d06-any-key");
  ASSERT_TRUE(line.Connect());
  EXPECT_TRUE(line.recorders.Errors().empty());
  EXPECT_EQ(StoreReadText(r::kDeviceId), "25222055001");
}

TEST(Session, OtherKeyBytesEndTheSessionWithTheMessage) {
  Line line("d06-wrong-key");
  ASSERT_EQ(line.driver.StartSession(), 1);
  ASSERT_TRUE(line.recorders.WaitForMessage(UM_LINKENDED, kLimit));
  EXPECT_EQ(line.recorders.Errors(),
            std::vector<std::string>{"Invalid keyword (wrong device selected)!"});
  // The unit has answered: no further wake-ups.
  EXPECT_EQ(line.recorders.ProtocolTexts(kProtocolMessage).size(), 1u);
  EXPECT_EQ(line.recorders.CountMessages(UM_DATAREADY), 0u);
}

TEST(SilentUnit, ThreeWakeUpsOfFiveAttemptsThenTheMessage) {
  Line line("d06-silent");
  line.ShortenReplyWaits();
  ASSERT_EQ(line.driver.StartSession(), 1);
  ASSERT_TRUE(line.recorders.WaitForMessage(UM_LINKENDED, kLimit));
  EXPECT_EQ(line.recorders.Errors(), std::vector<std::string>{kNoCommunication});
  EXPECT_EQ(line.recorders.ProtocolTexts(kProtocolMessage),
            (std::vector<std::string>{"Wakeup...", "Wakeup...", "Wakeup..."}));
  EXPECT_EQ(CountSent(line.recorders, "Tx: 81 51 F1 81 44"), 15u);
  EXPECT_EQ(line.recorders.CountMessages(UM_DATAREADY), 0u);
}

TEST(Probe, D06UnitIsIdentified) {
  Line line("d06");
  EXPECT_EQ(line.driver.ProbeDevice(), 1);
  EXPECT_EQ(line.driver.IsSessionActive(), 0);
  EXPECT_TRUE(line.recorders.Errors().empty());
}

TEST(Probe, SilentUnitFailsWithoutAWord) {
  Line line("d06-silent");
  line.ShortenReplyWaits();
  EXPECT_EQ(line.driver.ProbeDevice(), 0);
  EXPECT_TRUE(line.recorders.Errors().empty());
  EXPECT_EQ(line.recorders.CountMessages(UM_LINKENDED), 0u);
  // Two attempts per request in a probe, three wake-ups.
  EXPECT_EQ(CountSent(line.recorders, "Tx: 81 51 F1 81 44"), 6u);
  EXPECT_EQ(line.driver.IsSessionActive(), 0);
}

TEST(Probe, HBusUnitIsNotTakenForD06) {
  Line line("v3.2");
  line.ShortenReplyWaits();
  EXPECT_EQ(line.driver.ProbeDevice(), 0);
  EXPECT_TRUE(line.recorders.Errors().empty());
}

}  // namespace
}  // namespace heatdiag::d06
