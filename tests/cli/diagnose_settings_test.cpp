// heatdiag-cli diagnose with the user's settings: the device and port it takes from them, the
// device it records, and the port choices of a single run that it keeps out of them.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "cli/command_line.h"
#include "link/serial_port.h"
#include "virtual_heater.h"

namespace heatdiag::cli {
namespace {

using testing::Arguments;
using testing::RecordingStore;
using testing::StoredValue;

// Stands for the path of the test's virtual heater in the cases below.
constexpr const char* kHeaterPath = "<heater>";

class DiagnoseWithSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    heater_ = heatsim::VirtualHeater::Start({}, &error);
    ASSERT_NE(heater_, nullptr) << error;
  }
  void TearDown() override {
    if (heater_) heater_->Stop();
  }

  std::string Resolve(const std::string& text) const {
    return text == kHeaterPath ? heater_->PtyPath() : text;
  }

  std::unique_ptr<heatsim::VirtualHeater> heater_;
};

TEST_F(DiagnoseWithSettings, TakesWhatTheOptionsLeaveOpenAndRecordsTheDevice) {
  struct Case {
    const char* name;
    std::vector<StoredValue> stored;
    std::vector<std::string> args;  // besides "diagnose --json --seconds 0"
    const char* port;               // the port of the run
    std::string path;               // its device path ("" for the virtual heater's own)
    std::vector<StoredValue> after;
    std::set<std::string> written;
  };
  const Case cases[] = {
      {"DeviceAndPortFromTheSettings",
       {{"Setting", "COM Port", "3"},
        {"Ports", "COM3", kHeaterPath},
        {"Setting", "LastDevice", "0"}},
       {},
       "COM3",
       kHeaterPath,
       {{"Setting", "LastDevice", "0"},
        {"Setting", "COM Port", "3"},
        {"Ports", "COM3", kHeaterPath}},
       {}},
      {"DeviceGivenIsRecorded",
       {{"Setting", "COM Port", "3"},
        {"Ports", "COM3", kHeaterPath},
        {"Setting", "LastDevice", "7"}},
       {"--device", "d00"},
       "COM3",
       kHeaterPath,
       {{"Setting", "LastDevice", "0"}},
       {"Setting/LastDevice"}},
      {"PortNumberGivenKeepsTheStoredOne",
       {{"Setting", "COM Port", "1"},
        {"Ports", "COM5", kHeaterPath},
        {"Setting", "LastDevice", "4"}},
       {"--device", "D00", "--port", "5"},
       "COM5",
       kHeaterPath,
       {{"Setting", "LastDevice", "0"}, {"Setting", "COM Port", "1"}},
       {"Setting/LastDevice"}},
      {"PortPathGivenIsNotStored",
       {{"Setting", "COM Port", "2"}, {"Setting", "LastDevice", "0"}},
       {"--port", kHeaterPath},
       "COM2",
       kHeaterPath,
       {{"Setting", "COM Port", "2"}, {"Ports", "COM2", ""}},
       {}},
      {"VirtualHeaterLeavesThePortsAlone",
       {{"Setting", "COM Port", "5"},
        {"Ports", "COM5", "/dev/ttyMyAdapter"},
        {"Setting", "LastDevice", "12"}},
       {"--virtual-heater", "v3.0"},
       "COM5",
       "",
       {{"Setting", "LastDevice", "0"},
        {"Setting", "COM Port", "5"},
        {"Ports", "COM5", "/dev/ttyMyAdapter"}},
       {"Setting/LastDevice"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingStore store;
    std::vector<StoredValue> stored = c.stored;
    for (StoredValue& value : stored) value.text = Resolve(value.text);
    testing::FillStore(store, stored);
    store.ForgetWrites();
    std::vector<std::string> args = {"diagnose", "--json", "--seconds", "0"};
    for (const std::string& arg : c.args) args.push_back(Resolve(arg));
    const Arguments argv(args);
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunCommandLine(argv.Count(), argv.Values(), store, out, err), 0) << err.str();
    const auto result = nlohmann::json::parse(out.str());
    EXPECT_EQ(result["device"], "D00");
    EXPECT_EQ(result["complete"], true);
    EXPECT_EQ(result["port"], c.port);
    if (c.path.empty())
      EXPECT_NE(result["path"], heater_->PtyPath());
    else
      EXPECT_EQ(result["path"], Resolve(c.path));
    for (const StoredValue& value : c.after)
      EXPECT_EQ(store.Value(value.section, value.value), Resolve(value.text))
          << value.section << "/" << value.value;
    EXPECT_EQ(store.Written(), c.written);
    // The run's port paths are gone from the serial layer again.
    for (std::uint32_t n = kFirstPortNumber; n <= kLastPortNumber; ++n)
      EXPECT_EQ(PortPath(n), DefaultPortPath(n)) << n;
  }
}

TEST_F(DiagnoseWithSettings, FirstRunSavesEverySetting) {
  RecordingStore store;
  const Arguments argv({"diagnose", "--virtual-heater", "--seconds", "0"});
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunCommandLine(argv.Count(), argv.Values(), store, out, err), 0) << err.str();
  EXPECT_EQ(store.Size(), SettingsTable().size() + kPortCount + ExtraSettingsTable().size());
  EXPECT_EQ(store.Value("Setting", "COM Port"), "1");
  EXPECT_EQ(store.Value("Setting", "LastDevice"), "0");
  EXPECT_EQ(store.Value("Ports", "COM1"), "");
}

}  // namespace
}  // namespace heatdiag::cli
