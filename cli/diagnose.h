// heatdiag-cli diagnose: runs one diagnosis on a device and reports what it delivered.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace heatdiag::cli {

struct DiagnoseOptions {
  std::string device = "D00";  // D00..D18
  std::string port;            // a device path or a port number 1..9
  bool virtualHeater = false;  // run on the built-in virtual heater instead of `port`
  std::string scenario;        // its scenario (empty: the demonstration unit)
  int seconds = 2;             // polling after the connection pass
  bool json = false;
  // How long the connection pass may take before the run gives up.
  std::chrono::milliseconds connectionLimit{std::chrono::seconds(120)};
};

// Runs the diagnosis; the result goes to `out`, messages to `err`. Returns 0 when the
// connection pass completed, 1 when the session ended before, 2 for unusable options.
int RunDiagnose(const DiagnoseOptions& options, std::ostream& out, std::ostream& err);

}  // namespace heatdiag::cli
