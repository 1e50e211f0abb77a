#include "heater_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "units.h"

namespace heatsim {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

Scenario Load(const std::string& name, const std::string& json = "") {
  Scenario s;
  std::string error;
  if (!LoadScenario(name, json, &s, &error)) ADD_FAILURE() << error;
  return s;
}

// Runs the model second by second and records each state change (code, number).
std::vector<std::pair<int, int>> StatesOver(HeaterModel* m, int duration, bool keepAlive) {
  std::vector<std::pair<int, int>> states = {{m->StateCode(), m->StateNumber()}};
  for (int t = 1; t <= duration; ++t) {
    m->AdvanceTo(m->Now() + std::chrono::seconds(1));
    if (keepAlive && t % 10 == 0) m->KeepAlive(m->Mode());
    const std::pair<int, int> now = {m->StateCode(), m->StateNumber()};
    if (now != states.back()) states.push_back(now);
  }
  return states;
}

TEST(HeaterModel, StartSequenceFromOffToCombustion) {
  HeaterModel m(Load("v3.2"), milliseconds(0));
  EXPECT_EQ(m.StateCode(), 0x04);
  ASSERT_EQ(m.StartMode(0x21, 60), Refusal::kNone);
  const double cold = m.TemperatureC();
  const auto states = StatesOver(&m, 60, true);
  const std::vector<std::pair<int, int>> expected = {{0x08, 0}, {0x2E, 1}, {0x2E, 2}, {0x2E, 3},
                                                     {0x2D, 0}, {0x34, 0}, {0x40, 0}, {0x06, 0}};
  EXPECT_EQ(states, expected);
  EXPECT_TRUE(m.Outputs().flame);
  EXPECT_GT(m.TemperatureC(), cold + 10.0);
  EXPECT_GT(m.Outputs().fuelPumpTwentiethHz, 0);
  EXPECT_EQ(m.Counters().startCount, Load("v3.2").model.startCount + 1);
}

TEST(HeaterModel, OldUnitsNumberTheirStatesDifferently) {
  HeaterModel m(Load("v1.5"), milliseconds(0));
  EXPECT_EQ(m.StateCode(), 0x13);
  ASSERT_EQ(m.StartMode(0x20, 60), Refusal::kNone);
  const auto states = StatesOver(&m, 45, true);
  const std::vector<std::pair<int, int>> expected = {{0x28, 0}, {0x40, 1}, {0x41, 2}, {0x42, 3},
                                                     {0x3E, 0}, {0x24, 0}, {0x25, 0}, {0x15, 0}};
  EXPECT_EQ(states, expected);
}

TEST(HeaterModel, TemperatureControlCyclesTheBurner) {
  HeaterModel m(Load("v3.2"), milliseconds(0));
  m.StartMode(0x20, 120);
  const auto states = StatesOver(&m, 600, true);
  // Full load, part load above the lower threshold, control idle above the upper one, and a
  // new start once the water has cooled.
  std::vector<int> codes;
  for (const auto& s : states) codes.push_back(s.first);
  const auto at = [&](int code) {
    return std::find(codes.begin(), codes.end(), code) - codes.begin();
  };
  ASSERT_LT(at(0x06), at(0x05));
  ASSERT_LT(at(0x05), at(0x20));
  EXPECT_NE(std::find(codes.begin() + at(0x20), codes.end(), 0x08), codes.end());
  EXPECT_LT(m.TemperatureC(), 90.0);
}

TEST(HeaterModel, ModeEndsWithoutKeepAliveAndAfterItsRunTime) {
  HeaterModel a(Load("v3.2"), milliseconds(0));
  a.StartMode(0x21, 60);
  a.AdvanceTo(seconds(19));
  EXPECT_EQ(a.Mode(), 0x21);
  a.AdvanceTo(seconds(21));
  EXPECT_EQ(a.Mode(), 0);
  EXPECT_EQ(a.StateCode(), 0x45);  // after-run
  a.AdvanceTo(seconds(62));
  EXPECT_EQ(a.StateCode(), 0x04);
  EXPECT_EQ(a.Outputs().fanHalfPercent, 0);

  HeaterModel b(Load("v3.2"), milliseconds(0));
  b.StartMode(0x22, 1);  // ventilating for one minute
  StatesOver(&b, 59, true);
  EXPECT_EQ(b.Mode(), 0x22);
  StatesOver(&b, 2, true);
  EXPECT_EQ(b.Mode(), 0);
  EXPECT_EQ(b.StateCode(), 0x04);
}

TEST(HeaterModel, NoiseIsSeeded) {
  const auto run = [](const std::string& json) {
    HeaterModel m(Load("v3.2", json), milliseconds(0));
    std::vector<int> mv;
    for (int i = 1; i <= 50; ++i) {
      m.AdvanceTo(milliseconds(100 * i));
      mv.push_back(m.SupplyMv());
    }
    return mv;
  };
  const auto first = run(R"({"model": {"seed": 7}})");
  EXPECT_EQ(first, run(R"({"model": {"seed": 7}})"));
  EXPECT_NE(first, run(R"({"model": {"seed": 8}})"));
  for (const int mv : first) EXPECT_NEAR(mv, 12600, 40);
}

TEST(HeaterModel, CountersAdvanceWhileWorking) {
  HeaterModel m(Load("v3.2"), milliseconds(0));
  const ModelStart before = m.Counters();
  m.StartMode(0x23, 60);  // supplemental heating
  StatesOver(&m, 120, true);
  const ModelStart& after = m.Counters();
  EXPECT_EQ(after.workingMinutes, before.workingMinutes + 2);
  EXPECT_EQ(after.workingShMinutes, before.workingShMinutes + 2);
  EXPECT_EQ(after.workingPhMinutes, before.workingPhMinutes);
  EXPECT_EQ(after.startsSh, before.startsSh + 1);
  EXPECT_EQ(after.startsPh, before.startsPh);
  // The flame burns from the ignition (about 25 s) into the control idle period (about 115 s).
  EXPECT_EQ(after.operatingMinutes, before.operatingMinutes + 1);
}

TEST(HeaterModel, DebugHaltFreezesAndStepsOneStateAtATime) {
  HeaterModel m(Load("v3.2"), milliseconds(0));
  m.StartMode(0x20, 60);
  ASSERT_TRUE(m.Debug(DebugAction::kHalt));
  m.AdvanceTo(seconds(8));
  EXPECT_EQ(m.StateCode(), 0x08);
  EXPECT_EQ(m.Debug().runTimeSet, 30);
  EXPECT_LT(m.Debug().runTimeActual, 30);
  ASSERT_TRUE(m.Debug(DebugAction::kStep));  // goes on to the next state, then halts again
  m.AdvanceTo(seconds(15));
  EXPECT_EQ(m.StateCode(), 0x2E);
  m.KeepAlive(0x20);
  m.AdvanceTo(seconds(25));
  EXPECT_EQ(m.StateCode(), 0x2E);
  EXPECT_EQ(m.StateNumber(), 1);
  ASSERT_TRUE(m.Debug(DebugAction::kRun));
  m.KeepAlive(0x20);
  m.AdvanceTo(seconds(42));
  EXPECT_EQ(m.StateCode(), 0x2D);
}

// Forward conversions as the tester applies them to the bytes of old units.
double TableTemperature(int raw) {
  static const int table[][2] = {
      {-40, 241}, {-35, 240}, {-30, 238}, {-25, 236}, {-20, 234}, {-15, 230}, {-10, 227},
      {-5, 222},  {0, 217},   {5, 211},   {10, 204},  {15, 196},  {20, 187},  {25, 177},
      {30, 167},  {35, 156},  {40, 145},  {45, 134},  {50, 123},  {55, 112},  {60, 102},
      {65, 92},   {70, 83},   {75, 75},   {80, 67},   {85, 60},   {90, 53},   {95, 47},
      {100, 42},  {105, 38},  {110, 34},  {115, 30},  {120, 27},  {125, 24}};
  if (raw >= 241) return -40;
  if (raw <= 24) return 125;
  for (std::size_t i = 0; i + 1 < std::size(table); ++i) {
    if (raw <= table[i][1] && raw >= table[i + 1][1]) {
      return table[i][0] + (raw - table[i][1]) * (table[i + 1][0] - table[i][0]) /
                               static_cast<double>(table[i + 1][1] - table[i][1]);
    }
  }
  return 999;
}

TEST(OldUnits, ConversionsComeBackThroughTheTestersFormulas) {
  for (int c = -40; c <= 125; ++c) {
    // Below -20 one raw step spans up to five degrees.
    EXPECT_NEAR(TableTemperature(OldTemperatureByte(c)), c, c < -20 ? 2.5 : 1.0) << c;
  }
  EXPECT_EQ(OldTemperatureByte(-60), 241);
  EXPECT_EQ(OldTemperatureByte(140), 24);
  for (int mv = 8000; mv <= 16000; mv += 37) {
    EXPECT_NEAR(OldVoltageByte(mv) * 6826 / 100.0, mv, 35) << mv;
  }
  EXPECT_EQ(OldVoltageByte(20000), 255);
  for (int mohm = 200; mohm <= 3000; mohm += 13) {
    const int raw = OldResistanceByte(mohm);
    EXPECT_NEAR(raw * 1000000.0 / (204800 - 1000 * raw), mohm, mohm * 0.03 + 8) << mohm;
  }
  EXPECT_EQ(OldResistanceMohm(0), 0);
  EXPECT_EQ(OldResistanceMohm(204), 0);
}

}  // namespace
}  // namespace heatsim
