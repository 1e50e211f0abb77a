// heatdiag-cli mode, component, prime, calibrate, co2 and telegram, run in-process on the
// virtual heater: what goes out on the line, what the unit answers, the exit status, the
// settings kept, and that what was switched on is switched off again.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_test_support.h"
#include "cli/command_line.h"
#include "drivers/device_table.h"
#include "service/co2_worker.h"

namespace heatdiag::cli {
namespace {

using testing::Arguments;
using testing::RecordingStore;
using testing::ThreadCount;

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

// Scenario files of the virtual heater, removed at the end.
class ScenarioFiles : public ::testing::Test {
 protected:
  // A 3.2 unit that also offers the voltage and flame sensor calibrations.
  static constexpr const char* kFullCapabilities = "F8 7F 38 E2 58 60 00 00";

  std::string Scenario(const std::string& name, const std::string& injected = "") {
    const std::string path = directory_ + "/" + name + ".json";
    std::ofstream file(path);
    file << R"({"capabilities": ")" << kFullCapabilities << '"';
    if (!injected.empty()) file << R"(, "injectedFaults": [)" << injected << "]";
    file << "}\n";
    return path;
  }

  ScenarioFiles() {
    char pattern[] = "/tmp/heatdiag-service-XXXXXX";
    directory_ = mkdtemp(pattern);
  }
  ~ScenarioFiles() override { std::system(("rm -rf " + directory_).c_str()); }

  nlohmann::json Json(const CommandRun& run) {
    try {
      return nlohmann::json::parse(run.out);
    } catch (const nlohmann::json::exception&) {
      ADD_FAILURE() << "no JSON: " << run.out << run.err;
      return {};
    }
  }

  std::string directory_;
};

using ServiceCommand = ScenarioFiles;

TEST_F(ServiceCommand, UnusableInputEndsBeforeAnySession) {
  const std::vector<std::vector<std::string>> cases = {
      {"calibrate", "voltage", "9,999", "--virtual-heater"},
      {"calibrate", "voltage", "30,001", "--virtual-heater"},
      {"calibrate", "glow-plug", "5,001", "--virtual-heater"},
      {"calibrate", "pressure", "1", "--virtual-heater"},
      {"telegram", "100", "--virtual-heater"},
      {"telegram", "--to", "1FF", "51", "--virtual-heater"},
      {"co2", "--set", "1G", "--virtual-heater"},
      {"prime", "600", "--virtual-heater"},
      {"prime", "--virtual-heater"},
      {"mode", "hover", "--virtual-heater"},
      {"component", "--virtual-heater"},
  };
  for (const std::vector<std::string>& args : cases) {
    SCOPED_TRACE(Arguments(args).Text());
    RecordingStore store;
    const CommandRun run = RunCommand(args, store);
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_EQ(run.err.find("Diagnosis"), std::string::npos);
  }
  RecordingStore store;
  EXPECT_NE(RunCommand({"calibrate", "voltage", "9,999", "--virtual-heater"}, store)
                .err.find("Invalid input! Valid range 10,0...30,0 volt"),
            std::string::npos);
}

TEST_F(ServiceCommand, CalibrationsSendMilliUnitsAndKeepTheValue) {
  struct Case {
    std::vector<std::string> args;
    const char* request;  // the telegram's bytes after the header and length
    const char* setting;
    const char* stored;
  } const cases[] = {
      {{"calibrate", "voltage", "12,6"}, "42 01 00 31 38", "AdjVoltage", "12600"},
      {{"calibrate", "glow-plug", "0.2"}, "42 02 00 00 C8", "AdjGlowPlug", "200"},
  };
  const std::string scenario = Scenario("full");
  for (const Case& c : cases) {
    SCOPED_TRACE(Arguments(c.args).Text());
    RecordingStore store;
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--virtual-heater", scenario, "--json"});
    const CommandRun run = RunCommand(args, store);
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json result = Json(run);
    EXPECT_EQ(result["send"]["answer"], "accepted");
    EXPECT_NE(result["send"]["request"].get<std::string>().find(c.request), std::string::npos)
        << result["send"]["request"];
    EXPECT_EQ(store.Value("LastInput", c.setting), c.stored);
  }
}

TEST_F(ServiceCommand, RefusalsAndMissingCapabilitiesFail) {
  struct Case {
    std::vector<std::string> args;
    std::string scenario;
    const char* says;
  };
  const Case cases[] = {
      {{"calibrate", "voltage", "12"},
       Scenario("nak", R"({"kind": "nak", "command": "0x42", "index": "0x01", "code": "0x31"})"),
       "NAK"},
      // The built-in 3.2 unit has no voltage calibration.
      {{"calibrate", "voltage", "12"}, "v3.2", "does not offer"},
      {{"mode", "parking"},
       Scenario("parking", R"({"kind": "nak", "command": "0x21", "code": "0x22"})"),
       "refused"},
      {{"telegram", "51", "0F"}, "v3.2", "refused (code 12)"},
      // The normal trim needs full load; the unit at rest refuses the value.
      {{"co2", "--set", "70"}, "v3.2", "CO2 adjustment not possible!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Arguments(c.args).Text());
    RecordingStore store;
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--virtual-heater", c.scenario});
    const CommandRun run = RunCommand(args, store);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
  }
}

TEST_F(ServiceCommand, ModeIsSwitchedOffAgainUnlessKept) {
  RecordingStore store;
  CommandRun run = RunCommand({"mode", "on", "--virtual-heater", "--json"}, store);
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json result = Json(run);
  EXPECT_EQ(result["switch"]["answer"], "accepted");
  EXPECT_NE(result["switch"]["request"].get<std::string>().find("F4 03 20 3C"), std::string::npos);
  EXPECT_EQ(result["off"]["answer"], "accepted");
  run = RunCommand({"mode", "ventilating", "--keep", "--virtual-heater", "--json"}, store);
  ASSERT_EQ(run.status, 0) << run.err;
  result = Json(run);
  EXPECT_EQ(result["switch"]["answer"], "accepted");
  EXPECT_FALSE(result.contains("off"));
}

TEST_F(ServiceCommand, CtrlCSwitchesTheModeOff) {
  RecordingStore store;
  std::atomic<bool> running{true};
  std::thread interrupter([&running] {
    // Once the mode is on, the user presses Ctrl-C.
    while (running.load()) {
      const DeviceDriver* driver = SelectedDriver();
      if (driver != nullptr && driver->GetOperatingMode() == 1) {
        kill(getpid(), SIGINT);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const CommandRun run = RunCommand({"mode", "on", "--seconds", "600", "--virtual-heater"}, store);
  running = false;
  interrupter.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Operating mode on: accepted"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Switched off again: accepted"), std::string::npos) << run.out;
}

TEST_F(ServiceCommand, ComponentTest) {
  const std::string scenario = Scenario("full");
  RecordingStore store;
  CommandRun run =
      RunCommand({"component", "--list", "--virtual-heater", scenario, "--json"}, store);
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json result = Json(run);
  EXPECT_TRUE(result["ready"].get<bool>());
  std::vector<std::string> names;
  for (const auto& entry : result["components"]) names.push_back(entry["name"]);
  EXPECT_EQ(names.front(), "all off");
  EXPECT_NE(std::find(names.begin(), names.end(), "Fuel pump"), names.end());

  // 2,5 Hz with two decimals is 250, by the divisor 5 the value 50 (0x32).
  run = RunCommand({"component", "fuel-pump", "--value", "2,5", "--run-time", "3", "--seconds", "0",
                    "--virtual-heater", scenario, "--json"},
                   store);
  ASSERT_EQ(run.status, 0) << run.err;
  result = Json(run);
  EXPECT_EQ(result["start"]["answer"], "accepted");
  EXPECT_NE(result["start"]["request"].get<std::string>().find("45 02 03 00 32"), std::string::npos)
      << result["start"]["request"];
  EXPECT_NE(result["off"]["request"].get<std::string>().find("45 00 00 00 00"), std::string::npos);

  run = RunCommand({"component", "0", "--virtual-heater", scenario, "--json"}, store);
  ASSERT_EQ(run.status, 0) << run.err;
  result = Json(run);
  EXPECT_NE(result["start"]["request"].get<std::string>().find("45 00 00 00 00"),
            std::string::npos);
  EXPECT_FALSE(result.contains("off"));

  run = RunCommand({"component", "fuel-pump", "--value", "2", "--virtual-heater", scenario}, store);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Please enter the run time"), std::string::npos) << run.err;
  run = RunCommand({"component", "fuel-pump", "--run-time", "5", "--virtual-heater", scenario},
                   store);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("Please enter a set value"), std::string::npos) << run.err;
}

TEST_F(ServiceCommand, FuelPrime) {
  RecordingStore store;
  CommandRun run = RunCommand({"prime", "2", "--virtual-heater", "--json"}, store);
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json result = Json(run);
  EXPECT_EQ(result["start"]["answer"], "accepted");
  EXPECT_NE(result["start"]["request"].get<std::string>().find("42 03 00 01"), std::string::npos);
  EXPECT_NE(run.err.find("Fuel prime started"), std::string::npos);
  EXPECT_EQ(store.Value("LastInput", "FillTime"), "2");
  run = RunCommand({"prime", "--stop", "--virtual-heater"}, store);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Stop fuel prime: accepted"), std::string::npos) << run.out;
}

TEST_F(ServiceCommand, Co2ReadAndColdAdjustment) {
  RecordingStore store;
  const int threadsBefore = ThreadCount();
  CommandRun run = RunCommand({"co2", "--virtual-heater", "--json"}, store);
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json result = Json(run);
  EXPECT_EQ(result["lowest"], "64");
  EXPECT_EQ(result["highest"], "8C");
  EXPECT_EQ(result["value"], "78");

  run = RunCommand({"co2", "--cold", "--set", "70", "--virtual-heater", "--json"}, store);
  ASSERT_EQ(run.status, 0) << run.err;
  result = Json(run);
  EXPECT_TRUE(result["accepted"].get<bool>());
  bool sent = false;
  for (const auto& entry : result["protocol"])
    sent = sent || entry["text"].get<std::string>().find("Tx: F4 04 57 02 70") == 0;
  EXPECT_TRUE(sent);
  EXPECT_EQ(service::Co2Command(), service::kCo2Idle);
  EXPECT_EQ(ThreadCount(), threadsBefore);

  run = RunCommand({"co2", "--cold", "--set", "42", "--virtual-heater"}, store);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("outside the unit's range 64 to 8C"), std::string::npos) << run.err;
}

TEST_F(ServiceCommand, LinkLostDuringTheCo2Adjustment) {
  RecordingStore store;
  const std::string scenario =
      Scenario("unplug", R"({"kind": "unplug", "command": "0x57", "index": "0x02"})");
  const CommandRun run =
      RunCommand({"co2", "--cold", "--set", "70", "--virtual-heater", scenario}, store);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("The link to the control unit was lost."), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("not accepted"), std::string::npos);
  EXPECT_EQ(service::Co2Command(), service::kCo2Idle);
}

TEST_F(ServiceCommand, FreeTelegramIsSentWithTheDriversAddressesAndKept) {
  RecordingStore store;
  const CommandRun run = RunCommand({"telegram", "0x51", "A", "--virtual-heater", "--json"}, store);
  ASSERT_EQ(run.status, 0) << run.err;
  const nlohmann::json result = Json(run);
  EXPECT_EQ(result["exchange"]["request"], "Tx: F4 03 51 0A AC ");
  EXPECT_EQ(result["exchange"]["reply"].get<std::string>().rfind("Rx: 4F 04 D1 0A", 0), 0u);
  // Addresses 04 and 0F, length 2, the bytes 51 0A, as the dialog keeps them.
  EXPECT_EQ(store.Value("LastInput", "FreeTele").substr(0, 18), "04,0F,02,00,51,0A,");
}

}  // namespace
}  // namespace heatdiag::cli
