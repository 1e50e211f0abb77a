// heatdiag-cli: the command-line front end of Kelvar Heatdiag.
#include <CLI/CLI.hpp>

#include <iostream>
#include <vector>

#include "cli/subcommand.h"

int main(int argc, char** argv) {
  using namespace heatdiag::cli;
  CLI::App app{"Kelvar Heatdiag command-line front end"};
  app.set_version_flag("--version",
                       std::string(HEATDIAG_PRODUCT_NAME " " HEATDIAG_PRODUCT_VERSION));
  app.require_subcommand(0, 1);
  const std::vector<Subcommand> subcommands = {AddDiagnoseCommand(app)};
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int status = app.exit(error);
    return status == 0 ? kExitOk : kExitUsage;
  }
  for (const Subcommand& subcommand : subcommands)
    if (subcommand.command->parsed()) return subcommand.run();
  std::cout << app.help();
  return kExitOk;
}
