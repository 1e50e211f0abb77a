#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/gui/program.h"

namespace heatdiag {
namespace {

TEST(ProgramOptions, VirtualHeaterWithAndWithoutScenario) {
  const struct {
    std::vector<std::string> arguments;
    bool virtualHeater;
    const char* scenario;
    bool help;
    bool error;
  } cases[] = {
      {{}, false, "", false, false},
      {{"--virtual-heater"}, true, "", false, false},
      {{"--virtual-heater", "v1.5"}, true, "v1.5", false, false},
      {{"--virtual-heater", "/tmp/unit.json"}, true, "/tmp/unit.json", false, false},
      {{"--virtual-heater=v3.0"}, true, "v3.0", false, false},
      // An option after it is not taken for a scenario.
      {{"--virtual-heater", "--help"}, true, "", true, false},
      {{"--virtual-heater="}, true, "", false, true},
      {{"--frobnicate"}, false, "", false, true},
      {{"stray"}, false, "", false, true},
  };
  for (const auto& c : cases) {
    const ProgramOptions options = ParseProgramOptions(c.arguments);
    const std::string name = c.arguments.empty() ? "(none)" : c.arguments.front();
    EXPECT_EQ(options.virtualHeater, c.virtualHeater) << name;
    EXPECT_EQ(options.scenario, c.scenario) << name;
    EXPECT_EQ(options.help, c.help) << name;
    EXPECT_EQ(!options.error.empty(), c.error) << name;
  }
}

TEST(ProgramOptions, UsageNamesTheBuiltInScenarios) {
  const std::string usage = ProgramUsage();
  EXPECT_NE(usage.find("--virtual-heater [SCENARIO]"), std::string::npos);
  EXPECT_NE(usage.find("v3.2"), std::string::npos);
}

}  // namespace
}  // namespace heatdiag
