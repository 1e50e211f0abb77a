// heatdiag-cli diagnose and search with D06 on the virtual D06 unit, run in-process.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/diagnose.h"
#include "cli/search.h"

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

// The value of the row with this name (the first of them).
std::string RowValue(const nlohmann::json& result, const std::string& name) {
  for (const auto& row : result["rows"])
    if (row["name"] == name) return row["value"];
  return "<missing>";
}

TEST(D06Commands, DiagnoseOnTheVirtualUnit) {
  DiagnoseOptions options;
  options.device = "D06";
  options.virtualHeater = true;
  options.scenario = "d06";
  options.seconds = 1;
  options.json = true;
  const CommandRun run = Diagnose(options);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["device"], "D06");
  EXPECT_EQ(result["complete"], true);
  EXPECT_EQ(result["rows"].size(), 58u);
  EXPECT_EQ(RowValue(result, "Device identification number"), "25222055001");
  EXPECT_EQ(RowValue(result, "SW version"), "2.14");
  EXPECT_TRUE(result["errors"].empty());
}

TEST(D06Commands, VirtualUnitWithoutDeviceIsDiagnosedAsD06) {
  DiagnoseOptions options;
  options.virtualHeater = true;
  options.scenario = "d06";
  options.seconds = 0;
  options.json = true;
  const CommandRun run = Diagnose(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out)["device"], "D06");
}

TEST(D06Commands, SearchFindsTheUnit) {
  SearchOptions options;
  options.virtualHeater = true;
  options.scenario = "d06";
  options.json = true;
  options.spacing = std::chrono::milliseconds(0);
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunSearch(options, out, err), 0) << err.str();
  const auto result = nlohmann::json::parse(out.str());
  EXPECT_EQ(result["found"], "D06");
}

}  // namespace
}  // namespace heatdiag::cli
