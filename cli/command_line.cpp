#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "cli/subcommand.h"

namespace heatdiag::cli {

int RunCommandLine(int argc, const char* const* argv, SettingsBackend& store, std::ostream& out,
                   std::ostream& err) {
  CLI::App app{"Kelvar Heatdiag command-line front end"};
  app.set_version_flag("--version",
                       std::string(HEATDIAG_PRODUCT_NAME " " HEATDIAG_PRODUCT_VERSION));
  app.require_subcommand(0, 1);
  const std::vector<Subcommand> subcommands = {
      AddDiagnoseCommand(app, store),
      AddSearchCommand(app, store),
      AddPortsCommand(app, store),
      AddDatasetCommand(app, store),
      AddClearFaultsCommand(app, store),
      AddOverviewCommand(app, store),
      AddReportCommand(app, store),
      AddDebugCommand(app, store),
      AddLogCommand(app, store),
      AddGraphCommand(app, store),
      AddModeCommand(app, store),
      AddComponentCommand(app, store),
      AddPrimeCommand(app, store),
      AddCalibrateCommand(app, store),
      AddCo2Command(app, store),
      AddTelegramCommand(app, store),
  };
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error, out, err);
    return status == 0 ? kExitOk : kExitUsage;
  }
  for (const Subcommand& subcommand : subcommands)
    if (subcommand.command->parsed()) return subcommand.run(out, err);
  out << app.help();
  return kExitOk;
}

}  // namespace heatdiag::cli
