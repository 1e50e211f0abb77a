#include "shell/gui/command_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace heatdiag {
namespace {

enum Situation { kNoDevice, kIdle, kSessionNoData, kDataValid, kSearching, kSituationCount };
const char* const kSituationNames[] = {"no device", "idle", "session without data", "data valid",
                                       "search running"};

// A driver that offers every function except its own component test.
CommandState StateFor(Situation situation) {
  CommandState s;
  s.deviceSelected = situation != kNoDevice;
  if (s.deviceSelected) {
    s.available.fill(1);
    s.available[kFnOwnComponentTest] = 0;
  }
  s.sessionActive = situation == kSessionNoData || situation == kDataValid;
  s.storeDataValid = situation == kDataValid;
  s.searchRunning = situation == kSearching;
  return s;
}

struct EnableCase {
  std::uint32_t command;
  std::array<bool, kSituationCount> enabled;  // no device, idle, no data, data valid, search
};

class EnableRules : public testing::TestWithParam<EnableCase> {};

TEST_P(EnableRules, FollowTheDiagnosisState) {
  const EnableCase& c = GetParam();
  for (int i = 0; i < kSituationCount; ++i) {
    const auto situation = static_cast<Situation>(i);
    EXPECT_EQ(IsCommandEnabled(c.command, StateFor(situation)), c.enabled[i])
        << "command " << c.command << ", " << kSituationNames[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, EnableRules,
    testing::Values(
        EnableCase{kCmdAbout, {1, 1, 1, 1, 1}}, EnableCase{kCmdParameterList, {1, 1, 1, 1, 1}},
        EnableCase{kCmdOverview, {1, 1, 1, 1, 1}}, EnableCase{kCmdDeviceSelection, {1, 1, 1, 1, 0}},
        EnableCase{kCmdStartDiagnosis, {1, 1, 0, 0, 0}},
        EnableCase{kCmdStopDiagnosis, {0, 0, 1, 1, 1}},
        EnableCase{kCmdClearFaults, {0, 0, 0, 1, 0}}, EnableCase{kCmdComPort, {1, 1, 1, 1, 1}},
        EnableCase{kCmdAutoStart, {1, 1, 1, 1, 1}}, EnableCase{kCmdComponentTest, {0, 0, 0, 1, 0}},
        EnableCase{kCmdBlockMode, {0, 0, 0, 1, 0}}, EnableCase{kCmdBlockBaud, {0, 0, 0, 1, 0}},
        EnableCase{kCmdModeOn, {0, 0, 0, 1, 0}}, EnableCase{kCmdModeParking, {0, 0, 0, 1, 0}},
        EnableCase{kCmdModePump, {0, 0, 0, 1, 0}}, EnableCase{kCmdModeOff, {0, 0, 0, 1, 0}},
        EnableCase{kCmdVoltageAdjustment, {0, 0, 0, 1, 0}},
        EnableCase{kCmdCo2Adjustment, {0, 0, 0, 1, 0}},
        EnableCase{kCmdCo2AdjustmentCold, {0, 0, 0, 1, 0}},
        EnableCase{kCmdFreeTelegram, {0, 0, 0, 1, 0}}, EnableCase{kCmdDebugMode, {0, 0, 0, 1, 0}},
        EnableCase{kCmdLoadHeader, {0, 0, 0, 1, 0}}, EnableCase{kCmdFuelPrime, {0, 0, 0, 1, 0}},
        EnableCase{kCmdPrintSummary, {0, 0, 0, 1, 0}}, EnableCase{kCmdSaveSummary, {0, 0, 0, 1, 0}},
        EnableCase{kCmdOpenSummary, {1, 1, 1, 1, 1}},
        EnableCase{kCmdStartMeasurementLog, {1, 1, 1, 1, 1}},
        EnableCase{kCmdStopMeasurementLog, {0, 0, 0, 0, 0}},
        // Dataset transfers with an idle worker and empty temporary storage.
        EnableCase{kCmdFileIntoDevice, {0, 0, 1, 1, 0}},
        EnableCase{kCmdDeviceIntoStorage, {0, 0, 1, 1, 0}},
        EnableCase{kCmdEolCell, {0, 0, 1, 1, 0}}, EnableCase{kCmdStorageIntoFile, {0, 0, 0, 0, 0}},
        EnableCase{kCmdStorageClear, {0, 0, 0, 0, 0}}, EnableCase{kCmdEolBackup, {0, 1, 1, 1, 1}},
        // No graph channels while the graph has none.
        EnableCase{kCmdGraphChannelFirst, {0, 0, 0, 0, 0}},
        EnableCase{kCmdGraphSplit, {1, 1, 1, 1, 1}},
        EnableCase{kCmdProtocolRecord, {1, 1, 1, 1, 1}}, EnableCase{kCmdCloseAll, {1, 1, 1, 1, 1}},
        EnableCase{kCmdClose, {1, 1, 1, 1, 1}}, EnableCase{kCmdHelp, {1, 1, 1, 1, 1}},
        EnableCase{kCmdHelpMode, {1, 1, 1, 1, 1}}));

// A function the driver lacks greys its command even while the data are valid.
TEST(EnableRules, NeedTheDriverFunction) {
  const struct {
    std::uint32_t command;
    std::uint32_t function;
  } cases[] = {
      {kCmdClearFaults, kFnClearFaults},
      {kCmdModeOn, kFnOn},
      {kCmdModeOff, kFnOff},
      {kCmdModeParking, kFnParkingHeating},
      {kCmdModeSupplemental, kFnSupplementalHeating},
      {kCmdModeVentilating, kFnVentilating},
      {kCmdModeBoost, kFnBoost},
      {kCmdModePump, kFnPumpExternal},
      {kCmdCo2Adjustment, kFnCo2},
      {kCmdCo2AdjustmentCold, kFnCo2Cold},
      {kCmdVoltageAdjustment, kFnVoltageAdjustment},
      {kCmdFlameSensorAdjustment, kFnFlameSensorAdjustment},
      {kCmdBlockMode, kFnBlockMode},
      {kCmdBlockBaud, kFnBlockMode},
      {kCmdFreeTelegram, kFnFreeTelegram},
      {kCmdDebugMode, kFnDebugMode},
      {kCmdLoadHeader, kFnDebugMode},
      {kCmdFuelPrime, kFnFuelPrime},
      {kCmdComponentTest, kFnComponentTest},
      {kCmdFileIntoDevice, kFnDataset},
      {kCmdEolBackup, kFnDataset},
  };
  for (const auto& c : cases) {
    CommandState s = StateFor(kDataValid);
    ASSERT_TRUE(IsCommandEnabled(c.command, s)) << c.command;
    s.available[c.function] = 0;
    EXPECT_FALSE(IsCommandEnabled(c.command, s)) << c.command;
  }
}

TEST(EnableRules, OwnComponentTestNeedsNoSession) {
  CommandState s = StateFor(kIdle);
  s.available[kFnComponentTest] = 0;
  s.available[kFnOwnComponentTest] = 1;
  EXPECT_TRUE(IsCommandEnabled(kCmdComponentTest, s));
  EXPECT_FALSE(IsCommandEnabled(kCmdComponentTest, StateFor(kNoDevice)));
}

TEST(EnableRules, DatasetCommandsFollowTheWorker) {
  const std::uint32_t transfers[] = {
      kCmdFileIntoDevice,    kCmdFileIntoEditor,    kCmdFileIntoStorage, kCmdDeviceIntoFile,
      kCmdDeviceIntoEditor,  kCmdDeviceIntoStorage, kCmdStorageIntoFile, kCmdStorageIntoEditor,
      kCmdStorageIntoDevice, kCmdStorageClear};
  CommandState s = StateFor(kDataValid);
  s.storageFilled = true;
  for (std::uint32_t id : transfers) EXPECT_TRUE(IsCommandEnabled(id, s)) << id;

  s.datasetCommand = kDatasetCellCommand;  // the single-cell dialog is open
  for (std::uint32_t id : transfers) EXPECT_FALSE(IsCommandEnabled(id, s)) << id;
  EXPECT_TRUE(IsCommandEnabled(kCmdEolCell, s));
  EXPECT_TRUE(IsCommandChecked(kCmdEolCell, s));
  EXPECT_TRUE(IsCommandEnabled(kCmdEolBackup, s));

  s.datasetCommand = 4;  // a transfer runs
  for (std::uint32_t id : transfers) EXPECT_FALSE(IsCommandEnabled(id, s)) << id;
  EXPECT_FALSE(IsCommandEnabled(kCmdEolCell, s));
  EXPECT_FALSE(IsCommandChecked(kCmdEolCell, s));
  EXPECT_TRUE(IsCommandEnabled(kCmdEolBackup, s));
}

TEST(EnableRules, GraphChannelsFollowTheGraph) {
  CommandState s;
  s.graphChannelsAvailable = 0b101;
  s.graphChannelsShown = 0b100;
  EXPECT_TRUE(IsCommandEnabled(kCmdGraphChannelFirst, s));
  EXPECT_FALSE(IsCommandEnabled(kCmdGraphChannelFirst + 1, s));
  EXPECT_TRUE(IsCommandEnabled(kCmdGraphChannelFirst + 2, s));
  EXPECT_FALSE(IsCommandChecked(kCmdGraphChannelFirst, s));
  EXPECT_TRUE(IsCommandChecked(kCmdGraphChannelFirst + 2, s));
  EXPECT_FALSE(IsCommandEnabled(kCmdGraphChannelLast, s));
}

TEST(CheckRules, OperatingModeChecksExactlyItsItem) {
  const std::uint32_t modes[] = {kCmdModeOff,          kCmdModeOn,          kCmdModeParking,
                                 kCmdModeSupplemental, kCmdModeVentilating, kCmdModeBoost,
                                 kCmdModePump};
  for (std::uint32_t mode = 0; mode <= 6; ++mode) {
    CommandState s = StateFor(kDataValid);
    s.operatingMode = mode;
    for (std::uint32_t i = 0; i < 7; ++i)
      EXPECT_EQ(IsCommandChecked(modes[i], s), i == mode) << "mode " << mode << " item " << i;
    // Without a session no mode shows as running, not even "off".
    s.sessionActive = false;
    for (std::uint32_t id : modes) EXPECT_FALSE(IsCommandChecked(id, s)) << id;
  }
}

TEST(CheckRules, DiagnosisAndSettings) {
  CommandState s = StateFor(kIdle);
  EXPECT_FALSE(IsCommandChecked(kCmdStartDiagnosis, s));
  EXPECT_TRUE(IsCommandChecked(kCmdStopDiagnosis, s));
  s = StateFor(kSessionNoData);
  EXPECT_TRUE(IsCommandChecked(kCmdStartDiagnosis, s));
  EXPECT_FALSE(IsCommandChecked(kCmdStopDiagnosis, s));
  s = StateFor(kSearching);
  EXPECT_FALSE(IsCommandChecked(kCmdStopDiagnosis, s));

  s = CommandState{};
  s.autoStart = true;
  s.hbusBlock = true;
  s.eolBackup = true;
  s.co2Command = 2;
  EXPECT_TRUE(IsCommandChecked(kCmdAutoStart, s));
  EXPECT_TRUE(IsCommandChecked(kCmdBlockMode, s));
  EXPECT_TRUE(IsCommandChecked(kCmdEolBackup, s));
  EXPECT_FALSE(IsCommandChecked(kCmdCo2Adjustment, s));
  EXPECT_TRUE(IsCommandChecked(kCmdCo2AdjustmentCold, s));
  // "Stop protocol" shows a check while recording is stopped.
  EXPECT_TRUE(IsCommandChecked(kCmdProtocolRecord, s));
  s.protocolRecording = true;
  EXPECT_FALSE(IsCommandChecked(kCmdProtocolRecord, s));
}

TEST(CheckRules, ViewItemsFollowOpenViews) {
  for (int i = 0; i < kViewCount; ++i) {
    const auto kind = static_cast<ViewKind>(i);
    CommandState s;
    s.viewOpen[static_cast<std::size_t>(i)] = true;
    for (int j = 0; j < kViewCount; ++j) {
      const std::uint32_t command = InfoOf(static_cast<ViewKind>(j)).command;
      EXPECT_EQ(IsCommandChecked(command, s), i == j) << "open " << i << " item " << command;
    }
    EXPECT_TRUE(IsCheckableCommand(InfoOf(kind).command));
  }
}

TEST(CheckRules, IdsOutsideTheCheckRangeNeverCheck) {
  CommandState s = StateFor(kDataValid);
  s.autoStart = s.hbusBlock = s.eolBackup = true;
  s.viewOpen.fill(true);
  s.graphChannelsShown = ~0U;
  s.protocolStates = s.protocolTelegrams = s.protocolStore = s.graphSplit = true;
  for (std::uint32_t id :
       {kCmdAbout, kCmdCascade, kCmdTile, kCmdArrangeIcons, kCmdCloseAll, kCmdSaveSummary,
        kCmdOpenSummary, kCmdClose, kCmdHelp, kCmdBlockBaud, kCmdHelpMode, kCmdHelpOnFocus}) {
    EXPECT_FALSE(IsCommandChecked(id, s)) << id;
    EXPECT_FALSE(IsCheckableCommand(id)) << id;
  }
}

}  // namespace
}  // namespace heatdiag
