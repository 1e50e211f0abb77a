// heatdiag-cli's fault and overview subcommands against the virtual heater, run in-process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/clear_faults.h"
#include "cli/command_line.h"
#include "cli/diagnose.h"
#include "cli/overview_command.h"
#include "views/qtgui/overview_picture.h"

namespace heatdiag::cli {
namespace {

namespace fs = std::filesystem;

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

template <typename Options, typename Runner>
CommandRun Run(const Options& options, Runner runner) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = runner(options, out, err);
  return {status, out.str(), err.str()};
}

CommandRun Diagnose(const DiagnoseOptions& o) {
  return Run(
      o, [](const auto& options, auto& out, auto& err) { return RunDiagnose(options, out, err); });
}
CommandRun ClearFaults(const ClearFaultsOptions& o) {
  return Run(o, [](const auto& options, auto& out, auto& err) {
    return RunClearFaults(options, out, err);
  });
}
CommandRun Overview(const OverviewOptions& o) {
  return Run(
      o, [](const auto& options, auto& out, auto& err) { return RunOverview(options, out, err); });
}

// A directory of its own for the files a test writes.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "fault-cli-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

TEST(FaultCommands, DiagnoseReportsEachFaultWithItsTexts) {
  DiagnoseOptions options;
  options.virtualHeater = true;  // the demonstration unit: two stored faults
  options.seconds = 0;
  options.json = true;
  CommandRun run = Diagnose(options);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  ASSERT_EQ(result["faults"].size(), 2u);
  const auto& first = result["faults"][0];
  EXPECT_EQ(first["code"], 10);
  EXPECT_EQ(first["text"], "Glow plug / flame sensor short circuit");
  EXPECT_EQ(first["description"], "Glow plug / flame sensor circuit has short circuit to ground");
  EXPECT_EQ(first["state"], 1);
  EXPECT_EQ(first["stateText"], "not actual, stored");
  ASSERT_FALSE(first["details"].empty());
  EXPECT_EQ(first["details"][0]["name"], "Code");
  EXPECT_EQ(first["details"][0]["value"], "0A");
  EXPECT_EQ(result["faults"][1]["text"], "Fault 81");
  EXPECT_EQ(result["faults"][1]["description"], "No additional information available");

  options.json = false;
  run = Diagnose(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Glow plug / flame sensor short circuit"), std::string::npos);
  EXPECT_NE(run.out.find("not actual, stored"), std::string::npos);
}

TEST(FaultCommands, ClearFaultsLeavesAnEmptyMemory) {
  for (const char* scenario : {"v3.2", "v1.5"}) {
    SCOPED_TRACE(scenario);
    ClearFaultsOptions options;
    options.virtualHeater = true;
    options.scenario = scenario;
    options.json = true;
    const CommandRun run = ClearFaults(options);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto result = nlohmann::json::parse(run.out);
    EXPECT_EQ(result["cleared"], true);
    EXPECT_TRUE(result["faults"].empty());
    EXPECT_TRUE(result["errors"].empty());
  }
  ClearFaultsOptions options;
  options.virtualHeater = true;
  const CommandRun run = ClearFaults(options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("The fault memory has been cleared."), std::string::npos);
  EXPECT_NE(run.out.find("no fault"), std::string::npos);
}

TEST(FaultCommands, ARefusedClearingFailsAndTheFaultsRemain) {
  TempDir dir;
  const fs::path scenario = dir / "refuses.json";
  std::ofstream(scenario) << R"({"base": "v3.2", "injectedFaults": [)"
                          << R"({"kind": "nak", "command": 86, "index": 3, "code": 34}]})";
  ClearFaultsOptions options;
  options.virtualHeater = true;
  options.scenario = scenario.string();
  options.json = true;
  options.confirmLimit = std::chrono::seconds(5);
  const CommandRun run = ClearFaults(options);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("did not confirm"), std::string::npos) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["cleared"], false);
  EXPECT_EQ(result["faults"].size(), 2u);
  EXPECT_FALSE(result["errors"].empty());
}

TEST(FaultCommands, OverviewPictureOfTheLiveData) {
  SetOverviewPictureWriter(SaveOverviewPicture);
  TempDir dir;
  OverviewOptions options;
  options.virtualHeater = true;
  options.seconds = 0;
  options.out = (dir / "overview.png").string();
  options.size = "640x400";
  options.json = true;
  const CommandRun run = Overview(options);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto result = nlohmann::json::parse(run.out);
  EXPECT_EQ(result["elements"], 86);
  EXPECT_EQ(result["written"], true);
  QImage picture;
  ASSERT_TRUE(picture.load(QString::fromStdString(options.out), "PNG"));
  EXPECT_EQ(picture.size(), QSize(640, 400));
  EXPECT_EQ(picture.pixelColor(639, 399), QColor(192, 192, 192));

  // A picture that cannot be written leaves nothing behind.
  options.out = (dir / "missing" / "overview.png").string();
  const CommandRun failed = Overview(options);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("could not be written"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(FaultCommands, OverviewCommandLine) {
  const struct {
    const char* size;
    bool ok;
    int width, height;
  } sizes[] = {
      {"640x480", true, 640, 480}, {"16X8192", true, 16, 8192}, {"15x100", false, 0, 0},
      {"100x8193", false, 0, 0},   {"100", false, 0, 0},        {"x100", false, 0, 0},
      {"100x", false, 0, 0},       {"-5x100", false, 0, 0},     {"100x100x3", false, 0, 0},
      {"99999999x1", false, 0, 0},
  };
  for (const auto& c : sizes) {
    int width = 0;
    int height = 0;
    EXPECT_EQ(ParseOverviewSize(c.size, width, height), c.ok) << c.size;
    if (c.ok) {
      EXPECT_EQ(QSize(width, height), QSize(c.width, c.height)) << c.size;
    }
  }
  MemorySettingsBackend store;
  const auto run = [&store](std::vector<const char*> args) {
    args.insert(args.begin(), "heatdiag-cli");
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCommandLine(static_cast<int>(args.size()), args.data(), store, out, err);
    return std::make_pair(status, err.str());
  };
  EXPECT_EQ(run({"overview", "--virtual-heater", "--out", "x.png", "--size", "2x2"}).first, 2);
  EXPECT_EQ(run({"overview", "--virtual-heater"}).first, 2);  // --out is needed
  EXPECT_EQ(run({"clear-faults", "--device", "D99", "--virtual-heater"}).first, 2);

  SetOverviewPictureWriter(nullptr);
  OverviewOptions options;
  options.virtualHeater = true;
  options.out = "never.png";
  const CommandRun run2 = Overview(options);
  EXPECT_EQ(run2.status, 1);
  EXPECT_NE(run2.err.find("cannot draw"), std::string::npos);
  EXPECT_FALSE(fs::exists("never.png"));
}

}  // namespace
}  // namespace heatdiag::cli

// Fontconfig keeps caches that it never frees; the leak checker of sanitizer builds reports them
// when the tests end. They are not this program's.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
