#include "scenario.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace heatsim {
namespace {

TEST(Scenario, BuiltInsLoadWithTheirVersion) {
  const std::pair<const char*, std::uint8_t> cases[] = {
      {"v1.5", 0x15}, {"v3.0", 0x30}, {"v3.1", 0x31}, {"v3.2", 0x32}, {"demo", 0x32}, {"", 0x32}};
  for (const auto& [name, version] : cases) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(LoadScenario(name, "", &s, &error)) << name << ": " << error;
    EXPECT_EQ(s.version, version) << name;
    EXPECT_EQ(s.eeprom.content.size(), s.eeprom.Size()) << name;
  }
  Scenario demo;
  std::string error;
  ASSERT_TRUE(LoadScenario("", "", &demo, &error));
  EXPECT_EQ(demo.faults.size(), 2u);  // a demonstration shows a fault memory
}

TEST(Scenario, EepromChecksumIsKeptRight) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(LoadScenario("v3.2", R"({"eeprom": {"data": {"0x30": "01 02 03"}}})", &s, &error))
      << error;
  const EepromSetup& e = s.eeprom;
  EXPECT_EQ(e.content[0x31], 0x02);
  std::uint8_t sum = 0;
  for (std::size_t a = e.start; a <= e.checksumEnd; ++a)
    sum = static_cast<std::uint8_t>(sum + e.content[a]);
  EXPECT_EQ(e.content[e.checksumAddress], sum);

  // A broken checksum on purpose.
  ASSERT_TRUE(LoadScenario(
      "v3.2", R"({"eeprom": {"data": {"0x3FF": "00 "}, "fixChecksum": false}})", &s, &error))
      << error;
  EXPECT_EQ(s.eeprom.content[0x3FF], 0);
}

TEST(Scenario, SmallerEepromWithItsOwnLayout) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(LoadScenario(
      "v3.2", R"({"eeprom": {"size": 16, "start": 1, "checksumEnd": 14, "checksumAddress": 15}})",
      &s, &error))
      << error;
  EXPECT_EQ(s.eeprom.content.size(), 16u);
  std::uint8_t sum = 0;
  for (std::size_t a = 1; a <= 14; ++a) sum = static_cast<std::uint8_t>(sum + s.eeprom.content[a]);
  EXPECT_EQ(s.eeprom.content[15], sum);
  // Stuck cells must lie inside it too.
  EXPECT_FALSE(LoadScenario("v3.2", R"({"eeprom": {"stuck": ["0x3F0"], "size": 16, "start": 1,
      "checksumEnd": 14, "checksumAddress": 15}})",
                            &s, &error));
}

TEST(Scenario, VersionFormsAndBaseUnit) {
  const std::pair<const char*, std::uint8_t> cases[] = {
      {R"({"version": "3.1"})", 0x31},
      {R"({"version": 3.1})", 0x31},
      {R"({"version": "0x40"})", 0x40},  // a version the tester does not implement
  };
  for (const auto& [json, version] : cases) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(LoadScenario("v3.2", json, &s, &error)) << json << ": " << error;
    EXPECT_EQ(s.version, version) << json;
  }
  Scenario s;
  std::string error;
  ASSERT_TRUE(LoadScenario("v3.2", R"({"base": "v1.5", "faults": []})", &s, &error)) << error;
  EXPECT_EQ(s.version, 0x15);
  EXPECT_EQ(s.id.deviceNumber.size(), 3u);
  EXPECT_TRUE(s.faults.empty());
}

struct BadCase {
  const char* json;
  const char* message;  // part of the error text
};

TEST(Scenario, BadTextGivesAClearMessage) {
  const BadCase cases[] = {
      {"{", "parse error"},
      {"[]", "(top level): expected an object"},
      {R"({"versoin": "3.2"})", "versoin: unknown field"},
      {R"({"eeprom": {"size": 1000}})", "eeprom.size: must be a power of two"},
      {R"({"eeprom": {"size": "big"}})", "eeprom.size: \"big\" is no number"},
      {R"({"eeprom": {"checksumAddress": "0x30"}})", "eeprom.checksumAddress: lies inside"},
      {R"({"eeprom": {"data": {"0x3FF": "01 02"}}})", "lies outside the EEPROM"},
      {R"({"faults": [{"code": 0}]})", "faults[0].code: must lie between 1 and 254"},
      {R"({"faults": [{"state": 1}]})", "faults[0].code: missing"},
      {R"({"faults": [{"code": 5}, {"code": 5}]})", "faults[1].code: the same code"},
      {R"({"co2": {"value": 200}})", "co2: needs min <= value <= max"},
      {R"({"identification": {"deviceName": "TOO LONG NAME"}})", "longer than 8"},
      {R"({"identification": {"hardware": "01"}})", "identification.hardware: must be 2 bytes"},
      {R"({"capabilities": "F8 7"})", "odd number of hex digits"},
      {R"({"capabilities": "F8 7G"})", "no hex digit"},
      {R"({"injectedFaults": [{"kind": "explode"}]})", "unknown fault \"explode\""},
      {R"({"injectedFaults": [{"kind": "nak", "command": "0x57"}]})", "code: missing"},
      {R"({"injectedFaults": [{"kind": "noReply", "code": 1}]})", "does not belong"},
      {R"({"model": {"workingHours": "12:75"}})", "is no time"},
      {R"({"model": {"supplyVoltage": true}})", "model.supplyVoltage: expected a number"},
      {R"({"model": {"burningDurations": ["1:00"]}})", "expected 8 times"},
      {R"({"base": "v1.5", "faults": [{"code": 1}, {"code": 2}, {"code": 3}, {"code": 4}]})",
       "at most 3 faults"},
      {R"({"base": "v1.5", "shortForms": true})", "only a 3.0 unit"},
      {R"({"base": "v9"})", "no built-in scenario \"v9\""},
      {R"({"latencyMs": -5})", "latencyMs: must lie between 0"},
      // Numbers beyond a double are refused where they stand, not thrown out of the loader.
      {R"({"latencyMs": 1e400})", "latencyMs: is a number out of range"},
      {R"({"model": {"burningDurations": ["1:00", -1e999]}})",
       "model.burningDurations[1]: is a number out of range"},
      {"1e400", "(top level): is a number out of range"},
      // A smaller EEPROM needs a layout that fits it.
      {R"({"eeprom": {"size": 16}})", "eeprom.start: lies outside the EEPROM of 16 cells"},
      {R"({"eeprom": {"size": 16, "start": 1, "checksumEnd": 14}})",
       "eeprom.checksumAddress: lies outside"},
      // Another generation needs its own identification layout.
      {R"({"version": "1.5"})", "identification.deviceNumber: must be 3 bytes"},
  };
  for (const BadCase& c : cases) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(LoadScenario("v3.2", c.json, &s, &error)) << c.json;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.json << " gave: " << error;
  }
}

TEST(Scenario, KeywordUnitsOfDeviceD06) {
  const struct {
    const char* name;
    std::uint8_t key;  // the first key byte of the start answer
    bool anyKey;
    bool running;
    std::size_t injected;
  } cases[] = {
      {"d06", 0xE9, false, false, 0},        {"d06-wrong-key", 0xC2, false, false, 0},
      {"d06-any-key", 0xE9, true, false, 0}, {"d06-silent", 0xE9, false, false, 1},
      {"d06-running", 0xE9, false, true, 0},
  };
  for (const auto& c : cases) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(LoadScenario(c.name, "", &s, &error, "D06")) << c.name << ": " << error;
    EXPECT_EQ(s.family, Family::kKeyword) << c.name;
    EXPECT_EQ(s.name, c.name);
    EXPECT_EQ(s.keyword.keyBytes.at(0), c.key) << c.name;
    EXPECT_EQ(s.keyword.acceptAnyKey, c.anyKey) << c.name;
    EXPECT_EQ(s.keyword.heaterRunning, c.running) << c.name;
    EXPECT_EQ(s.injectedFaults.size(), c.injected) << c.name;
    ASSERT_EQ(s.keyword.faults.size(), 2u) << c.name;
    EXPECT_EQ(s.keyword.faults[0].code, 0x1801);
    EXPECT_EQ(s.keyword.faults[0].status, 0x24);
    EXPECT_EQ(s.keyword.faults[1].code, 0x1820);
    EXPECT_EQ(s.keyword.faults[1].status, 0x01);
  }
  // The customer id carries a 0 byte among its 9 characters.
  Scenario s;
  std::string error;
  ASSERT_TRUE(LoadScenario("", "", &s, &error, "d06")) << error;
  EXPECT_EQ(s.name, "d06");
  EXPECT_EQ(s.keyword.customerId.size(), 9u);
  EXPECT_NE(std::find(s.keyword.customerId.begin(), s.keyword.customerId.end(), 0),
            s.keyword.customerId.end());
}

TEST(Scenario, FamilyRulesAreChecked) {
  const struct {
    const char* name;
    const char* json;
    const char* device;
    const char* error;
  } cases[] = {
      {"v3.2", "", "D06", "is a D00 unit, not D06"},
      {"d06", "", "D00", "is a D06 unit, not D00"},
      {"", "", "D07", "no virtual unit for device \"D07\""},
      {"d06", R"({"family": "D99"})", "", "family: no virtual unit for \"D99\""},
      {"d06", R"({"faults": []})", "", "faults: does not apply to a D06 unit"},
      {"d06", R"({"version": "3.2"})", "", "version: does not apply to a D06 unit"},
      {"v3.2", R"({"keyword": {}})", "", "keyword: applies to a D06 unit only"},
      {"d06", R"({"keyword": {"customerId": "01 02"}})", "", "keyword.customerId: must be 9 bytes"},
      {"d06", R"({"keyword": {"keyBytes": "E9"}})", "", "keyword.keyBytes: must be 2 bytes"},
      {"d06", R"({"keyword": {"deviceNumber": "123"}})", "",
       "keyword.deviceNumber: must be 11 characters"},
      {"d06", R"({"keyword": {"softwareVersion": "2"}})", "", "keyword.softwareVersion"},
      {"d06", R"({"keyword": {"faults": [{"code": 1}, {"code": 1}]}})", "",
       "keyword.faults[1].code: the same code is stored twice"},
      {"d06",
       R"({"keyword": {"faults": [{"code": 1}, {"code": 2}, {"code": 3}, {"code": 4},
           {"code": 5}, {"code": 6}, {"code": 7}, {"code": 8}, {"code": 9}, {"code": 10},
           {"code": 11}]}})",
       "", "at most 10 faults"},
      {"d06", R"({"keyword": {"faults": [{"status": 1}]}})", "", "keyword.faults[0].code: missing"},
      {"d06", R"({"keyword": {"fuelPumpPeriod": 256}})", "", "keyword.fuelPumpPeriod"},
      {"d06", R"({"keyword": {"keyByte": "E9 8F"}})", "", "keyword.keyByte: unknown field"},
  };
  for (const auto& c : cases) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(LoadScenario(c.name, c.json, &s, &error, c.device)) << c.json;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.json << " -> " << error;
  }
}

class ScenarioFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/heatsim-scenario-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = name;
  }
  void TearDown() override { std::remove(path_.c_str()); }
  void Write(const std::string& text) { std::ofstream(path_) << text; }
  std::string path_;
};

TEST_F(ScenarioFile, StartsFromTheBuiltInUnitOfItsVersion) {
  Write(R"({"version": "1.5", "name": "workshop unit", "faults": [{"code": "0x21"}]})");
  Scenario s;
  std::string error;
  ASSERT_TRUE(LoadScenario(path_, "", &s, &error)) << error;
  EXPECT_EQ(s.name, "workshop unit");
  EXPECT_EQ(s.version, 0x15);
  EXPECT_EQ(s.id.datasetNumber.size(), 3u);
  ASSERT_EQ(s.faults.size(), 1u);
  EXPECT_EQ(s.faults[0].code, 0x21);
}

TEST_F(ScenarioFile, ErrorsNameTheFile) {
  Write("{\n  \"eeprom\": {\"size\": 3}\n}");
  Scenario s;
  std::string error;
  EXPECT_FALSE(LoadScenario(path_, "", &s, &error));
  EXPECT_NE(error.find(path_), std::string::npos) << error;
  EXPECT_NE(error.find("eeprom.size"), std::string::npos) << error;

  Write("{\"version\": \"3.2\",,}");
  EXPECT_FALSE(LoadScenario(path_, "", &s, &error));
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;

  // The reproducers of two faults found by fuzzing: a number too large for a double aborted
  // the loader, and a shrunk EEPROM kept a layout beyond its cells.
  Write(R"({"latencyMs": 1e400})");
  EXPECT_FALSE(LoadScenario(path_, "", &s, &error));
  EXPECT_NE(error.find(path_ + "\": latencyMs:"), std::string::npos) << error;
  Write(R"({"version": 1e400})");
  EXPECT_FALSE(LoadScenario(path_, "", &s, &error));
  EXPECT_NE(error.find("version: is a number out of range"), std::string::npos) << error;
  Write(R"({"eeprom": {"size": 16}})");
  EXPECT_FALSE(LoadScenario(path_, "", &s, &error));
  EXPECT_NE(error.find("eeprom.start: lies outside"), std::string::npos) << error;

  EXPECT_FALSE(LoadScenario(path_ + ".missing", "", &s, &error));
  EXPECT_NE(error.find("cannot open scenario file"), std::string::npos) << error;
}

TEST_F(ScenarioFile, AKeywordFileStartsFromTheD06Unit) {
  const struct {
    const char* text;
    const char* device;
  } cases[] = {
      {R"({"family": "d06", "keyword": {"hardwareVersion": 7}})", ""},
      {R"({"keyword": {"hardwareVersion": 7}})", "D06"},
  };
  for (const auto& c : cases) {
    Write(c.text);
    Scenario s;
    std::string error;
    ASSERT_TRUE(LoadScenario(path_, "", &s, &error, c.device)) << c.text << ": " << error;
    EXPECT_EQ(s.family, Family::kKeyword);
    EXPECT_EQ(s.keyword.hardwareVersion, 7);
    EXPECT_EQ(s.keyword.faults.size(), 2u);
    EXPECT_EQ(s.keyword.deviceNumber, "25222055001");
  }
  // Without the device a file that names no family is an H-Bus unit, and the keyword part
  // does not belong to it.
  Write(R"({"keyword": {"hardwareVersion": 7}})");
  Scenario s;
  std::string error;
  EXPECT_FALSE(LoadScenario(path_, "", &s, &error));
  EXPECT_NE(error.find("keyword: applies to a D06 unit only"), std::string::npos) << error;
}

}  // namespace
}  // namespace heatsim
