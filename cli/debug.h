// heatdiag-cli debug: puts the unit into its debug mode, prints each state change with the names
// of the sequence header and the time spent in the previous state, and leaves the mode at the end.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "base/settings.h"
#include "cli/headless_run.h"

namespace heatdiag::cli {

struct DebugOptions : LineOptions {
  std::string header;  // the sequence header; empty: the setting Header
  std::string device;
  int seconds = 10;  // how long the mode runs, from the unit's first answer
  bool run = false;  // "&Run" once the mode has started halted
  bool json = false;
  std::chrono::milliseconds connectionLimit{std::chrono::seconds(120)};
};

// Returns 0 when the mode ran for the whole time and was left, 1 when it could not be started,
// was given up or the link ended, 2 for unusable options.
int RunDebug(const DebugOptions& options, SettingsBackend* store, std::ostream& out,
             std::ostream& err);

}  // namespace heatdiag::cli
