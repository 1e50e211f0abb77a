#include "cli/graph.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_test_support.h"
#include "cli/command_line.h"

namespace heatdiag::cli {
namespace {

namespace fs = std::filesystem;

TEST(GraphCommand, UnusableOptionsAreRefused) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"graph", "--port", "1", "--device", "D19"}, "Unknown device \"D19\""},
      {{"graph", "--port", "1", "--seconds", "0"}, "--seconds must be 1 to 3600"},
      {{"graph", "--port", "1", "--seconds", "3601"}, "--seconds must be 1 to 3600"},
      {{"graph", "--port", "1", "--json"}, "--json needs --csv"},
  };
  for (const Case& c : cases) {
    const testing::Arguments argv(c.args);
    SCOPED_TRACE(argv.Text());
    testing::RecordingStore store;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunCommandLine(argv.Count(), argv.Values(), store, out, err), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
}

TEST(GraphCommand, RecordsTheChannelsOfTheVirtualHeater) {
  const fs::path path = fs::temp_directory_path() / ("graph_cli_" + std::to_string(::getpid()));
  GraphOptions options;
  options.virtualHeater = true;
  options.seconds = 1;
  options.csv = path.string();
  options.json = true;
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunGraph(options, out, err), 0) << err.str();
  const auto summary = nlohmann::json::parse(out.str());
  EXPECT_EQ(summary["device"], "D00");
  EXPECT_GE(summary["samples"].get<int>(), 1);
  EXPECT_GT(summary["channels"].size(), 0u);

  std::ifstream in(path, std::ios::binary);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header.rfind("\xEF\xBB\xBFTime;", 0), 0u) << header;
  int lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  EXPECT_EQ(lines, summary["samples"].get<int>());
  fs::remove(path);
}

}  // namespace
}  // namespace heatdiag::cli
