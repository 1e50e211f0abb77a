#include "drivers/diagnosis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/messages.h"
#include "base/settings.h"
#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_search.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "search/fake_drivers.h"

namespace heatdiag {
namespace {

using testing::Call;
using testing::FakeDrivers;
using testing::FakeTable;
using testing::RecordingProtocol;

constexpr std::array<std::uint32_t, kDeviceCount> kCodes = {
    40, 150, 45, 50, 60, 70, 55, 65, 100, 90, 110, 111, 20, 80, 120, 10, 30, 0, 170};

class DiagnosisTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FinishDiagnosis();
    SelectDevice(kNoDevice);
    ProgramSettings() = Settings{};
  }
  FakeTable table_{kCodes, {11, 17}};
  RecordingProtocol protocol_;
};

TEST_F(DiagnosisTest, StartRecordsTheDeviceAndStartsItsSession) {
  SelectDevice(12);
  FakeDrivers::Get().StartResult(7);
  EXPECT_EQ(StartDiagnosis(), 7);
  EXPECT_EQ(CurrentDevice(), 12u);
  EXPECT_EQ(ProgramSettings().lastDevice, 12);
  EXPECT_EQ(FakeDrivers::Get().Calls(), (std::vector<Call>{{"start", 12}}));
  const auto entries = protocol_.Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], std::make_pair(int{kProtocolMessage}, LoadString(kTextDiagnosisStarted)));
  EXPECT_EQ(entries[1], std::make_pair(int{kProtocolMessage}, DeviceName(12)));
  EXPECT_FALSE(entries[1].second.empty());
}

TEST_F(DiagnosisTest, StartWithoutDeviceDoesNothing) {
  ProgramSettings().lastDevice = 4;
  for (std::uint32_t none : {19u, 20u, 0xFFFFFFFFu}) {
    SelectDevice(none);
    EXPECT_EQ(StartDiagnosis(), 0);
  }
  EXPECT_EQ(CurrentDevice(), kNoDevice);
  EXPECT_EQ(ProgramSettings().lastDevice, 4);
  EXPECT_TRUE(FakeDrivers::Get().Calls().empty());
  EXPECT_TRUE(protocol_.Entries().empty());
}

TEST_F(DiagnosisTest, FinishStopsTheCurrentSessionOnce) {
  SelectDevice(3);
  StartDiagnosis();
  SelectDevice(5);  // the session belongs to the device it was started with
  FinishDiagnosis();
  FinishDiagnosis();
  EXPECT_EQ(CurrentDevice(), kNoDevice);
  EXPECT_EQ(FakeDrivers::Get().Calls(), (std::vector<Call>{{"start", 3}, {"stop", 3}}));
  const auto entries = protocol_.Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2], std::make_pair(int{kProtocolMessage}, LoadString(kTextDiagnosisFinished)));
}

// A session that ended by itself (its link was lost) may have left its rows in the store: the
// views must still hear that the data are gone.
TEST_F(DiagnosisTest, FinishReleasesDataTheSessionLeftBehind) {
  struct Window : MessageTarget {
    std::vector<std::uint32_t> messages;
    void Post(std::uint32_t message, std::intptr_t, std::intptr_t) override {
      messages.push_back(message);
    }
    void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
      Post(message, a, b);
    }
  } window;
  StoreStartup();
  StoreSubscribe(&window, 0, 0);
  SelectDevice(0);
  StartDiagnosis();
  ASSERT_EQ(StoreInit(DriverCatalogue(0)), 1);
  FinishDiagnosis();
  EXPECT_EQ(StoreRowCount(), 0u);
  EXPECT_EQ(window.messages, (std::vector<std::uint32_t>{UM_DATAINIT, UM_DATARELEASED}));
  FinishDiagnosis();  // nothing current: nothing more
  EXPECT_EQ(window.messages.size(), 2u);
  StoreStartup();
}

TEST_F(DiagnosisTest, StartWhileAnotherIsCurrentStopsItFirst) {
  SelectDevice(3);
  StartDiagnosis();
  SelectDevice(0);
  StartDiagnosis();
  EXPECT_EQ(CurrentDevice(), 0u);
  EXPECT_EQ(FakeDrivers::Get().Calls(),
            (std::vector<Call>{{"start", 3}, {"stop", 3}, {"start", 0}}));
}

TEST_F(DiagnosisTest, InitSelectsTheLastDeviceAndInitsInTableOrder) {
  struct Case {
    std::int32_t lastDevice;
    std::uint32_t selected;
  };
  const Case cases[] = {{0, 0},          {5, 5},          {18, 18},
                        {19, kNoDevice}, {-1, kNoDevice}, {1000, kNoDevice}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lastDevice);
    FakeDrivers::Get().Reset();
    ProgramSettings().lastDevice = c.lastDevice;
    InitDrivers();
    EXPECT_EQ(SelectedDevice(), c.selected);
    std::vector<Call> expected;
    for (std::uint32_t i = 0; i < kDeviceCount; ++i)
      if (i != 11 && i != 17) expected.push_back({"init", i});
    EXPECT_EQ(FakeDrivers::Get().Calls(), expected);
  }
}

TEST_F(DiagnosisTest, ShutdownStopsTheSearchThenEveryDriverInTableOrder) {
  testing::RecordingSearchWindow window;
  FakeDrivers::Get().HoldProbe(15);  // D15 is the first one searched
  // After the failed probe the search waits its long pause: only a cancel ends it.
  ASSERT_TRUE(StartAutomaticSearch(window, std::chrono::minutes(10)));
  ASSERT_TRUE(FakeDrivers::Get().WaitUntilHeldProbeRuns());
  FakeDrivers::Get().Release();
  ShutdownDrivers();
  EXPECT_FALSE(IsSearchRunning());
  std::vector<Call> expected = {{"probe", 15}};
  for (std::uint32_t i = 0; i < kDeviceCount; ++i)
    if (i != 11 && i != 17) expected.push_back({"exit", i});
  EXPECT_EQ(FakeDrivers::Get().Calls(), expected);
}

TEST(DeviceNames, RealTableNamesAndNoDevice) {
  EXPECT_EQ(DeviceName(0), "H-Bus");
  for (std::uint32_t i = 0; i < kDeviceCount; ++i) EXPECT_FALSE(DeviceName(i).empty()) << i;
  EXPECT_EQ(DeviceName(kNoDevice), "");
  EXPECT_EQ(DeviceName(0xFFFFFFFFu), "");
  EXPECT_EQ(DeviceName(0, 3), "H-B");
}

}  // namespace
}  // namespace heatdiag
