// The D06 water heater unit of the keyword link, driven request by request without a line:
// its receiver's frame assembly, the answer layouts, the access check, the fault memory and the
// component test.
#include "keyword_unit.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "sim_test_support.h"
#include "units.h"

namespace heatsim {
namespace {

using testing::Hex;
using testing::KeywordRequest;
using testing::ManualClock;
using testing::SumChecks;

Scenario Load(const char* name, const char* json = "") {
  Scenario s;
  std::string error;
  EXPECT_TRUE(LoadScenario(name, json, &s, &error)) << name << ": " << error;
  return s;
}

class KeywordUnitTest : public ::testing::Test {
 protected:
  void Make(const char* scenario = "d06", const char* json = "") {
    unit_ = std::make_unique<KeywordUnit>(Load(scenario, json), clock_.Function());
  }

  // Feeds the bytes at `at` and returns the frames they completed.
  std::vector<Bytes> Feed(const Bytes& bytes, TimePoint at) {
    std::vector<Bytes> frames;
    for (const std::uint8_t b : bytes) {
      if (auto f = unit_->Feed(b, at)) frames.push_back(*f);
    }
    return frames;
  }

  // The answer to a request, checked for its frame: format byte 0x80 + n, addressed to the
  // tester by the unit, the sum right. Returns the n data bytes.
  Bytes Ask(const Bytes& request) {
    std::string why;
    EXPECT_TRUE(unit_->Check(request, &why)) << why;
    const Answer a = unit_->Respond(request, now_);
    const Bytes& f = a.bytes;
    EXPECT_GE(f.size(), 5u);
    if (f.size() < 5) return {};
    EXPECT_EQ(f[0], 0x80 + (f.size() - 4)) << Hex(f);
    EXPECT_EQ(f[1], 0xF1);
    EXPECT_EQ(f[2], 0x51);
    EXPECT_TRUE(SumChecks(f)) << Hex(f);
    EXPECT_EQ(a.nak, f[3] == 0x7F);
    return Bytes(f.begin() + 3, f.end() - 1);
  }

  ManualClock clock_;
  TimePoint now_{};
  std::unique_ptr<KeywordUnit> unit_;
};

TEST(KeywordAccessKey, RotatesAndAdds) {
  const std::pair<std::uint16_t, std::uint16_t> cases[] = {
      {0x0000, 0x00BC}, {0x2F6B, 0x1357}, {0x1234, 0xBF3E}, {0xFFFF, 0x25F1}, {0xBEEF, 0x43E9}};
  for (const auto& [seed, key] : cases) EXPECT_EQ(KeywordAccessKey(seed), key) << seed;
}

TEST_F(KeywordUnitTest, FrameAssemblySkipsWhatCannotBeginAFrame) {
  Make();
  const Bytes start = KeywordRequest({0x81});
  struct Case {
    const char* name;
    Bytes before;  // bytes ahead of a start request, at the same instant
    std::uint64_t drops;
  };
  const Case cases[] = {
      {"clean", {}, 0},
      {"break as a zero byte", {0x00}, 1},
      {"noise below 0x80", {0x00, 0x7F, 0x55}, 3},
      {"format byte without data", {0x80}, 1},
      {"more than 32 data bytes", {0xA1}, 1},
      {"0xFF", {0xFF}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint64_t before = unit_->Dropped();
    Bytes bytes = c.before;
    bytes.insert(bytes.end(), start.begin(), start.end());
    const std::vector<Bytes> frames = Feed(bytes, now_);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], start);
    EXPECT_EQ(unit_->Dropped() - before, c.drops);
    EXPECT_FALSE(unit_->Partial());
  }
  // The longest frame: 32 data bytes.
  Bytes longest = {0xA0, 0x51, 0xF1};
  longest.resize(35, 0x21);
  std::uint8_t sum = 0;
  for (const std::uint8_t b : longest) sum = static_cast<std::uint8_t>(sum + b);
  longest.push_back(sum);
  const std::vector<Bytes> frames = Feed(longest, now_);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].size(), 36u);
}

TEST_F(KeywordUnitTest, APauseEndsABegunFrame) {
  Make();
  const Bytes start = KeywordRequest({0x81});
  EXPECT_TRUE(Feed({start[0], start[1]}, now_).empty());
  EXPECT_TRUE(unit_->Partial());
  ASSERT_TRUE(unit_->Deadline());
  EXPECT_EQ(*unit_->Deadline(), now_ + KeywordUnit::kFrameGap);
  EXPECT_FALSE(unit_->Expire(now_ + KeywordUnit::kFrameGap - std::chrono::milliseconds(1)));
  EXPECT_TRUE(unit_->Expire(now_ + KeywordUnit::kFrameGap));
  EXPECT_FALSE(unit_->Partial());
  EXPECT_EQ(unit_->LastDrop(), "incomplete");
  // A frame begun again after the pause is taken whole, the rest of the old one is not.
  const TimePoint later = now_ + std::chrono::milliseconds(100);
  EXPECT_TRUE(Feed({start[0], start[1], start[2]}, later).empty());
  const std::vector<Bytes> frames = Feed(start, later + KeywordUnit::kFrameGap);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], start);
}

TEST_F(KeywordUnitTest, TakesOnlyWellFormedFramesForItsAddress) {
  Make();
  std::string why;
  Bytes bad = KeywordRequest({0x21, 0x81});
  bad.back() ^= 0x01;
  EXPECT_FALSE(unit_->Check(bad, &why));
  EXPECT_EQ(why, "dropped: checksum");
  EXPECT_FALSE(unit_->Check(KeywordRequest({0x81}, 0x01), &why));  // another family's target
  EXPECT_EQ(why, "not for the unit:");
  const auto r = unit_->Check(KeywordRequest({0x21, 0x81}), &why);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->command, 0x21);
  EXPECT_EQ(r->index, 0x81);
  EXPECT_FALSE(r->block);
  const auto start = unit_->Check(KeywordRequest({0x81}), &why);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->index, -1);
}

TEST_F(KeywordUnitTest, AnswersEachServiceWithItsLayout) {
  Make();
  const struct {
    Bytes request;
    const char* answer;  // data bytes, service answer first
  } cases[] = {
      {KeywordRequest({0x81}), "C1 E9 8F"},
      {KeywordRequest({0x1A, 0x80}),
       "5A 80 4B 56 52 00 30 36 2D 57 48 19 07 21 00 12 25 22 20 55 01 02 03"},
      {KeywordRequest({0x1A, 0x92}), "5A 92 32 35 32 32 32 30 35 35 30 30 31"},
      {KeywordRequest({0x1A, 0x93}), "5A 93 03"},
      {KeywordRequest({0x1A, 0x94}), "5A 94 32 35 32 32 32 30 35 36 30 30 32"},
      {KeywordRequest({0x1A, 0x95}), "5A 95 02 0E"},
      {KeywordRequest({0x1A, 0x99}), "7F 1A 31"},
      {KeywordRequest({0x10, 0x81}), "50 81"},
      {KeywordRequest({0x10, 0x85}), "7F 10 12"},
      {KeywordRequest({0x21, 0x36}), "61 36 70"},
      {KeywordRequest({0x21, 0x99}), "7F 21 31"},
      {KeywordRequest({0x18, 0xFA, 0x00, 0x00}), "58 02 18 01 24 18 20 01"},
      {KeywordRequest({0x17, 0x18, 0x01}), "57 01 18 01 24 03 C6 28 B1 00 80 64"},
      {KeywordRequest({0x17, 0x18, 0x20}), "57 01 18 20 01 01 50 78 A7 24 C8 00"},
      {KeywordRequest({0x17, 0x12, 0x34}), "7F 17 31"},
      {KeywordRequest({0x31, 0x03}), "71 31 23"},
      {KeywordRequest({0x31, 0x04}), "7F 31 31"},
      {KeywordRequest({0x22, 0x01}), "7F 22 11"},
      {KeywordRequest({0x3E}), "7F 3E 11"},
  };
  for (const auto& c : cases) EXPECT_EQ(Hex(Ask(c.request)), c.answer) << Hex(c.request);
}

TEST_F(KeywordUnitTest, OperatingDataComeFromTheModel) {
  Make();
  const HeaterModel& m = unit_->Model();
  const Bytes values = Ask(KeywordRequest({0x21, 0x81}));
  ASSERT_EQ(values.size(), 8u);
  EXPECT_EQ(values[3], OldTemperatureByte(m.TemperatureC()));
  EXPECT_EQ(values[4], OldResistanceByte(m.GlowPlugMohm()));
  EXPECT_EQ(values[5], OldVoltageByte(m.SupplyMv()));
  EXPECT_EQ(values[6], OldVoltageByte(10200));
  EXPECT_EQ(values[7], 0x13);  // at rest: off state
  // At rest nothing runs: no fan, no pump period, only the main switch among the inputs.
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x21, 0x82}))), "61 82 00 00 00 00 00 00 04");
}

TEST_F(KeywordUnitTest, ARunningHeaterShowsInTheOperatingData) {
  Make("d06-running");
  const Bytes cold = Ask(KeywordRequest({0x21, 0x81}));
  clock_.Advance(std::chrono::seconds(50));  // started, burning at full load
  const Bytes warm = Ask(KeywordRequest({0x21, 0x81}));
  ASSERT_EQ(warm.size(), 8u);
  EXPECT_LT(warm[3], cold[3]);  // the sensor's byte falls as the water warms
  EXPECT_EQ(warm[7], 0x15);     // full load
  const Bytes actuators = Ask(KeywordRequest({0x21, 0x82}));
  ASSERT_EQ(actuators.size(), 9u);
  EXPECT_EQ(actuators[3], 229);   // fan at 90 %
  EXPECT_EQ(actuators[6], 28);    // 3.6 Hz: a period of 28/100 s
  EXPECT_EQ(actuators[7], 0x0D);  // fan, circulating pump, fuel pump
  EXPECT_EQ(actuators[8], 0x24);  // main switch, flame
  EXPECT_EQ(unit_->OperatingMode(), 0x21);

  // A fixed fuel pump period from the scenario, 0 included.
  Make("d06-running", R"({"keyword": {"fuelPumpPeriod": 0}})");
  clock_.Advance(std::chrono::seconds(50));
  EXPECT_EQ(Ask(KeywordRequest({0x21, 0x82}))[6], 0);
}

TEST_F(KeywordUnitTest, InputsAndFuelTypeOfTheScenario) {
  Make("d06", R"({"inputs": {"summer": true, "mainSwitch": false, "supplementalRequest": true},
                  "configuration": {"fuelType": "gasoline"}})");
  EXPECT_EQ(Ask(KeywordRequest({0x21, 0x82}))[8], 0x0B);
}

TEST_F(KeywordUnitTest, AccessNeedsTheKeyOfTheSessionsSeed) {
  Make();
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x27, 0x06, 0x00, 0x00}))), "7F 27 22");  // no seed asked
  Ask(KeywordRequest({0x81}));
  const Bytes seed = Ask(KeywordRequest({0x27, 0x05}));
  ASSERT_EQ(seed.size(), 4u);
  EXPECT_EQ(Hex(Bytes(seed.begin(), seed.begin() + 2)), "67 05");
  const auto s = static_cast<std::uint16_t>(seed[2] << 8 | seed[3]);
  EXPECT_EQ(s, unit_->Seed());
  const std::uint16_t key = KeywordAccessKey(s);
  const auto k1 = static_cast<std::uint8_t>(key >> 8);
  const auto k2 = static_cast<std::uint8_t>(key & 0xFF);
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x27, 0x06, k1, static_cast<std::uint8_t>(k2 ^ 1)}))),
            "7F 27 35");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x27, 0x06, k1, k2}))), "67 06");
  // A repeated answer (the first reply lost on the line) is taken again.
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x27, 0x06, k1, k2}))), "67 06");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x27, 0x07}))), "7F 27 12");

  // Every session has a seed of its own.
  std::set<std::uint16_t> seeds = {s};
  for (int i = 0; i < 5; ++i) {
    Ask(KeywordRequest({0x81}));
    const Bytes next = Ask(KeywordRequest({0x27, 0x05}));
    ASSERT_EQ(next.size(), 4u);
    seeds.insert(static_cast<std::uint16_t>(next[2] << 8 | next[3]));
  }
  EXPECT_EQ(seeds.size(), 6u);
  // The key of the old session does not open the new one.
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x27, 0x06, k1, k2}))), "7F 27 35");
}

TEST_F(KeywordUnitTest, ScenarioSwitchesOfTheStart) {
  Make("d06-any-key");
  Ask(KeywordRequest({0x27, 0x05}));
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x27, 0x06, 0x12, 0x34}))), "67 06");
  Make("d06-wrong-key");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x81}))), "C1 C2 46");
}

TEST_F(KeywordUnitTest, FaultMemoryClearsAndCo2IsWritten) {
  Make();
  EXPECT_EQ(unit_->StoredFaultCount(), 2u);
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x14, 0x00, 0x00}))), "54 00 00");
  EXPECT_EQ(unit_->StoredFaultCount(), 0u);
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x18, 0xFA, 0x00, 0x00}))), "58 00");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x17, 0x18, 0x01}))), "7F 17 31");

  EXPECT_EQ(Hex(Ask(KeywordRequest({0x3B, 0x36, 0x7D, 0x00}))), "7B 36");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x21, 0x36}))), "61 36 7D");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x3B, 0x36, 0x10, 0x00}))), "7F 3B 31");  // below the minimum
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x3B, 0x37, 0x7D, 0x00}))), "7F 3B 31");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x3B, 0x36, 0x7D}))), "7F 3B 12");
  EXPECT_EQ(unit_->Co2Value(), 0x7D);
}

TEST_F(KeywordUnitTest, ComponentTestSwitchesTheModel) {
  Make();
  const struct {
    std::uint8_t bit;
    std::uint8_t shows;  // the bit in the component byte of 21 82
  } components[] = {{0x01, 0x04}, {0x02, 0x01}, {0x04, 0x02}, {0x08, 0x08}, {0x10, 0x10}};
  for (const auto& c : components) {
    SCOPED_TRACE(c.bit);
    EXPECT_EQ(Ask(KeywordRequest({0x30, c.bit, 0x07, 0x01})), Bytes({0x70, c.bit, 0x07, 0x01}));
    EXPECT_EQ(Ask(KeywordRequest({0x21, 0x82}))[7], c.shows);
    EXPECT_EQ(Ask(KeywordRequest({0x30, c.bit, 0x07, 0x00})), Bytes({0x70, c.bit, 0x07, 0x00}));
    EXPECT_EQ(Ask(KeywordRequest({0x21, 0x82}))[7], 0);
  }
  Ask(KeywordRequest({0x30, 0x02, 0x07, 0x01}));
  EXPECT_EQ(Ask(KeywordRequest({0x21, 0x82}))[3], 255);  // the fan at its full level
  // Another component's "off" leaves the fan on; the "all off" ends the test.
  Ask(KeywordRequest({0x30, 0x04, 0x07, 0x00}));
  EXPECT_EQ(Ask(KeywordRequest({0x21, 0x82}))[7], 0x01);
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x30, 0x1F, 0x07, 0x00}))), "70 1F 07 00");
  EXPECT_EQ(Ask(KeywordRequest({0x21, 0x82}))[7], 0);

  EXPECT_EQ(Hex(Ask(KeywordRequest({0x30, 0x03, 0x07, 0x01}))), "7F 30 31");  // two at once
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x30, 0x20, 0x07, 0x01}))), "7F 30 31");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x30, 0x01, 0x08, 0x01}))), "7F 30 12");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x30, 0x01, 0x07, 0x02}))), "7F 30 31");

  // Not while the heater burns.
  Make("d06-running");
  EXPECT_EQ(Hex(Ask(KeywordRequest({0x30, 0x02, 0x07, 0x01}))), "7F 30 22");
}

TEST_F(KeywordUnitTest, InjectedRefusalAndWrongEchoStayWellFormed) {
  Make();
  const Bytes request = KeywordRequest({0x21, 0x81}, 0x51, 0xF2);
  EXPECT_EQ(Hex(unit_->Refuse(request, 0x22)),
            Hex(Bytes{0x83, 0xF2, 0x51, 0x7F, 0x21, 0x22, 0x88}));
  for (const Bytes& r : {KeywordRequest({0x81}), KeywordRequest({0x21, 0x81}),
                         KeywordRequest({0x30, 0x1F, 0x07, 0xFF})}) {
    Bytes echo = r;
    unit_->CorruptEcho(echo);
    EXPECT_NE(echo, r);
    EXPECT_TRUE(SumChecks(echo)) << Hex(echo);
    EXPECT_EQ(Hex(Bytes(echo.begin(), echo.begin() + 3)), Hex(Bytes(r.begin(), r.begin() + 3)));
  }
}

TEST(LineTime, ExactForEveryCharacterLength) {
  using std::chrono::nanoseconds;
  EXPECT_EQ(LineTime(10400, 10, 10400), std::chrono::seconds(10));
  EXPECT_EQ(LineTime(10400, 10, 1), nanoseconds(961538));
  EXPECT_EQ(LineTime(10400, 10, 1000), nanoseconds(961538461));
  EXPECT_EQ(LineTime(2400, 11, 2400), std::chrono::seconds(11));
  EXPECT_EQ(LineTime(2400, 11, 0), nanoseconds(0));
}

}  // namespace
}  // namespace heatsim
