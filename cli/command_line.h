// The command line of heatdiag-cli: the subcommands, their options and exit statuses.
#pragma once

#include <ostream>

#include "base/settings.h"

namespace heatdiag::cli {

// Parses the command line and runs the subcommand it names with the settings of `store`.
// Returns the exit status: 0 and 1 as the subcommand reports, 2 for a command line that cannot
// be used (help and --version give 0).
int RunCommandLine(int argc, const char* const* argv, SettingsBackend& store, std::ostream& out,
                   std::ostream& err);

}  // namespace heatdiag::cli
