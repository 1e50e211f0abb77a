// Command lines that heatdiag-cli cannot use: a clear message, exit status 2, and nothing run,
// started or saved.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "cli/command_line.h"
#include "drivers/device_search.h"
#include "link/serial_port.h"

namespace heatdiag::cli {
namespace {

using testing::Arguments;
using testing::RecordingStore;
using testing::StoredValue;
using testing::ThreadCount;

TEST(CommandLine, UnusableCommandLinesAreRefused) {
  struct Case {
    std::vector<std::string> args;
    std::vector<StoredValue> stored;
    const char* message;  // part of the error text
  };
  const Case cases[] = {
      {{"frobnicate"}, {}, "frobnicate"},
      {{"search", "--port", "10"}, {}, "\"10\" is neither a device path nor a number 1 to 9"},
      {{"search", "--port", "0"}, {}, "\"0\" is neither"},
      {{"search", "--port", "1", "--virtual-heater"}, {}, "excludes"},
      {{"search", "--bogus"}, {}, "--bogus"},
      {{"search", "ttyUSB0"}, {}, "ttyUSB0"},
      {{"search"}, {{"Setting", "COM Port", "12"}}, "The setting COM Port (12) names no port"},
      {{"search", "--virtual-heater", "no-such-scenario"}, {}, "virtual heater cannot be started"},
      {{"diagnose", "--device", "D19", "--port", "1"}, {}, "Unknown device \"D19\""},
      {{"diagnose", "--device", "H-Bus", "--port", "1"}, {}, "Unknown device"},
      {{"diagnose", "--port", "1", "--seconds", "-1"}, {}, "--seconds must not be negative"},
      {{"diagnose", "--port", "1", "--seconds", "soon"}, {}, "--seconds"},
      {{"diagnose", "--port", "1"}, {{"Setting", "LastDevice", "19"}}, "LastDevice 19"},
      {{"diagnose", "--port", "1"}, {{"Setting", "LastDevice", "-4"}}, "LastDevice -4"},
      {{"diagnose", "--device", "D00"}, {{"Setting", "COM Port", "0"}}, "COM Port (0)"},
  };
  for (const Case& c : cases) {
    const Arguments argv(c.args);
    SCOPED_TRACE(argv.Text());
    RecordingStore store;
    testing::FillStore(store, c.stored);
    store.ForgetWrites();
    const Settings settingsBefore = ProgramSettings();
    const int threadsBefore = ThreadCount();
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine(argv.Count(), argv.Values(), store, out, err), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    EXPECT_TRUE(store.Written().empty());
    EXPECT_TRUE(ProgramSettings() == settingsBefore);
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_FALSE(IsSearchRunning());
  }
}

TEST(CommandLine, HelpAndVersionSucceed) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"--version"}, {"search", "--help"}, {"diagnose", "--help"}, {}}) {
    const Arguments argv(args);
    SCOPED_TRACE(argv.Text());
    RecordingStore store;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine(argv.Count(), argv.Values(), store, out, err), 0);
    EXPECT_FALSE(out.str().empty());
    EXPECT_EQ(store.Size(), 0u);  // nothing ran, nothing saved
  }
}

}  // namespace
}  // namespace heatdiag::cli
