// heatdiag-cli report and debug on the virtual heater, run in-process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/command_line.h"
#include "cli/debug.h"
#include "cli/report.h"

namespace heatdiag::cli {
namespace {

namespace fs = std::filesystem;

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

class Commands : public ::testing::Test {
 protected:
  Commands() {
    dir_ = fs::temp_directory_path() / ("heatdiag_report_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  ~Commands() override { fs::remove_all(dir_); }

  CommandRun Report(ReportOptions options) {
    std::ostringstream out, err;
    const int status = RunReport(options, nullptr, out, err);
    return {status, out.str(), err.str()};
  }
  CommandRun Debug(DebugOptions options) {
    std::ostringstream out, err;
    const int status = RunDebug(options, nullptr, out, err);
    return {status, out.str(), err.str()};
  }
  fs::path dir_;
};

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(Commands, ReportWritesTheSummaryFile) {
  ReportOptions options;
  options.virtualHeater = true;
  options.out = (dir_ / "summary.txt").string();
  options.description = "Van 7";
  options.json = true;
  const CommandRun run = Report(options);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["written"], true);
  const std::string text = Read(options.out);
  EXPECT_EQ(text.find("Diagnosis report"), 0u);
  EXPECT_NE(text.find("KELVAR Calorics\n" + std::string(100, '-') + "\n\nVan 7\n"),
            std::string::npos);
  EXPECT_NE(text.find("\nError:\n------\n"), std::string::npos);
  EXPECT_EQ(text.find(result["summary"].get<std::string>()), 203u);  // after title and dashes
}

TEST_F(Commands, ReportIntoAMissingFolderFails) {
  ReportOptions options;
  options.virtualHeater = true;
  options.out = (dir_ / "missing" / "summary.txt").string();
  const CommandRun run = Report(options);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Cannot create file " + options.out + "!"), std::string::npos);
  options.out.clear();
  EXPECT_EQ(Report(options).status, 2);
}

TEST_F(Commands, DebugNamesTheStatesFromTheHeader) {
  const fs::path header = dir_ / "sequence.h";
  std::ofstream(header) << "/* $$STATE$$ */\n#define ST_OFF 4\n";
  DebugOptions options;
  options.virtualHeater = true;
  options.header = header.string();
  options.seconds = 0;  // ends once the unit has answered with its state
  options.json = true;
  const CommandRun run = Debug(options);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["started"], true);
  ASSERT_FALSE(result["changes"].empty());
  EXPECT_EQ(result["changes"][0]["current"], "ST_OFF");
  EXPECT_EQ(result["changes"][0]["line"].get<std::string>().substr(16, 4), " -> ");
  EXPECT_TRUE(result["errors"].empty());
}

TEST_F(Commands, DebugOnAUnitWithoutTheModeFails) {
  DebugOptions options;
  options.virtualHeater = true;
  options.scenario = "v1.5";
  options.seconds = 1;
  CommandRun run = Debug(options);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Debug mode cannot be started!"), std::string::npos);

  // A 3.x unit that refuses the debug telegram.
  const fs::path scenario = dir_ / "refusing.json";
  std::ofstream(scenario) << R"({"base": "v3.2", "debugMode": false})";
  options.scenario = scenario.string();
  run = Debug(options);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Debug mode cannot be started!"), std::string::npos);
}

TEST(CommandLine, ReportAndDebugRefuseUnusableOptions) {
  const std::vector<std::vector<const char*>> cases = {
      {"heatdiag-cli", "report", "--virtual-heater"},
      {"heatdiag-cli", "report", "--device", "D19", "--port", "1", "--out", "x.txt"},
      {"heatdiag-cli", "debug", "--virtual-heater", "--seconds", "-1"},
      {"heatdiag-cli", "debug", "--device", "D19", "--port", "1"},
      {"heatdiag-cli", "debug", "--port", "1", "--virtual-heater"},
  };
  for (const auto& arguments : cases) {
    MemorySettingsBackend store;
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine(static_cast<int>(arguments.size()), arguments.data(), store, out, err),
              2)
        << arguments[1] << " " << arguments[2];
  }
}

}  // namespace
}  // namespace heatdiag::cli
