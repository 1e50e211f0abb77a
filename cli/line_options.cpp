#include <memory>
#include <string>

#include "cli/subcommand.h"

namespace heatdiag::cli {

std::function<void()> AddLineOptions(CLI::App& command, LineOptions& line) {
  auto scenario = std::make_shared<std::string>();
  CLI::Option* port = command.add_option(
      "--port", line.port,
      "Serial device path (a pseudo-terminal too), a name under /dev/serial/by-id or /dev, or "
      "COM number 1..9 (default: the setting COM Port)");
  CLI::Option* heater = command
                            .add_option("--virtual-heater", *scenario,
                                        "Run on the built-in virtual heater (optional scenario)")
                            ->expected(0, 1);
  port->excludes(heater);
  return [&line, scenario, heater] {
    line.virtualHeater = heater->count() > 0;
    line.scenario = *scenario;
  };
}

}  // namespace heatdiag::cli
