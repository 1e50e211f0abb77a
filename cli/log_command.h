// heatdiag-cli log: runs a diagnosis and writes the measurement protocol of it, as the desktop
// program's measurement log does.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "base/settings.h"
#include "cli/headless_run.h"

namespace heatdiag::cli {

struct LogOptions : LineOptions {
  std::string device;  // D00..D18; empty: LastDevice (the H-Bus driver on the virtual heater)
  std::string out;     // the measurement protocol file (appended)
  // Seconds between lines; nullopt: the setting ProtoTime (0 there counts as 10).
  std::optional<int> interval;
  // Seconds of logging after the connection; nullopt: until interrupted or the link ends.
  std::optional<int> seconds;
  bool json = false;
  std::chrono::milliseconds connectionLimit{std::chrono::seconds(120)};
};

// 0 when lines were written, 1 when the run failed (no connection, nothing to log, the file
// could not be written), 2 for unusable options. `store` may be null: the settings' defaults.
int RunLog(const LogOptions& options, SettingsBackend* store, std::ostream& out, std::ostream& err);

}  // namespace heatdiag::cli
