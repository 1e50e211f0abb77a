// The automatic search of the real device table against the virtual heater on a pseudo-terminal:
// the families before the H-Bus fail their probes quietly, the H-Bus driver identifies the unit,
// and the diagnosis runs until the data are complete.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/settings.h"
#include "drivers/device_search.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"
#include "link/serial_port.h"
#include "search/fake_drivers.h"
#include "shell/program_settings.h"
#include "virtual_heater.h"

namespace heatdiag {
namespace {

using testing::RecordingProtocol;
using testing::RecordingSearchWindow;

constexpr std::uint32_t kHBus = 0;  // D00

bool WaitFor(const auto& condition, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class SearchEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    heater_ = heatsim::VirtualHeater::Start({}, &error);
    ASSERT_NE(heater_, nullptr) << error;
    MemorySettingsBackend fresh;
    LoadSettings(fresh);
    ProgramSettings().comPort = 4;
    ProgramSettings().lastDevice = 9;
    SetPortPath(4, heater_->PtyPath());
    StoreStartup();
    InitDrivers();
  }

  void TearDown() override {
    StopAutomaticSearch();
    FinishDiagnosis();
    ShutdownDrivers();
    StoreShutdown();
    if (heater_) heater_->Stop();
    SetPortPath(4, "");
    SelectDevice(kNoDevice);
    ProgramSettings() = Settings{};
  }

  std::unique_ptr<heatsim::VirtualHeater> heater_;
};

TEST_F(SearchEndToEnd, FindsTheHBusUnitAndStartsItsDiagnosis) {
  RecordingProtocol protocol;
  RecordingSearchWindow window;
  ASSERT_EQ(SelectedDevice(), 9u);
  ASSERT_TRUE(StartAutomaticSearch(window));
  // A probe takes at most about 15 s; the three families before the H-Bus fail at once.
  ASSERT_TRUE(WaitFor([] { return !IsSearchRunning(); }, std::chrono::seconds(60)));
  WaitForSearchEnd();

  // D15, D12 and D16 are tried before the H-Bus, which answers.
  const auto units = window.Units();
  ASSERT_EQ(units.size(), 4u);
  EXPECT_EQ(units[0].first, DeviceName(15));
  EXPECT_EQ(units[3].first, DeviceName(kHBus));
  EXPECT_EQ(units[3].second, 14u);
  const std::vector<std::string> log = window.Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
            (std::vector<std::string>{"refresh", "title", "close"}));
  EXPECT_EQ(SelectedDevice(), kHBus);
  EXPECT_EQ(CurrentDevice(), kHBus);
  EXPECT_EQ(ProgramSettings().lastDevice, 0);
  for (const auto& [kind, text] : protocol.Entries()) EXPECT_NE(kind, kProtocolError) << text;

  // The diagnosis started by the search reads the unit's data.
  EXPECT_TRUE(WaitFor([] { return StoreIsDataValid(); }, std::chrono::seconds(60)));
  EXPECT_NE(DeviceRecord(kHBus)->IsSessionActive(), 0);
  FinishDiagnosis();
  EXPECT_EQ(DeviceRecord(kHBus)->IsSessionActive(), 0);
  EXPECT_EQ(CurrentDevice(), kNoDevice);
}

}  // namespace
}  // namespace heatdiag
