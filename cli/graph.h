// heatdiag-cli graph: runs a diagnosis, samples the actual values graph's channels every 500 ms
// for a while and writes them as the graph's CSV export.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "base/settings.h"
#include "cli/headless_run.h"

namespace heatdiag::cli {

struct GraphOptions : LineOptions {
  std::string device;  // D00..D18; empty: the setting LastDevice (D00 on the virtual heater)
  int seconds = 60;    // sampling after the connection pass
  std::string csv;     // the file to write; empty: the CSV goes to standard output
  bool json = false;   // a JSON summary on standard output (needs --csv)
  std::chrono::milliseconds connectionLimit{std::chrono::seconds(120)};
};

// 0 when the samples were taken and written, 1 when the connection pass did not complete or
// the file could not be written, 2 for unusable options.
int RunGraph(const GraphOptions& options, SettingsBackend& store, std::ostream& out,
             std::ostream& err);
int RunGraph(const GraphOptions& options, std::ostream& out, std::ostream& err);

}  // namespace heatdiag::cli
