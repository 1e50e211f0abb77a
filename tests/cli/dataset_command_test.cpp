// heatdiag-cli dataset, run in-process against a virtual heater that outlives the runs, so that
// what one run wrote into its EEPROM is there for the next.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "cli/command_line.h"
#include "virtual_heater.h"

namespace heatdiag::cli {
namespace {

using testing::Arguments;

struct Result {
  int status;
  nlohmann::json json;
  std::string out, err;
};

class DatasetCommand : public ::testing::Test {
 protected:
  // A 3.1 unit of 256 cells, dataset 0x10..0xFF, checksum 0x10..0xFD at 0xFE.
  void StartHeater(const std::string& json = {}) {
    heatsim::VirtualHeaterOptions options;
    options.scenario = "v3.1";
    options.scenarioJson = json.empty()
                               ? R"({"eeprom": {"size": 256, "start": "0x10", "checksumEnd": "0xFD",
                            "checksumAddress": "0xFE"}})"
                               : json;
    std::string error;
    heater_ = heatsim::VirtualHeater::Start(options, &error);
    ASSERT_TRUE(heater_) << error;
  }
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("dataset_command_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    if (heater_) heater_->Stop();
    std::filesystem::remove_all(dir_);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name)) << text;
    return Path(name);
  }

  // Runs "dataset ARGS --port <heater> --json" (the port only for the device commands).
  Result Run(std::vector<std::string> args, bool port = true) {
    args.insert(args.begin(), "dataset");
    if (port && heater_) {
      args.push_back("--port");
      args.push_back(heater_->PtyPath());
    }
    args.push_back("--json");
    Arguments arguments(args);
    std::ostringstream out, err;
    const int status = RunCommandLine(arguments.Count(), arguments.Values(), store_, out, err);
    Result r{status, nlohmann::json(), out.str(), err.str()};
    if (!r.out.empty()) r.json = nlohmann::json::parse(r.out, nullptr, false);
    return r;
  }

  std::unique_ptr<heatsim::VirtualHeater> heater_;
  MemorySettingsBackend store_;
  std::filesystem::path dir_;
};

TEST_F(DatasetCommand, ReadWriteBackupAndRestore) {
  StartHeater();
  const auto original = heater_->Eeprom();
  const Result read = Run({"read", "--device", "D00", "--out", Path("a.eol"), "--mode", "block",
                           "--block-baud", "19200"});
  ASSERT_EQ(read.status, 0) << read.out << read.err;
  EXPECT_EQ(read.json["ok"], true);
  EXPECT_EQ(read.json["errors"].size(), 0u);
  EXPECT_EQ(read.json["layout"]["start"], 0x10);
  EXPECT_EQ(read.json["layout"]["size"], 256);
  ASSERT_EQ(read.json["layout"]["areas"].size(), 1u);
  EXPECT_EQ(read.json["layout"]["areas"][0]["address"], 0xFE);
  EXPECT_EQ(read.json["layout"]["areas"][0]["type"], "SUM8");
  EXPECT_EQ(read.err.find(" of 240 addresses"), std::string::npos);  // no progress in JSON

  // A partial file: written, with the warning, and the unit's old content saved first.
  const std::string partial = Write("p.eol", "; two cells\n0020 5A\n0x21 0xA5\n");
  const Result write =
      Run({"write", "--in", partial, "--backup", Path("b.eol"), "--mode", "cells"});
  ASSERT_EQ(write.status, 0) << write.out << write.err;
  EXPECT_EQ(write.json["ok"], true);
  EXPECT_EQ(write.json["errors"][0],
            "Dataset not complete within checksum area.\nChecksum cannot be calculated!");
  auto now = heater_->Eeprom();
  EXPECT_EQ(now[0x20], 0x5A);
  EXPECT_EQ(now[0x21], 0xA5);
  for (std::size_t a = 0x22; a < 256; ++a) EXPECT_EQ(now[a], original[a]) << a;
  std::ifstream a(Path("a.eol")), b(Path("b.eol"));
  std::string lineA, lineB;
  int lines = 0;
  while (std::getline(a, lineA) && std::getline(b, lineB)) {
    if (++lines == 2) continue;  // the time lines
    EXPECT_EQ(lineA, lineB) << "line " << lines;
  }
  EXPECT_EQ(lines, 3 + 240 + 1);

  // The backup restores the unit.
  const Result restore = Run({"write", "--in", Path("b.eol"), "--no-backup", "--mode", "block"});
  ASSERT_EQ(restore.status, 0) << restore.out << restore.err;
  EXPECT_EQ(heater_->Eeprom(), original);
}

TEST_F(DatasetCommand, CellWriteKeepsTheChecksumRight) {
  StartHeater();
  const auto before = heater_->Eeprom();
  const Result r = Run({"cell", "--address", "40", "--value", "5A"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.json["value"], 0x5A);
  const auto after = heater_->Eeprom();
  EXPECT_EQ(after[0x40], 0x5A);
  std::uint8_t sum = 0;
  for (std::size_t a = 0x10; a <= 0xFD; ++a) sum = static_cast<std::uint8_t>(sum + after[a]);
  EXPECT_EQ(after[0xFE], sum);
  EXPECT_EQ(static_cast<std::uint8_t>(after[0xFE] - before[0xFE]),
            static_cast<std::uint8_t>(0x5A - before[0x40]));

  const Result read = Run({"cell", "--address", "0x40"});
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read.json["value"], 0x5A);

  const Result outside = Run({"cell", "--address", "5"});
  EXPECT_EQ(outside.status, 2) << outside.out;
}

TEST_F(DatasetCommand, RefusalsOfTheUnitFail) {
  // Cell 0x30 keeps its value; the unit is too old to select page 1 in block mode.
  StartHeater(R"({"eeprom": {"size": 512, "start": "0x10", "checksumEnd": "0x10",
                  "checksumAddress": "0", "stuck": ["0x30"]}})");
  const Result stuck = Run({"write", "--in", Write("s.eol", "0030 01\n"), "--no-backup", "--mode",
                            "cells", "--no-checksum"});
  EXPECT_EQ(stuck.status, 1);
  EXPECT_EQ(stuck.json["errors"][0], "Write to EEPROM failed!");

  const Result page = Run({"read", "--out", Path("x.eol"), "--mode", "block", "--no-checksum"});
  EXPECT_EQ(page.status, 1);
  EXPECT_EQ(page.json["errors"][0],
            "The control unit cannot select EEPROM page 1!\nThe transfer was stopped.");
  EXPECT_FALSE(std::filesystem::exists(Path("x.eol")));
  EXPECT_EQ(page.json["layoutFrom"], "options");
}

TEST_F(DatasetCommand, FailedBackupReadWritesNothingAndLeavesNoFile) {
  StartHeater();
  const auto before = heater_->Eeprom();
  heater_->InjectFault({heatsim::FaultKind::kNak, 0x32, -1, -1, 0, 0x22});
  const Result r = Run(
      {"write", "--in", Write("n.eol", "0020 01\n"), "--backup", Path("b.eol"), "--mode", "cells"});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::filesystem::exists(Path("b.eol")));
  EXPECT_EQ(heater_->Eeprom(), before);

  const Result syntax = Run({"write", "--in", Write("bad.eol", "0020 01\n0020 02\n"), "--backup",
                             Path("c.eol"), "--mode", "cells"});
  EXPECT_EQ(syntax.status, 1);
  EXPECT_EQ(syntax.json["errors"][0], "Syntax error in line 2!");
  EXPECT_FALSE(std::filesystem::exists(Path("c.eol")));
}

TEST_F(DatasetCommand, BadCommandLinesSendNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {"write", "--in", "x.eol", "--port", "1"},
      {"write", "--in", "x.eol", "--backup", "b", "--no-backup", "--port", "1"},
      {"read", "--out", "x.eol", "--mode", "fast", "--port", "1"},
      {"read", "--out", "x.eol", "--block-baud", "9601", "--port", "1"},
      {"read", "--out", "x.eol", "--block-baud", "40000", "--port", "1"},
      {"cell", "--address", "40", "--value", "100", "--port", "1"},
      {"cell", "--address", "G0", "--port", "1"},
      {"cell", "--address", "40", "--device", "D19", "--port", "1"},
      {"read", "--out", "x.eol", "--checksum", "10-20:21:CRC", "--port", "1"},
      {"check", "f.eol", "--start", "10"},
      {"check", "f.eol", "--start", "10", "--size", "256", "--checksum", "10-1FE:1FF:SUM8"},
  };
  for (const auto& args : cases) {
    const Result r = Run(args, false);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args) << r.out << r.err;
  }
}

TEST_F(DatasetCommand, CheckAndFix) {
  std::string text = "; a file\n";
  for (int a = 0x10; a < 0x20; ++a) {
    char line[32];
    std::snprintf(line, sizeof line, "%04X %02X\n", a, a);
    text += line;
  }
  text += "0020 00\n0021 00\n";  // checksums: SUM8 of 0x10..0x1F = 0x78
  const std::string file = Write("c.eol", text);
  const std::vector<std::string> layout = {"--start",    "10",           "--size",
                                           "64",         "--checksum",   "10-1F:20:SUM8",
                                           "--checksum", "10-1F:21:XOR8"};
  std::vector<std::string> args = {"check", file};
  args.insert(args.end(), layout.begin(), layout.end());
  const Result wrong = Run(args, false);
  EXPECT_EQ(wrong.status, 1) << wrong.out;
  ASSERT_EQ(wrong.json["checksums"].size(), 2u);
  EXPECT_EQ(wrong.json["checksums"][0]["computed"], 0x78);
  EXPECT_EQ(wrong.json["checksums"][0]["stored"], 0);
  EXPECT_EQ(wrong.json["checksums"][0]["ok"], false);
  EXPECT_EQ(wrong.json["checksums"][0]["complete"], true);

  args.push_back("--fix");
  args.push_back(Path("fixed.eol"));
  ASSERT_EQ(Run(args, false).status, 0);
  args = {"check", Path("fixed.eol")};
  args.insert(args.end(), layout.begin(), layout.end());
  const Result right = Run(args, false);
  EXPECT_EQ(right.status, 0) << right.out;
  EXPECT_EQ(right.json["checksums"][0]["ok"], true);
  EXPECT_EQ(right.json["checksums"][1]["ok"], true);
  // The fixed file holds the whole area 0x10..0x3F: the area is complete, nothing warns.
  EXPECT_TRUE(right.json["errors"].empty());

  const Result syntax =
      Run({"check", Write("s.eol", "0010 1FF\n"), "--start", "10", "--size", "64"}, false);
  EXPECT_EQ(syntax.status, 1);
  EXPECT_EQ(syntax.json["errors"][0], "Syntax error in line 1!");
}

}  // namespace
}  // namespace heatdiag::cli
