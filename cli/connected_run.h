// What the subcommands that act on a connected unit share: the device from the options (or the
// settings), the line, the start of the diagnosis and the wait for the connection pass.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/headless_run.h"

namespace heatdiag::cli {

struct ConnectedRunOptions : LineOptions {
  std::string device;  // D00..D18; empty: LastDevice (the H-Bus driver on the virtual heater)
  std::chrono::milliseconds connectionLimit{std::chrono::seconds(120)};
};

// The device a run is for; nullopt (with the reason written to `err`) for an unusable one.
std::optional<std::uint32_t> ChooseRunDevice(const ConnectedRunOptions& options, std::ostream& err);

// Selects the device, starts the diagnosis and waits for the connection pass; the outcome is
// noted on the error stream unless the data are complete. `run` must have been started.
HeadlessFrame::Outcome ConnectDevice(HeadlessRun& run, std::uint32_t device,
                                     std::chrono::milliseconds limit);

}  // namespace heatdiag::cli
