// heatdiag-cli report: runs a diagnosis until the data are complete and writes the summary file
// as the desktop program's "S&ave summary..." does.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "base/settings.h"
#include "cli/headless_run.h"

namespace heatdiag::cli {

struct ReportOptions : LineOptions {
  std::string device;  // D00..D18; empty: the setting LastDevice (D00 on the virtual heater)
  std::string out;     // the summary file
  std::string description;
  bool json = false;
  std::chrono::milliseconds connectionLimit{std::chrono::seconds(120)};
};

// Returns 0 when the file was written, 1 when the connection pass did not complete or the file
// could not be created, 2 for unusable options.
int RunReport(const ReportOptions& options, SettingsBackend* store, std::ostream& out,
              std::ostream& err);

// The device of a run: --device, else D00 on the virtual heater, else the setting LastDevice.
// Nullopt (with the reason written to `err`) when none fits.
std::optional<std::uint32_t> ChooseRunDevice(const std::string& device, bool virtualHeater,
                                             std::ostream& err);

}  // namespace heatdiag::cli
