// The desktop program's start-up and shutdown.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace heatdiag {

struct ProgramOptions {
  // --virtual-heater [SCENARIO]: run on the built-in virtual heater for this run.
  bool virtualHeater = false;
  std::string scenario;  // empty: the demonstration unit
  bool help = false;
  bool version = false;
  std::string error;  // not empty: the command line was not understood
};

ProgramOptions ParseProgramOptions(const std::vector<std::string>& arguments);
std::string ProgramUsage();

// Runs the program: start-up in its fixed order, the event loop, shutdown in reverse.
int RunProgram(int argc, char** argv);

}  // namespace heatdiag
