// heatdiag-cli diagnose, run in-process: what it prints and how it ends.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/diagnose.h"
#include "virtual_heater.h"

namespace heatdiag::cli {
namespace {

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

CommandRun Diagnose(const DiagnoseOptions& options) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunDiagnose(options, out, err);
  return {status, out.str(), err.str()};
}

TEST(DiagnoseCommand, JsonOfACompleteSession) {
  DiagnoseOptions options;
  options.virtualHeater = true;
  options.scenario = "v3.1";
  options.seconds = 1;
  options.json = true;
  const CommandRun run = Diagnose(options);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["device"], "D00");
  EXPECT_EQ(result["name"], "H-Bus");
  EXPECT_EQ(result["complete"], true);
  ASSERT_EQ(result["rows"].size(), 157u);
  const auto& version = result["rows"][0];
  EXPECT_EQ(version["row"], 0);
  EXPECT_EQ(version["name"], "H-Bus version");
  EXPECT_EQ(version["value"], "3.1");
  EXPECT_EQ(version["present"], true);
  EXPECT_EQ(version["shown"], true);
  const auto& voltage = result["rows"][31];
  EXPECT_EQ(voltage["short"], "SV");
  EXPECT_EQ(voltage["unit"], "[V]");
  // A row the unit lacks is listed without a value.
  const auto& eepromVersion = result["rows"][64];
  EXPECT_EQ(eepromVersion["present"], false);
  EXPECT_EQ(eepromVersion["value"], "");
  EXPECT_TRUE(result["errors"].empty());
  bool sawTelegram = false;
  for (const auto& entry : result["protocol"])
    sawTelegram = sawTelegram || entry["text"] == "Tx: F4 03 51 0A AC ";
  EXPECT_TRUE(sawTelegram);
}

TEST(DiagnoseCommand, TableListsTheRowsTheUnitHas) {
  DiagnoseOptions options;
  options.virtualHeater = true;
  options.scenario = "v1.5";
  options.seconds = 0;
  const CommandRun run = Diagnose(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("Parameter", 0), 0u);
  EXPECT_NE(run.out.find("H-Bus version"), std::string::npos);
  EXPECT_EQ(run.out.find("Burning duration"), std::string::npos);  // not on 1.x units
}

TEST(DiagnoseCommand, PortThatCannotBeOpenedEndsTheRun) {
  DiagnoseOptions options;
  options.port = "/nonexistent/tty";
  options.json = true;
  const CommandRun run = Diagnose(options);
  EXPECT_EQ(run.status, 1);
  // The reason follows the message, on standard error and in the JSON errors alike.
  const std::string message =
      "The selected COM port cannot be used!\n/nonexistent/tty: no such device.\n";
  EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["complete"], false);
  ASSERT_EQ(result["errors"].size(), 1u);
  EXPECT_EQ(result["errors"][0].get<std::string>().rfind(message, 0), 0u) << result["errors"];
  EXPECT_EQ(result["rows"].size(), 157u);
  EXPECT_EQ(result["rows"][0]["present"], false);
}

TEST(DiagnoseCommand, BadOptionsAreRefused) {
  struct Case {
    const char* name;
    DiagnoseOptions options;
  };
  DiagnoseOptions noPort;
  DiagnoseOptions badDevice;
  badDevice.device = "D19";
  badDevice.port = "1";
  DiagnoseOptions badNumber;
  badNumber.port = "10";
  DiagnoseOptions both;
  both.port = "1";
  both.virtualHeater = true;
  DiagnoseOptions negative;
  negative.port = "1";
  negative.seconds = -1;
  const Case cases[] = {{"NoPort", noPort},
                        {"BadDevice", badDevice},
                        {"BadNumber", badNumber},
                        {"BothPortAndHeater", both},
                        {"NegativeSeconds", negative}};
  for (const Case& c : cases) {
    const CommandRun run = Diagnose(c.options);
    EXPECT_EQ(run.status, 2) << c.name;
    EXPECT_TRUE(run.out.empty()) << c.name;
    EXPECT_FALSE(run.err.empty()) << c.name;
  }
}

}  // namespace
}  // namespace heatdiag::cli
