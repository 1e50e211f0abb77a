// A subcommand of heatdiag-cli: it adds itself and its options to the application and hands
// back what runs it once the command line has been parsed.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>

namespace heatdiag::cli {

// Exit statuses shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Subcommand {
  CLI::App* command = nullptr;
  std::function<int()> run;
};

Subcommand AddDiagnoseCommand(CLI::App& app);

}  // namespace heatdiag::cli
