#include "drivers/device_search.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/string_table.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"
#include "link/serial_port.h"
#include "search/fake_drivers.h"

namespace heatdiag {
namespace {

using std::chrono::milliseconds;
using testing::Call;
using testing::FakeDrivers;
using testing::FakeTable;
using testing::RecordingProtocol;
using testing::RecordingSearchWindow;

void ExpectNoSearchLeft() {
  WaitForSearchEnd();
  EXPECT_FALSE(IsSearchRunning());
}

std::vector<std::string> Repeat(const char* what, std::size_t n) {
  return std::vector<std::string>(n, what);
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(SearchOrder, RealTableByDeviceCode) {
  // D15 D12 D16 D00 D02 D03 D06 D04 D07 D05 D13 D09 D08 D10 D11 D14 D01 D18; D17 never.
  const std::vector<std::uint32_t> expected = {15, 12, 16, 0, 2,  3,  6,  4, 7,
                                               5,  13, 9,  8, 10, 11, 14, 1, 18};
  EXPECT_EQ(SearchOrder(), expected);
}

TEST(SearchOrder, EqualCodesInTableOrderAndZeroNeverProbed) {
  std::array<std::uint32_t, kDeviceCount> codes{};
  for (std::uint32_t i = 0; i < kDeviceCount; ++i) codes[i] = 100 + i;
  codes[0] = 0;
  codes[7] = 0;
  codes[9] = 5;
  codes[3] = 5;
  codes[18] = 1;
  FakeTable table(codes);
  const std::vector<std::uint32_t> expected = {18, 3,  9,  1,  2,  4,  5,  6, 8,
                                               10, 11, 12, 13, 14, 15, 16, 17};
  EXPECT_EQ(SearchOrder(), expected);
}

// With the drivers of this build: every record that is not built fails its probe at once and
// without a word, the search tries all 18 and ends by itself.
TEST(AutomaticSearch, RealTableWithoutUnitsEndsQuietly) {
  RecordingProtocol protocol;
  RecordingSearchWindow window;
  // The H-Bus probe finds no adapter on its port either.
  ProgramSettings().comPort = 1;
  SetPortPath(1, "/nonexistent/heatdiag-no-adapter");
  SelectDevice(4);
  ASSERT_TRUE(StartAutomaticSearch(window, milliseconds(1)));
  ExpectNoSearchLeft();

  const std::vector<std::uint32_t> order = SearchOrder();
  EXPECT_EQ(window.Log(), Concat({{"open"}, Repeat("unit", 18), {"refresh", "close"}}));
  const auto units = window.Units();
  ASSERT_EQ(units.size(), 18u);
  for (std::size_t i = 0; i < units.size(); ++i) {
    EXPECT_EQ(units[i].first, DeviceName(order[i]));
    EXPECT_EQ(units[i].second, 17 - i);
    EXPECT_NE(units[i].first, DeviceName(17));
  }
  const auto entries = protocol.Entries();
  ASSERT_EQ(entries.size(), 18u);
  for (std::size_t i = 0; i < entries.size(); ++i)
    EXPECT_EQ(entries[i], std::make_pair(int{kProtocolMessage}, DeviceName(order[i])));
  EXPECT_EQ(SelectedDevice(), 4u);
  EXPECT_EQ(CurrentDevice(), kNoDevice);
  SelectDevice(kNoDevice);
  SetPortPath(1, "");
  ProgramSettings() = Settings{};
}

struct IdentifyCase {
  const char* name;
  std::optional<std::uint32_t> identifies;
  std::vector<std::uint32_t> probed;
};

class SearchIdentifies : public ::testing::TestWithParam<IdentifyCase> {
 protected:
  void TearDown() override {
    StopAutomaticSearch();
    FinishDiagnosis();
    SelectDevice(kNoDevice);
    ProgramSettings() = Settings{};
  }
  // Codes 1, 2, 2, 3 for D04, D02, D06, D01; the rest 0.
  static std::array<std::uint32_t, kDeviceCount> Codes() {
    std::array<std::uint32_t, kDeviceCount> codes{};
    codes[4] = 1;
    codes[2] = 2;
    codes[6] = 2;
    codes[1] = 3;
    return codes;
  }
  FakeTable table_{Codes()};
};

TEST_P(SearchIdentifies, StopsAtTheFirstIdentificationAndStartsTheDiagnosis) {
  const IdentifyCase& c = GetParam();
  RecordingProtocol protocol;
  RecordingSearchWindow window;
  SelectDevice(0);
  if (c.identifies) FakeDrivers::Get().Identifies(*c.identifies);
  FakeDrivers::Get().Identifies(1);  // a later record that also answers is never reached
  ASSERT_TRUE(StartAutomaticSearch(window, milliseconds(0)));
  ExpectNoSearchLeft();

  EXPECT_EQ(FakeDrivers::Get().Probed(), c.probed);
  const std::uint32_t found = c.identifies.value_or(1);
  std::vector<Call> sessions;
  for (const Call& call : FakeDrivers::Get().Calls())
    if (call.what != "probe") sessions.push_back(call);
  EXPECT_EQ(sessions, (std::vector<Call>{{"start", found}}));
  EXPECT_EQ(SelectedDevice(), found);
  EXPECT_EQ(CurrentDevice(), found);
  EXPECT_EQ(ProgramSettings().lastDevice, static_cast<std::int32_t>(found));
  EXPECT_EQ(window.Log(),
            Concat({{"open"}, Repeat("unit", c.probed.size()), {"refresh", "title", "close"}}));
  // 15 records have code 0: the first probed unit leaves 19 - 16 = 3 to go.
  EXPECT_EQ(window.Units().front().second, 3u);

  std::vector<std::pair<int, std::string>> expected;
  for (std::uint32_t index : c.probed) expected.emplace_back(kProtocolMessage, DeviceName(index));
  expected.emplace_back(kProtocolMessage, LoadString(kTextDiagnosisStarted));
  expected.emplace_back(kProtocolMessage, DeviceName(found));
  EXPECT_EQ(protocol.Entries(), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SearchIdentifies,
                         ::testing::Values(IdentifyCase{"First", 4, {4}},
                                           IdentifyCase{"EqualCodeFirstInTable", 2, {4, 2}},
                                           IdentifyCase{"EqualCodeSecondInTable", 6, {4, 2, 6}},
                                           IdentifyCase{"Last", std::nullopt, {4, 2, 6, 1}}),
                         [](const auto& param) { return std::string(param.param.name); });

struct CancelCase {
  const char* name;
  bool heldProbeIdentifies;
};

class SearchCancel : public ::testing::TestWithParam<CancelCase> {
 protected:
  void TearDown() override {
    FakeDrivers::Get().Release();
    StopAutomaticSearch();
    FinishDiagnosis();
    SelectDevice(kNoDevice);
    ProgramSettings() = Settings{};
  }
  static std::array<std::uint32_t, kDeviceCount> Codes() {
    std::array<std::uint32_t, kDeviceCount> codes{};
    for (std::uint32_t i = 0; i < kDeviceCount; ++i) codes[i] = i + 1;
    return codes;
  }
  FakeTable table_{Codes()};
};

// The user closes the search window (or stops the diagnosis) while a probe runs: the search
// ends after that probe, and a unit identified by it still gets its diagnosis.
TEST_P(SearchCancel, CancelDuringAProbeEndsTheSearchAfterIt) {
  const CancelCase& c = GetParam();
  RecordingSearchWindow window;
  FakeDrivers::Get().HoldProbe(2);
  if (c.heldProbeIdentifies) FakeDrivers::Get().Identifies(2);
  ASSERT_TRUE(StartAutomaticSearch(window, milliseconds(0)));
  ASSERT_TRUE(FakeDrivers::Get().WaitUntilHeldProbeRuns());
  EXPECT_TRUE(IsSearchRunning());
  RecordingSearchWindow other;
  EXPECT_FALSE(StartAutomaticSearch(other, milliseconds(0)));  // one search at a time
  CancelSearch();
  FakeDrivers::Get().Release();
  ExpectNoSearchLeft();

  EXPECT_EQ(FakeDrivers::Get().Probed(), (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_TRUE(other.Log().empty());
  if (c.heldProbeIdentifies) {
    EXPECT_EQ(CurrentDevice(), 2u);
    EXPECT_EQ(window.Log(), Concat({{"open"}, Repeat("unit", 3), {"refresh", "title", "close"}}));
  } else {
    EXPECT_EQ(CurrentDevice(), kNoDevice);
    EXPECT_EQ(window.Log(), Concat({{"open"}, Repeat("unit", 3), {"close"}}));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SearchCancel,
                         ::testing::Values(CancelCase{"NothingFound", false},
                                           CancelCase{"UnitFound", true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SearchCancel, CancelDuringThePauseEndsItAtOnce) {
  RecordingSearchWindow window;
  FakeDrivers::Get().HoldProbe(0);
  ASSERT_TRUE(StartAutomaticSearch(window, std::chrono::minutes(10)));
  ASSERT_TRUE(FakeDrivers::Get().WaitUntilHeldProbeRuns());
  FakeDrivers::Get().Release();
  StopAutomaticSearch();  // returns only when the thread has ended
  EXPECT_FALSE(IsSearchRunning());
  EXPECT_EQ(FakeDrivers::Get().Probed(), (std::vector<std::uint32_t>{0}));
}

TEST_F(SearchCancel, EarlierCancelDoesNotStopTheNextSearch) {
  CancelSearch();  // nothing runs: no effect
  RecordingSearchWindow first;
  FakeDrivers::Get().Identifies(5);
  ASSERT_TRUE(StartAutomaticSearch(first, milliseconds(0)));
  ExpectNoSearchLeft();
  EXPECT_EQ(CurrentDevice(), 5u);
  FinishDiagnosis();

  // A second search after the first ended by itself.
  FakeDrivers::Get().Reset();
  FakeDrivers::Get().Identifies(3);
  RecordingSearchWindow second;
  ASSERT_TRUE(StartAutomaticSearch(second, milliseconds(0)));
  ExpectNoSearchLeft();
  EXPECT_EQ(FakeDrivers::Get().Probed(), (std::vector<std::uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(CurrentDevice(), 3u);
}

TEST(PrintingSearchWindow, WritesBothLines) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  PrintingSearchWindow window(out);
  window.Open();
  window.ShowUnit("H-Bus", 15);
  window.Close();
  std::rewind(out);
  char buffer[256] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
  std::fclose(out);
  EXPECT_EQ(std::string(buffer, n),
            "Automatic control unit search\nactual control unit: H-Bus\nremaining units: 15\n");
}

TEST(DeviceSelection, DialogResults) {
  using B = SelectionButton;
  struct Case {
    B button;
    int list;
    int result;
  };
  const Case cases[] = {
      {B::kOk, 0, 0},
      {B::kOk, 18, 18},
      {B::kOk, -1, kSelectionAutomaticSearch},  // nothing selected starts the search
      {B::kListDoubleClick, 7, 7},
      {B::kCancel, 7, kSelectionNoChange},
      {B::kCancel, -1, kSelectionNoChange},
      {B::kAutomaticSearch, 7, kSelectionAutomaticSearch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(DeviceSelectionResult(c.button, c.list), c.result);
  }
}

TEST(DeviceSelection, WhatTheFrameDoesWithTheResult) {
  struct Case {
    int result;
    std::uint32_t selected;
    bool active;
    DeviceSelectionPlan plan;
  };
  const Case cases[] = {
      // Cancel keeps the device, the running diagnosis and the dataset in temporary storage.
      {kSelectionNoChange, 3, true, {}},
      {kSelectionNoChange, 3, false, {}},
      // The same device while its diagnosis runs: nothing happens.
      {3, 3, true, {}},
      // The same device without a diagnosis: start it.
      {3, 3, false, {true, false, false, 3}},
      {5, 3, true, {true, true, false, 5}},
      {5, kNoDevice, false, {true, false, false, 5}},
      {kSelectionAutomaticSearch, 3, true, {true, true, true, std::nullopt}},
      {kSelectionAutomaticSearch, 3, false, {true, false, true, std::nullopt}},
      {-7, 3, true, {}},
      {400, 3, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    const DeviceSelectionPlan plan = PlanDeviceSelection(c.result, c.selected, c.active);
    EXPECT_EQ(plan.emptyTemporaryStorage, c.plan.emptyTemporaryStorage);
    EXPECT_EQ(plan.finishDiagnosis, c.plan.finishDiagnosis);
    EXPECT_EQ(plan.startSearch, c.plan.startSearch);
    EXPECT_EQ(plan.select, c.plan.select);
  }
}

}  // namespace
}  // namespace heatdiag
