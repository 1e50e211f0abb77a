// When a frame command is enabled and when it shows as checked. The rules read one snapshot of
// the program's state, taken once per refresh, so that a menu and the toolbar never disagree.
#pragma once

#include <array>
#include <cstdint>

#include "shell/gui/commands.h"
#include "shell/gui/view_kind.h"

namespace heatdiag {

struct CommandState {
  bool deviceSelected = false;  // the selected device index is below 19
  bool sessionActive = false;   // the selected driver's IsSessionActive
  bool storeDataValid = false;  // the store's data valid flag
  bool searchRunning = false;   // the automatic device search runs
  // IsFunctionAvailable of the selected driver per function number; all 0 without a device.
  std::array<int, kDriverFunctionCount> available{};
  std::uint32_t operatingMode = 0;  // GetOperatingMode of the selected driver
  std::array<bool, kViewCount> viewOpen{};

  // Settings.
  bool autoStart = false;
  bool hbusBlock = false;
  bool eolBackup = false;

  // The later subsystems' own state.
  int co2Command = 0;          // 0 none, 1 CO2 adjustment, 2 CO2 adjustment (cold)
  int datasetCommand = 0;      // the dataset worker's pending command, 0 when idle
  bool storageFilled = false;  // the temporary dataset storage holds a dataset
  bool measurementLogRunning = false;
  bool protocolRecording = false;
  bool protocolStates = false;
  bool protocolTelegrams = false;
  bool protocolStore = false;
  bool graphSplit = false;
  std::uint32_t graphChannelsAvailable = 0;  // bit i: channel item kCmdGraphChannelFirst + i
  std::uint32_t graphChannelsShown = 0;
  bool freeTelegramOpen = false;
  bool debugWindowOpen = false;

  // A session runs and its connection pass is complete.
  bool DataValid() const { return sessionActive && storeDataValid; }
  bool Available(std::uint32_t function) const {
    return deviceSelected && function < available.size() && available[function] != 0;
  }
  bool ViewOpen(ViewKind kind) const { return viewOpen[static_cast<std::size_t>(IndexOf(kind))]; }
};

// The dataset worker's command for the single-cell dialog.
inline constexpr int kDatasetCellCommand = 11;

bool IsCommandEnabled(std::uint32_t id, const CommandState& state);
bool IsCommandChecked(std::uint32_t id, const CommandState& state);

// Whether the command can ever show a check mark (its menu item and button toggle).
bool IsCheckableCommand(std::uint32_t id);

}  // namespace heatdiag
