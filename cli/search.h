// heatdiag-cli search: the automatic device search on one port. The drivers are tried one after
// another until one identifies a control unit; the diagnosis that the search then starts is
// finished before the run ends.
#pragma once

#include <chrono>
#include <ostream>

#include "base/settings.h"
#include "cli/headless_run.h"
#include "drivers/device_search.h"

namespace heatdiag::cli {

struct SearchOptions : LineOptions {
  bool json = false;
  // The pause after a probe that found nothing.
  std::chrono::milliseconds spacing = kProbeSpacing;
};

// Runs the search with the settings of `store` (the port the options leave open is the setting
// COM Port; the store gets the device identified as LastDevice). The search window's lines and
// the result go to `out`, messages to `err`. Returns 0 when a control unit was identified, 1 when
// none was (also after Ctrl-C), 2 for unusable options.
int RunSearch(const SearchOptions& options, SettingsBackend& store, std::ostream& out,
              std::ostream& err);

// The same as a run of its own: the settings' defaults, a port from the options only, nothing
// saved.
int RunSearch(const SearchOptions& options, std::ostream& out, std::ostream& err);

}  // namespace heatdiag::cli
