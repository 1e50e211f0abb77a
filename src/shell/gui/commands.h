// The frame's command ids. Each id is also the string id of the command's status hint (and,
// after a line feed, of its tooltip); the menu item text sits at the id - 700.
#pragma once

#include <cstdint>

#include "drivers/driver_functions.h"

namespace heatdiag {

enum Command : std::uint32_t {
  kCmdAbout = 32771,
  kCmdParameterList = 32773,
  kCmdDeviceSelection = 32774,
  kCmdStartDiagnosis = 32775,
  kCmdStopDiagnosis = 32776,
  kCmdOperatingData = 32778,
  kCmdOverview = 32779,
  // Dataset transfers.
  kCmdFileIntoDevice = 32780,
  kCmdFileIntoEditor = 32781,
  kCmdFileIntoStorage = 32782,
  kCmdDeviceIntoFile = 32783,
  kCmdDeviceIntoEditor = 32784,
  kCmdDeviceIntoStorage = 32785,
  kCmdStorageIntoFile = 32786,
  kCmdStorageIntoEditor = 32787,
  kCmdStorageIntoDevice = 32788,
  kCmdStorageClear = 32789,
  kCmdDeviceInfo = 32791,
  kCmdViewFaults = 32792,
  kCmdClearFaults = 32793,
  kCmdComPort = 32794,
  kCmdGraph = 32795,
  kCmdProtocol = 32796,
  kCmdAutoStart = 32797,
  kCmdEolCell = 32798,
  kCmdEolBackup = 32799,
  kCmdComponentTest = 32800,
  kCmdBlockMode = 32801,
  kCmdModeOn = 32802,
  kCmdModeParking = 32803,
  kCmdModeSupplemental = 32804,
  kCmdModeVentilating = 32805,
  kCmdModeBoost = 32806,
  kCmdModePump = 32807,
  kCmdModeOff = 32808,
  kCmdVoltageAdjustment = 32809,
  kCmdFlameSensorAdjustment = 32810,
  kCmdCo2Adjustment = 32811,
  kCmdFreeTelegram = 32812,
  kCmdDebugMode = 32813,
  kCmdLoadHeader = 32814,
  kCmdStartMeasurementLog = 32816,
  kCmdStopMeasurementLog = 32817,
  kCmdFuelPrime = 32818,
  kCmdPrintSummary = 32832,
  kCmdCo2AdjustmentCold = 32833,
  // Protocol view menu.
  kCmdProtocolRecord = 32834,
  kCmdProtocolClear = 32835,
  kCmdProtocolStates = 32836,
  kCmdProtocolTelegrams = 32837,
  kCmdProtocolStore = 32838,
  kCmdProtocolFile = 32839,
  // Graph menu.
  kCmdGraphSplit = 32840,
  kCmdGraphChannelFirst = 32841,
  kCmdGraphChannelLast = 32860,
  // Window menu.
  kCmdCascade = 32861,
  kCmdTile = 32862,
  kCmdArrangeIcons = 32863,
  kCmdCloseAll = 32864,
  kCmdSaveSummaryPdf = 32865,  // beside printing: the printout into a PDF file
  kCmdSaveSummary = 32867,
  kCmdOpenSummary = 32868,
  kCmdClose = 32869,
  kCmdHelp = 32870,
  kCmdBlockBaud = 32871,
  // Help mode (not in a menu; toolbar and accelerators).
  kCmdHelpMode = 32872,
  kCmdHelpOnFocus = 32873,
  kCmdHelpContents = 32874,
};

inline constexpr std::uint32_t kFirstCommand = 32771;
inline constexpr std::uint32_t kLastCommand = 32871;
// Offset from a command id down to the string id of its menu item text.
inline constexpr std::uint32_t kMenuTextOffset = 700;

}  // namespace heatdiag
