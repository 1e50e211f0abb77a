// heatdiag-cli clear-faults: clears the unit's fault memory, reads it again and prints what it
// holds now.
#pragma once

#include <chrono>
#include <ostream>

#include "base/settings.h"
#include "cli/connected_run.h"

namespace heatdiag::cli {

struct ClearFaultsOptions : ConnectedRunOptions {
  bool json = false;
  // How long the unit may take to confirm the clearing, and then to report its memory again.
  std::chrono::milliseconds confirmLimit{std::chrono::seconds(10)};
};

// Returns 0 when the unit confirmed the clearing (and its memory was read again), 1 when it
// did not (no connection, the device cannot clear, a refusal, no answer), 2 for unusable options.
int RunClearFaults(const ClearFaultsOptions& options, SettingsBackend& store, std::ostream& out,
                   std::ostream& err);
int RunClearFaults(const ClearFaultsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace heatdiag::cli
