#include "shell/gui/command_rules.h"

namespace heatdiag {
namespace {

bool IsDatasetCommand(std::uint32_t id) {
  return (id >= kCmdFileIntoDevice && id <= kCmdStorageClear) || id == kCmdEolCell;
}

bool DatasetEnabled(std::uint32_t id, const CommandState& s) {
  if (!s.deviceSelected || !s.Available(kFnDataset)) return false;
  if (id == kCmdEolBackup) return true;
  if (s.datasetCommand == kDatasetCellCommand) return id == kCmdEolCell;
  if (s.datasetCommand != 0) return false;
  if (id >= kCmdStorageIntoFile && id <= kCmdStorageClear) return s.storageFilled;
  return s.sessionActive;
}

int ModeOfCommand(std::uint32_t id) {
  if (id == kCmdModeOff) return 0;
  return static_cast<int>(id - kCmdModeOn) + 1;
}

}  // namespace

bool IsCommandEnabled(std::uint32_t id, const CommandState& s) {
  if (id < kCmdDeviceSelection || id > kLastCommand) return true;
  if (IsDatasetCommand(id) || id == kCmdEolBackup) return DatasetEnabled(id, s);
  if (id >= kCmdGraphChannelFirst && id <= kCmdGraphChannelLast)
    return (s.graphChannelsAvailable >> (id - kCmdGraphChannelFirst) & 1U) != 0;

  switch (id) {
    case kCmdDeviceSelection:
      return !s.searchRunning;
    case kCmdStartDiagnosis:
      return !s.searchRunning && !s.sessionActive;
    case kCmdStopDiagnosis:
      return s.searchRunning || s.sessionActive;
    case kCmdClearFaults:
      return s.DataValid() && s.Available(kFnClearFaults);
    case kCmdComponentTest:
      return s.Available(kFnOwnComponentTest) || (s.DataValid() && s.Available(kFnComponentTest));
    case kCmdBlockMode:
    case kCmdBlockBaud:
      return s.DataValid() && s.Available(kFnBlockMode);
    case kCmdModeOn:
      return s.DataValid() && s.Available(kFnOn);
    case kCmdModeParking:
      return s.DataValid() && s.Available(kFnParkingHeating);
    case kCmdModeSupplemental:
      return s.DataValid() && s.Available(kFnSupplementalHeating);
    case kCmdModeVentilating:
      return s.DataValid() && s.Available(kFnVentilating);
    case kCmdModeBoost:
      return s.DataValid() && s.Available(kFnBoost);
    case kCmdModePump:
      return s.DataValid() && s.Available(kFnPumpExternal);
    case kCmdModeOff:
      return s.DataValid() && s.Available(kFnOff);
    case kCmdVoltageAdjustment:
      return s.DataValid() && s.Available(kFnVoltageAdjustment);
    case kCmdFlameSensorAdjustment:
      return s.DataValid() && s.Available(kFnFlameSensorAdjustment);
    case kCmdCo2Adjustment:
      return s.DataValid() && s.Available(kFnCo2);
    case kCmdCo2AdjustmentCold:
      return s.DataValid() && s.Available(kFnCo2Cold);
    case kCmdFreeTelegram:
      return s.DataValid() && s.Available(kFnFreeTelegram);
    case kCmdDebugMode:
    case kCmdLoadHeader:
      return s.DataValid() && s.Available(kFnDebugMode);
    case kCmdStartMeasurementLog:
      return !s.measurementLogRunning;
    case kCmdStopMeasurementLog:
      return s.measurementLogRunning;
    case kCmdFuelPrime:
      return s.DataValid() && s.Available(kFnFuelPrime);
    case kCmdPrintSummary:
    case kCmdSaveSummary:
    case kCmdSaveSummaryPdf:
      return s.DataValid();
    default:
      return true;
  }
}

bool IsCommandChecked(std::uint32_t id, const CommandState& s) {
  if (id < kCmdParameterList || id > kCmdGraphChannelLast) return false;
  if (id >= kCmdGraphChannelFirst)
    return (s.graphChannelsShown >> (id - kCmdGraphChannelFirst) & 1U) != 0;

  switch (id) {
    case kCmdParameterList:
      return s.ViewOpen(ViewKind::kParameterList);
    case kCmdOperatingData:
      return s.ViewOpen(ViewKind::kOperatingData);
    case kCmdOverview:
      return s.ViewOpen(ViewKind::kOverview);
    case kCmdDeviceInfo:
      return s.ViewOpen(ViewKind::kDeviceInfo);
    case kCmdViewFaults:
      return s.ViewOpen(ViewKind::kFaultList);
    case kCmdGraph:
      return s.ViewOpen(ViewKind::kGraph);
    case kCmdProtocol:
      return s.ViewOpen(ViewKind::kProtocol);
    case kCmdStartDiagnosis:
      return s.sessionActive;
    case kCmdStopDiagnosis:
      return !s.searchRunning && !s.sessionActive;
    case kCmdAutoStart:
      return s.autoStart;
    case kCmdEolBackup:
      return s.eolBackup;
    case kCmdEolCell:
      return s.datasetCommand == kDatasetCellCommand;
    case kCmdBlockMode:
      return s.hbusBlock;
    case kCmdModeOn:
    case kCmdModeParking:
    case kCmdModeSupplemental:
    case kCmdModeVentilating:
    case kCmdModeBoost:
    case kCmdModePump:
    case kCmdModeOff:
      return s.sessionActive && s.operatingMode == static_cast<std::uint32_t>(ModeOfCommand(id));
    case kCmdCo2Adjustment:
      return s.co2Command == 1;
    case kCmdCo2AdjustmentCold:
      return s.co2Command == 2;
    case kCmdFreeTelegram:
      return s.freeTelegramOpen;
    case kCmdDebugMode:
      return s.debugWindowOpen;
    case kCmdProtocolRecord:
      return !s.protocolRecording;
    case kCmdProtocolStates:
      return s.protocolStates;
    case kCmdProtocolTelegrams:
      return s.protocolTelegrams;
    case kCmdProtocolStore:
      return s.protocolStore;
    case kCmdGraphSplit:
      return s.graphSplit;
    default:
      return false;
  }
}

bool IsCheckableCommand(std::uint32_t id) {
  if (id >= kCmdGraphChannelFirst && id <= kCmdGraphChannelLast) return true;
  switch (id) {
    case kCmdParameterList:
    case kCmdOperatingData:
    case kCmdOverview:
    case kCmdDeviceInfo:
    case kCmdViewFaults:
    case kCmdGraph:
    case kCmdProtocol:
    case kCmdStartDiagnosis:
    case kCmdStopDiagnosis:
    case kCmdAutoStart:
    case kCmdEolBackup:
    case kCmdEolCell:
    case kCmdBlockMode:
    case kCmdModeOn:
    case kCmdModeParking:
    case kCmdModeSupplemental:
    case kCmdModeVentilating:
    case kCmdModeBoost:
    case kCmdModePump:
    case kCmdModeOff:
    case kCmdCo2Adjustment:
    case kCmdCo2AdjustmentCold:
    case kCmdFreeTelegram:
    case kCmdDebugMode:
    case kCmdProtocolRecord:
    case kCmdProtocolStates:
    case kCmdProtocolTelegrams:
    case kCmdProtocolStore:
    case kCmdGraphSplit:
      return true;
    default:
      return false;
  }
}

}  // namespace heatdiag
