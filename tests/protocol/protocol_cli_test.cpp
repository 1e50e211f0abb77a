// heatdiag-cli with the protocol file and the measurement log, run in-process on the virtual
// heater.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "cli/command_line.h"

namespace heatdiag::cli {
namespace {

using testing::Arguments;
using testing::RecordingStore;

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

class ProtocolCommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("protocol_cli_test_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    testing::FillStore(store_, {});
    store_.ForgetWrites();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  CommandRun Run(const std::vector<std::string>& args) {
    Arguments argv(args);
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine(argv.Count(), argv.Values(), store_, out, err);
    return {status, out.str(), err.str()};
  }
  std::vector<std::string> Lines(const std::filesystem::path& path) const {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path dir_;
  RecordingStore store_;
};

TEST_F(ProtocolCommandLine, DiagnoseAppendsItsProtocolToTheFile) {
  const std::string file = (dir_ / "run.log").string();
  {
    std::ofstream earlier(file);
    earlier << "earlier run\n";
  }
  const CommandRun run =
      Run({"diagnose", "--virtual-heater", "--seconds", "0", "--protocol-file", file});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(file);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines.front(), "earlier run");
  EXPECT_EQ(lines[1], "Diagnosis started");
  EXPECT_EQ(lines.back(), "---");
  EXPECT_EQ(lines[lines.size() - 2], "Diagnosis finished");
  bool sawTelegram = false;
  for (const std::string& line : lines) sawTelegram = sawTelegram || line.starts_with("Tx: F4 ");
  EXPECT_TRUE(sawTelegram);
  // The file of this run is not the user's protocol setting.
  EXPECT_FALSE(store_.Written().contains("ProtView/File"));
  EXPECT_FALSE(store_.Written().contains("ProtView/Log"));
}

TEST_F(ProtocolCommandLine, UnusableFilesAreRefusedBeforeTheRun) {
  const std::string missing = (dir_ / "no" / "such.log").string();
  const std::vector<std::vector<std::string>> commands = {
      {"diagnose", "--virtual-heater", "--protocol-file", missing},
      {"log", "--virtual-heater", "--out", missing},
      {"log", "--virtual-heater", "--out", (dir_ / "m.log").string(), "--interval", "0"},
      {"log", "--virtual-heater"},  // no --out
  };
  for (const auto& command : commands) {
    const CommandRun run = Run(command);
    EXPECT_EQ(run.status, 2) << command[0] << " " << command.back();
    EXPECT_FALSE(run.err.empty());
  }
}

TEST_F(ProtocolCommandLine, LogWritesTheHeaderAndTimedLines) {
  const std::string file = (dir_ / "m.log").string();
  const CommandRun run = Run(
      {"log", "--virtual-heater", "--out", file, "--interval", "1", "--seconds", "1", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["device"], "D00");
  EXPECT_EQ(result["interval"], 1);
  EXPECT_EQ(result["headers"], 1);
  EXPECT_GE(result["lines"].get<int>(), 1);
  ASSERT_FALSE(result["columns"].empty());
  const auto lines = Lines(file);
  ASSERT_EQ(lines.size(), 1u + result["lines"].get<std::size_t>());
  std::string expectedHeader = "Date\tTime";
  EXPECT_TRUE(lines[0].starts_with(expectedHeader + "\t" + result["columns"][0].get<std::string>()))
      << lines[0];
  // "dd.mm.yy<TAB>hh:mm:ss", then one value per column.
  const std::string& data = lines[1];
  ASSERT_GE(data.size(), 17u);
  EXPECT_EQ(data[2], '.');
  EXPECT_EQ(data[5], '.');
  EXPECT_EQ(data[8], '\t');
  EXPECT_EQ(data[11], ':');
  EXPECT_EQ(std::count(data.begin(), data.end(), '\t'),
            static_cast<std::ptrdiff_t>(result["columns"].size()) + 1);
}

}  // namespace
}  // namespace heatdiag::cli
