// The measurement protocol: its header and data lines, when lines are due, and the thread.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/string_table.h"
#include "drivers/catalogue/name_ids.h"
#include "drivers/diag_store.h"
#include "views/measurement_log.h"

namespace heatdiag {
namespace {

// Rows 0, 2 and 3 are loggable; row 1 is not; row 3 has no name.
const ParameterDescriptor kCatalogue[] = {
    {ValueKind::kSigned, 4, "-40", "120", "1", kNameTemperature, kUnitCelsius, 0x4001},
    {ValueKind::kUnsigned, 4, "0", "100", "1", kNameGlowPlug, kUnitPercent, 0x0004},
    {ValueKind::kReal, 8, "0", "20", "0.01", kNameSupplyVoltage, kUnitVolt, 0x4001},
    {ValueKind::kText, 8, "", "", "", 0, kUnitNone, 0x4000},
    {ValueKind::kText, 20, "", "", "", kNameFuelType, kUnitNone, 0x4040},
};
const ParameterDescriptor kNothingToLog[] = {
    {ValueKind::kUnsigned, 4, "0", "100", "1", kNameGlowPlug, kUnitPercent, 0x0004},
};

std::tm Time(int day, int month, int year, int hour, int minute, int second) {
  std::tm time = {};
  time.tm_mday = day;
  time.tm_mon = month - 1;
  time.tm_year = year - 1900;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

class MeasurementLogTest : public ::testing::Test {
 protected:
  MeasurementLogTest() : log_(Environment()) {}
  void SetUp() override { StoreStartup(); }
  void TearDown() override { StoreStartup(); }

  MeasurementLog::Environment Environment() {
    MeasurementLog::Environment environment;
    environment.nowMs = [this] { return now_.load(); };
    environment.localTime = [] { return Time(7, 3, 2026, 9, 5, 4); };
    environment.append = [this](const std::string& path, std::string_view line) {
      ++tries_;
      if (failures_ > 0) {
        --failures_;
        return false;
      }
      files_[path] += std::string(line);
      return true;
    };
    environment.dataValid = [this] { return dataValid_.load(); };
    environment.retryDelay = std::chrono::milliseconds(1);
    return environment;
  }

  void Fill() {
    ASSERT_EQ(StoreInit(kCatalogue), 1);
    for (std::uint32_t row = 0; row < 5; ++row) {
      StoreSetPresent(row, 1);
      StoreSetShown(row, 1);
    }
    const std::int32_t temperature = 21;
    StoreWrite(0, kStoreS32, 0, &temperature);
    const double voltage = 12.5;
    StoreWrite(2, kStoreDouble, 0, &voltage);
    StoreWriteText(4, "Diesel");
    StoreSetDataValid();
  }
  // Ticks every 200 ms of the clock for `ms` milliseconds.
  void Run(std::int64_t ms) {
    for (std::int64_t t = 0; t < ms; t += MeasurementLog::kTickMs) {
      log_.Tick();
      now_ += MeasurementLog::kTickMs;
    }
  }
  std::vector<std::string> Lines(const std::string& path) {
    std::istringstream in(files_[path]);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::atomic<std::int64_t> now_{100000};
  std::atomic<bool> dataValid_{true};
  int failures_ = 0;
  int tries_ = 0;
  std::map<std::string, std::string> files_;
  MeasurementLog log_;
};

TEST_F(MeasurementLogTest, HeaderNamesTheLoggableItemsAndDataLinesFollowIt) {
  Fill();
  std::vector<std::uint32_t> columns;
  EXPECT_EQ(MeasurementHeader(columns), "Date\tTime\t" + StoreGetName(0, NameForm::kLong) +
                                            " [°C]\t" + StoreGetName(2, NameForm::kLong) +
                                            " [V]\t" + StoreGetName(4, NameForm::kLong) + " \n");
  EXPECT_EQ(columns, (std::vector<std::uint32_t>{0, 2, 4}));
  EXPECT_EQ(MeasurementDataLine(Time(7, 3, 2026, 9, 5, 4), columns),
            "07.03.26\t09:05:04\t21\t12,5\tDiesel\n");
  // A value the unit does not deliver is not shown as a number.
  StoreSetShown(2, 0);
  EXPECT_EQ(MeasurementDataLine(Time(31, 12, 1999, 23, 59, 59), columns),
            "31.12.99\t23:59:59\t21\t?\tDiesel\n");
}

TEST_F(MeasurementLogTest, LinesComeAtTheIntervalAfterOneHeader) {
  Fill();
  Run(400);  // off: nothing
  ASSERT_TRUE(log_.Start("m.log", 2));
  Run(5000);  // lines at 0, 2 and 4 s
  const auto lines = Lines("m.log");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].starts_with("Date\tTime\t"));
  EXPECT_EQ(lines[1], "07.03.26\t09:05:04\t21\t12,5\tDiesel");
  EXPECT_EQ(log_.Stats().lines, 3u);
}

TEST_F(MeasurementLogTest, EachSessionGetsItsOwnHeader) {
  Fill();
  ASSERT_TRUE(log_.Start("m.log", 1));
  Run(2000);
  dataValid_ = false;  // the session ended
  Run(2000);
  dataValid_ = true;
  Run(1000);
  const auto lines = Lines("m.log");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_TRUE(lines[0].starts_with("Date"));
  EXPECT_TRUE(lines[3].starts_with("Date"));
  EXPECT_EQ(log_.Stats().headers, 2u);
}

TEST_F(MeasurementLogTest, NothingToLogSwitchesLoggingOffWithoutAFile) {
  ASSERT_EQ(StoreInit(kNothingToLog), 1);
  StoreSetPresent(0, 1);
  StoreSetDataValid();
  ASSERT_TRUE(log_.Start("m.log", 1));
  Run(1000);
  EXPECT_FALSE(log_.Running());
  EXPECT_TRUE(log_.Stats().switchedOff);
  EXPECT_EQ(tries_, 0);
  EXPECT_FALSE(files_.contains("m.log"));
}

TEST_F(MeasurementLogTest, FileThatCannotBeOpenedIsTriedTenTimes) {
  Fill();
  failures_ = 9;  // the tenth try succeeds
  ASSERT_TRUE(log_.Start("m.log", 10));
  log_.Tick();  // the header: nine failures and a success
  EXPECT_EQ(tries_, 11);
  EXPECT_EQ(Lines("m.log").size(), 2u);
  failures_ = 10;
  now_ += 10000;
  log_.Tick();  // all ten tries fail: the line is lost
  EXPECT_EQ(tries_, 21);
  EXPECT_EQ(log_.Stats().lost, 1u);
  EXPECT_EQ(Lines("m.log").size(), 2u);
}

TEST_F(MeasurementLogTest, IntervalBelowOneIsRefused) {
  EXPECT_FALSE(log_.Start("m.log", 0));
  EXPECT_FALSE(log_.Running());
}

TEST_F(MeasurementLogTest, AfterAStallTheLogGoesOnFromNow) {
  Fill();
  ASSERT_TRUE(log_.Start("m.log", 1));
  Run(200);
  now_ += 60000;  // a minute without ticks
  Run(1000);
  EXPECT_EQ(log_.Stats().lines, 2u);
}

// The real thread, on the real clock, into a real file: it writes and it stops at once.
TEST(MeasurementLogThread, WritesLinesAndStopsPromptly) {
  StoreStartup();
  ASSERT_EQ(StoreInit(kCatalogue), 1);
  for (std::uint32_t row = 0; row < 5; ++row) StoreSetPresent(row, 1);
  StoreSetDataValid();
  const auto path = std::filesystem::temp_directory_path() /
                    ("measurement_log_" + std::to_string(::getpid()) + ".log");
  std::filesystem::remove(path);
  MeasurementLog::Environment environment = MeasurementLog::SystemEnvironment();
  environment.dataValid = [] { return StoreIsDataValid(); };
  MeasurementLog log(environment);
  log.StartThread();
  ASSERT_TRUE(log.Start(path.string(), 1));
  EXPECT_TRUE(log.WaitForLines(2, std::chrono::seconds(20)));
  log.StopThread();
  log.Stop();
  std::ifstream in(path);
  std::string header;
  std::getline(in, header);
  EXPECT_TRUE(header.starts_with("Date\tTime\t")) << header;
  std::filesystem::remove(path);
  StoreStartup();
}

}  // namespace
}  // namespace heatdiag
