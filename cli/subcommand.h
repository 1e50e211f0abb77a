// A subcommand of heatdiag-cli: it adds itself and its options to the application and hands
// back what runs it once the command line has been parsed.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <ostream>

#include "base/settings.h"
#include "cli/headless_run.h"

namespace heatdiag::cli {

// Exit statuses shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Subcommand {
  CLI::App* command = nullptr;
  // Runs the parsed subcommand: its result to the first stream, messages to the second.
  std::function<int(std::ostream&, std::ostream&)> run;
};

// The subcommands load their settings from `store` and save them there at the end; the store
// must outlive them.
Subcommand AddDiagnoseCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddSearchCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddPortsCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddDatasetCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddClearFaultsCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddOverviewCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddReportCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddDebugCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddLogCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddGraphCommand(CLI::App& app, SettingsBackend& store);
// The service functions (cli/service_commands.cpp).
Subcommand AddModeCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddComponentCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddPrimeCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddCalibrateCommand(CLI::App& app, SettingsBackend& store);
Subcommand AddCo2Command(CLI::App& app, SettingsBackend& store);
Subcommand AddTelegramCommand(CLI::App& app, SettingsBackend& store);

// Adds --port and --virtual-heater [SCENARIO] to a subcommand. The returned function completes
// `line` once the command line has been parsed; `line` must outlive it.
std::function<void()> AddLineOptions(CLI::App& command, LineOptions& line);

}  // namespace heatdiag::cli
