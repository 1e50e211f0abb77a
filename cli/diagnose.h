// heatdiag-cli diagnose: runs one diagnosis on a device and reports what it delivered.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "base/settings.h"
#include "cli/headless_run.h"

namespace heatdiag::cli {

struct DiagnoseOptions : LineOptions {
  // D00..D18; empty: the setting LastDevice (on the virtual heater: the device of its unit).
  std::string device;
  int seconds = 2;  // polling after the connection pass
  bool json = false;
  // Appends the protocol to this file as the protocol file of the desktop program (empty: none).
  std::string protocolFile;
  // How long the connection pass may take before the run gives up.
  std::chrono::milliseconds connectionLimit{std::chrono::seconds(120)};
};

// Runs the diagnosis with the settings of `store`: the device and port the options leave open
// come from LastDevice and COM Port, and the store gets the device that was diagnosed. The result
// goes to `out`, messages to `err`. Returns 0 when the connection pass completed, 1 when the
// session ended (or was interrupted) before, 2 for unusable options.
int RunDiagnose(const DiagnoseOptions& options, SettingsBackend& store, std::ostream& out,
                std::ostream& err);

// The same as a run of its own: the settings' defaults, a port from the options only, nothing
// saved.
int RunDiagnose(const DiagnoseOptions& options, std::ostream& out, std::ostream& err);

}  // namespace heatdiag::cli
