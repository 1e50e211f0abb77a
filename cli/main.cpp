// heatdiag-cli: the command-line front end of Kelvar Heatdiag.
#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{"Kelvar Heatdiag command-line front end"};
  app.set_version_flag("--version",
                       std::string(HEATDIAG_PRODUCT_NAME " " HEATDIAG_PRODUCT_VERSION));
  app.require_subcommand(0, 1);
  CLI11_PARSE(app, argc, argv);
  if (app.get_subcommands().empty()) {
    std::cout << app.help();
  }
  return 0;
}
