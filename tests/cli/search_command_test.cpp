// heatdiag-cli search, run in-process: the units it tries, what it reports, the settings it
// keeps, and that it ends without leaving a thread behind.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "cli/command_line.h"
#include "cli/search.h"
#include "drivers/device_search.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"

namespace heatdiag::cli {
namespace {

using testing::Arguments;
using testing::RecordingStore;
using testing::SilentLine;
using testing::ThreadCount;

// The records in the order the search tries them (ascending device code; D17 has none).
const std::vector<std::uint32_t> kSearchOrder = {15, 12, 16, 0, 2,  3,  6,  4, 7,
                                                 5,  13, 9,  8, 10, 11, 14, 1, 18};

std::vector<std::string> Names(const std::vector<std::uint32_t>& indices) {
  std::vector<std::string> names;
  for (const std::uint32_t index : indices) names.push_back(DeviceName(index));
  return names;
}

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

CommandRun RunCommand(const std::vector<std::string>& args, SettingsBackend& store) {
  const Arguments argv(args);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunCommandLine(argv.Count(), argv.Values(), store, out, err);
  return {status, out.str(), err.str()};
}

TEST(SearchCommand, FindsTheVirtualHeaterAfterTheFamiliesBeforeIt) {
  struct Case {
    std::vector<std::string> args;
    bool json;
  };
  const Case cases[] = {
      {{"search", "--virtual-heater", "--json"}, true},
      {{"search", "--virtual-heater", "v1.5"}, false},
  };
  const std::vector<std::string> tried = Names({15, 12, 16, 0});
  for (const Case& c : cases) {
    SCOPED_TRACE(Arguments(c.args).Text());
    RecordingStore store;
    testing::FillStore(store, {{"Setting", "COM Port", "6"}, {"Setting", "LastDevice", "19"}});
    store.ForgetWrites();
    const int threadsBefore = ThreadCount();
    const CommandRun run = RunCommand(c.args, store);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(IsSearchRunning());
    EXPECT_EQ(CurrentDevice(), kNoDevice);  // the diagnosis the search started is finished
    EXPECT_EQ(ThreadCount(), threadsBefore);
    if (c.json) {
      const auto result = nlohmann::json::parse(run.out);
      EXPECT_EQ(result["tried"].get<std::vector<std::string>>(), tried);
      EXPECT_EQ(result["found"], "D00");
      EXPECT_EQ(result["name"], "H-Bus");
    } else {
      std::string expected = "Automatic control unit search\n";
      for (std::size_t i = 0; i < tried.size(); ++i)
        expected += "actual control unit: " + tried[i] +
                    "\nremaining units: " + std::to_string(17 - i) + "\n";
      expected += "Control unit found: D00 H-Bus\n";
      EXPECT_EQ(run.out, expected);
    }
    // The unit found is the device of the next diagnosis; the port stays the user's.
    EXPECT_EQ(store.Value("Setting", "LastDevice"), "0");
    EXPECT_EQ(store.Value("Setting", "COM Port"), "6");
    EXPECT_EQ(store.Value("Ports", "COM6"), "");
    EXPECT_EQ(store.Written(), std::set<std::string>{"Setting/LastDevice"});
  }
}

TEST(SearchCommand, LineWithoutAControlUnitTriesEveryFamilyAndFails) {
  SilentLine silent;
  ASSERT_FALSE(silent.Path().empty());
  struct Case {
    const char* name;
    std::string port;
  };
  const Case cases[] = {
      {"PathThatDoesNotExist", "/nonexistent/ttyUSB7"},
      {"TerminalThatNeverAnswers", silent.Path()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SearchOptions options;
    options.port = c.port;
    options.json = true;
    options.spacing = std::chrono::milliseconds(10);
    RecordingStore store;
    testing::FillStore(store, {{"Setting", "LastDevice", "3"}});
    const int threadsBefore = ThreadCount();
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunSearch(options, store, out, err), 1) << err.str();
    EXPECT_FALSE(IsSearchRunning());
    EXPECT_EQ(ThreadCount(), threadsBefore);
    const auto result = nlohmann::json::parse(out.str());
    EXPECT_EQ(result["tried"].get<std::vector<std::string>>(), Names(kSearchOrder));
    EXPECT_TRUE(result["found"].is_null());
    EXPECT_TRUE(result["name"].is_null());
    // Probes stay silent: no error box for the port.
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(store.Value("Setting", "LastDevice"), "3");
  }
}

}  // namespace
}  // namespace heatdiag::cli
