#include "views/trend_csv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace heatdiag {
namespace {

namespace fs = std::filesystem;

const std::string kMark = "\xEF\xBB\xBF";

class TrendCsvTest : public testing::Test {
 protected:
  void SetUp() override {
    TrendConfig config;
    config.channelCount = 2;
    config.name[0] = "SV";
    config.unit[0] = "[V]";
    config.third[0] = 0.01;
    config.name[1] = "Temp;1";
    config.unit[1] =
        "[\xC2\xB0"
        "C]";
    config.third[1] = 1;
    ASSERT_TRUE(buffer.Configure(config));
    const double volts[] = {12.5, 12.25, NAN, 13};
    const double temps[] = {20, 21, 22, 23.6};
    for (int i = 0; i < 4; ++i) {
      buffer.AddSample(0, volts[i], 100);
      buffer.AddSample(1, temps[i], 100);
    }
    dir = fs::temp_directory_path() / ("trend_csv_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::size_t FilesIn(const fs::path& folder) const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
  }

  TrendBuffer buffer;
  fs::path dir;
};

TEST_F(TrendCsvTest, TimeThenOneColumnPerChannel) {
  EXPECT_EQ(TrendCsvText(buffer, 0, 4, 0), kMark +
                                               "Time;SV [V];\"Temp;1 [\xC2\xB0"
                                               "C]\"\r\n"
                                               "-1,5;12,5;20\r\n"
                                               "-1,0;12,25;21\r\n"
                                               "-0,5;;22\r\n"  // a missing value: empty cell
                                               "0,0;13;24\r\n");
}

TEST_F(TrendCsvTest, ARangeIsCutToTheSamplesKept) {
  EXPECT_EQ(TrendCsvText(buffer, 2, 100, 0), kMark +
                                                 "Time;SV [V];\"Temp;1 [\xC2\xB0"
                                                 "C]\"\r\n"
                                                 "-0,5;;22\r\n"
                                                 "0,0;13;24\r\n");
  EXPECT_EQ(TrendCsvText(buffer, 9, 1, 0), kMark +
                                               "Time;SV [V];\"Temp;1 [\xC2\xB0"
                                               "C]\"\r\n");
}

TEST_F(TrendCsvTest, WallClockTimesCountBackFromTheNewestSample) {
  // 2026-01-02 03:04:05.600 in local time.
  std::tm local{};
  local.tm_year = 126;
  local.tm_mon = 0;
  local.tm_mday = 2;
  local.tm_hour = 3;
  local.tm_min = 4;
  local.tm_sec = 5;
  local.tm_isdst = -1;
  const std::int64_t newest = static_cast<std::int64_t>(std::mktime(&local)) * 1000 + 600;
  const std::string text = TrendCsvText(buffer, 0, 4, newest);
  EXPECT_NE(text.find("\r\n2026-01-02 03:04:04,1;12,5;20\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n2026-01-02 03:04:05,6;13;24\r\n"), std::string::npos) << text;
}

TEST_F(TrendCsvTest, WritesTheFileWhole) {
  const fs::path path = dir / "graph.csv";
  { std::ofstream(path) << "old"; }
  std::string error;
  ASSERT_TRUE(WriteTrendCsv(path.string(), buffer, 0, 4, 0, &error)) << error;
  EXPECT_EQ(Read(path), TrendCsvText(buffer, 0, 4, 0));
  EXPECT_EQ(FilesIn(dir), 1u);  // no temporary file left
}

TEST_F(TrendCsvTest, AFailedWriteLeavesTheTargetAndNoTemporaryFile) {
  // A folder in the target's place cannot be replaced by a file.
  const fs::path target = dir / "busy";
  fs::create_directories(target / "inside");
  std::string error;
  EXPECT_FALSE(WriteTrendCsv(target.string(), buffer, 0, 4, 0, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(fs::is_directory(target / "inside"));
  EXPECT_EQ(FilesIn(dir), 1u);

  error.clear();
  EXPECT_FALSE(WriteTrendCsv((dir / "missing" / "graph.csv").string(), buffer, 0, 4, 0, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace heatdiag
