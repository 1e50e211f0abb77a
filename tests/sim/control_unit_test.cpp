#include "control_unit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim_test_support.h"

namespace heatsim {
namespace {

using std::chrono::seconds;
using testing::BlockFrame;
using testing::Hex;
using testing::ManualClock;
using testing::Request;

class UnitFixture {
 public:
  explicit UnitFixture(const std::string& name, const std::string& json = "") {
    std::string error;
    Scenario s;
    if (!LoadScenario(name, json, &s, &error)) ADD_FAILURE() << error;
    unit = std::make_unique<ControlUnit>(s, clock.Function());
  }
  Answer Ask(const Bytes& telegram) { return unit->OnTelegram(telegram); }
  Bytes Data(const Bytes& telegram) {
    const Answer a = Ask(telegram);
    if (a.bytes.size() < 4 || a.nak) return {};
    return Bytes(a.bytes.begin() + 3, a.bytes.end() - 1);
  }

  ManualClock clock;
  std::unique_ptr<ControlUnit> unit;
};

// Replies byte for byte, as the tester will see them.
struct ExactCase {
  const char* scenario;
  Bytes request;
  const char* reply;
};

TEST(ControlUnitReplies, ExactBytes) {
  const ExactCase cases[] = {
      // The version request of the bus definition and the 3.2 unit's answer.
      {"v3.2", {0xF4, 0x03, 0x51, 0x0A, 0xAC}, "4F 04 D1 0A 32 A2"},
      {"v1.5", Request({0x51, 0x0A}), "4F 04 D1 0A 15 85"},
      {"v3.2", Request({0x51, 0x0B}), "4F 0B D1 0B 48 59 44 52 4F 20 35 20 E3"},
      {"v3.2", Request({0x38}), "4F 09 B8 0A 00 20 03 FE 03 FF D5"},
      // Fault 0x0A: state 1, counter 3, state 0x34/0, 4 degrees, 12.21 V, 398:51.
      {"v3.2", Request({0x56, 0x02, 0x0A}), "4F 0E D6 02 0A 01 03 34 00 36 2F B2 01 8E 33 BE"},
      {"v3.2", Request({0x56, 0x01}), "4F 08 D6 01 02 0A 01 51 01 C9"},
      {"v3.2", Request({0x99}), "4F 03 7F 11 22"},
      {"v3.2", Request({0x10}), "4F 02 90 DD"},
      {"v1.5", Request({0x52}), "4F 02 D2 9F"},
      // A free telegram from another sender is answered to that sender.
      {"v3.2", Request({0x51, 0x0A}, 0x84), "48 04 D1 0A 32 A5"},
  };
  for (const ExactCase& c : cases) {
    UnitFixture f(c.scenario);
    EXPECT_EQ(Hex(f.Ask(c.request).bytes), c.reply) << c.scenario << ": " << Hex(c.request);
  }
}

// What each protocol version answers: the number of data bytes (L - 2) or the NAK code.
struct LayoutCase {
  const char* scenario;
  Bytes request;
  int dataBytes;  // -1: refused
  int nak;
};

TEST(ControlUnitReplies, EachVersionAnswersWithItsLayout) {
  const LayoutCase cases[] = {
      {"v1.5", Request({0x51, 0x0A}), 2, 0},
      {"v1.5", Request({0x51, 0x0B}), 9, 0},
      {"v1.5", Request({0x51, 0x0C}), -1, 0x12},
      {"v1.5", Request({0x51, 0x01}), 5, 0},
      {"v1.5", Request({0x51, 0x02}), 5, 0},
      {"v1.5", Request({0x51, 0x03}), 6, 0},
      {"v1.5", Request({0x51, 0x09}), 5, 0},
      {"v1.5", Request({0x50, 0x02}), 2, 0},
      {"v1.5", Request({0x50, 0x04}), 9, 0},
      {"v1.5", Request({0x50, 0x05}), 4, 0},
      {"v1.5", Request({0x50, 0x06}), 9, 0},
      {"v1.5", Request({0x50, 0x07}), 5, 0},
      {"v1.5", Request({0x50, 0x01, 0x02}), 6, 0},
      {"v1.5", Request({0x50, 0x0F}), -1, 0x12},
      {"v1.5", Request({0x38}), -1, 0x11},
      {"v1.5", Request({0x56, 0x01}), -1, 0x11},
      {"v1.5", Request({0x57, 0x01}), -1, 0x11},
      {"v1.5", Request({0x53, 0x02}), -1, 0x12},
      {"v1.5", Request({0x23, 0x3C}), -1, 0x11},
      {"v1.5", Request({0x45, 0x01, 0x0A, 0x00, 0x64}), -1, 0x11},
      {"v3.0", Request({0x51, 0x0C}), 6, 0},
      {"v3.0", Request({0x51, 0x01}), 6, 0},
      {"v3.0", Request({0x51, 0x02}), 7, 0},
      {"v3.0", Request({0x51, 0x03}), 7, 0},
      {"v3.0", Request({0x51, 0x09}), 7, 0},
      {"v3.0", Request({0x50, 0x02}), 5, 0},
      {"v3.0", Request({0x50, 0x04}), 4, 0},
      {"v3.0", Request({0x50, 0x05}), 8, 0},  // short forms
      {"v3.0", Request({0x50, 0x07}), 6, 0},
      {"v3.0", Request({0x50, 0x0F}), 4, 0},
      {"v3.0", Request({0x50, 0x0A}), -1, 0x12},  // no burning durations
      {"v3.0", Request({0x50, 0x0B}), 7, 0},
      {"v3.0", Request({0x50, 0x0C}), 7, 0},
      {"v3.0", Request({0x50, 0x11}), -1, 0x12},
      {"v3.0", Request({0x53, 0x02}), 15, 0},
      {"v3.0", Request({0x56, 0x01}), 4, 0},
      {"v3.0", Request({0x57, 0x01}), 4, 0},
      {"v3.0", Request({0x60, 0x98}), -1, 0x12},
      {"v3.0", Request({0x50, 0x01, 0x01}), -1, 0x12},
      {"v3.0", Request({0x52}), -1, 0x11},
      {"v3.0", Request({0x38}), 7, 0},
      {"v3.0", Request({0x60, 0x01}), 9, 0},
      {"v3.1", Request({0x51, 0x02}), 7, 0},
      {"v3.1", Request({0x50, 0x02}), 5, 0},
      {"v3.1", Request({0x50, 0x05}), 9, 0},
      {"v3.1", Request({0x50, 0x07}), 7, 0},
      {"v3.1", Request({0x50, 0x0F}), 6, 0},
      {"v3.1", Request({0x50, 0x0A}), 25, 0},
      {"v3.1", Request({0x50, 0x11}), -1, 0x12},
      {"v3.1", Request({0x56, 0x01}), 2, 0},
      {"v3.1", Request({0x60, 0x98}), 3, 0},
      {"v3.1", Request({0x60, 0x99}), 21, 0},
      {"v3.2", Request({0x51, 0x0C}), 9, 0},
      {"v3.2", Request({0x51, 0x02}), 11, 0},
      {"v3.2", Request({0x50, 0x02}), 6, 0},
      {"v3.2", Request({0x50, 0x05}), 9, 0},
      {"v3.2", Request({0x50, 0x11}), 3, 0},
      {"v3.2", Request({0x56, 0x01}), 6, 0},
      {"v3.2", Request({0x57, 0x01}), 4, 0},
      {"v3.2", Request({0x51, 0x08}), -1, 0x12},
      {"v3.2", Request({0x50}), -1, 0x10},
      {"v3.2", Request({0x50, 0x05, 0x00}), -1, 0x10},
      {"v3.2", Request({0x56, 0x02, 0x77}), -1, 0x31},  // no such fault stored
  };
  for (const LayoutCase& c : cases) {
    UnitFixture f(c.scenario);
    const Answer a = f.Ask(c.request);
    const std::string where =
        std::string(c.scenario) + ": " + Hex(c.request) + " -> " + Hex(a.bytes);
    ASSERT_GE(a.bytes.size(), 4u) << where;
    EXPECT_EQ(Xor(a.bytes), 0) << where;
    EXPECT_EQ(a.bytes[1] + 2u, a.bytes.size()) << where;
    if (c.dataBytes < 0) {
      EXPECT_TRUE(a.nak) << where;
      EXPECT_EQ(a.bytes[2], 0x7F) << where;
      EXPECT_EQ(a.bytes[3], c.nak) << where;
    } else {
      EXPECT_FALSE(a.nak) << where;
      EXPECT_EQ(a.bytes[2], c.request[2] | 0x80) << where;
      EXPECT_EQ(a.bytes[1] - 2, c.dataBytes) << where;
    }
  }
}

TEST(ControlUnitReplies, MeasuredValuesInTheVersionsUnits) {
  // 3.x: degrees + 50 and millivolts; 1.x: the old byte conversions.
  UnitFixture v32("v3.2", R"({"model": {"temperature": 20, "supplyVoltage": 12.5, "noise": 0}})");
  const Bytes d = v32.Data(Request({0x50, 0x05}));
  ASSERT_EQ(d.size(), 9u);
  EXPECT_EQ(d[1], 70);
  EXPECT_EQ(d[2] << 8 | d[3], 12500);

  UnitFixture v15("v1.5", R"({"model": {"temperature": 20, "supplyVoltage": 12.5, "noise": 0}})");
  const Bytes old = v15.Data(Request({0x50, 0x05}));
  ASSERT_EQ(old.size(), 4u);
  EXPECT_EQ(old[1], 187);  // the table's raw value for 20 degrees
  EXPECT_EQ(old[2], 183);  // 12.5 V / 68.26 mV
}

TEST(ControlUnitFaults, ClearEmptiesTheList) {
  UnitFixture v32("v3.2");
  EXPECT_EQ(v32.Data(Request({0x56, 0x01}))[1], 2);
  EXPECT_FALSE(v32.Ask(Request({0x56, 0x03})).nak);
  EXPECT_EQ(Hex(v32.Data(Request({0x56, 0x01}))), "01 00");

  // Before 3.0 the memory has three slots; an empty one reports code 0.
  UnitFixture v15("v1.5");
  EXPECT_EQ(v15.Data(Request({0x50, 0x01, 0x02}))[1], 0x05);
  EXPECT_EQ(v15.Data(Request({0x50, 0x01, 0x02}))[2], 3 << 5);  // state in bits 5-6
  EXPECT_EQ(v15.Data(Request({0x50, 0x01, 0x03}))[1], 0x00);
  EXPECT_TRUE(v15.Ask(Request({0x50, 0x01, 0x04})).nak);
  v15.Ask(Request({0x52}));
  EXPECT_EQ(v15.Data(Request({0x50, 0x01, 0x01}))[1], 0x00);
}

TEST(ControlUnitModes, KeepAliveHoldsTheModeAndItsAbsenceEndsIt) {
  UnitFixture f("v3.2");
  EXPECT_EQ(Hex(f.Data(Request({0x21, 0x3C}))), "3C");
  EXPECT_EQ(f.unit->Mode(), 0x21);
  // A keep-alive every 10 s keeps the mode running for a minute.
  for (int i = 0; i < 6; ++i) {
    f.clock.Advance(seconds(10));
    EXPECT_EQ(Hex(f.Data(Request({0x44, 0x21, 0x00}))), "00") << i;
  }
  EXPECT_EQ(f.unit->Mode(), 0x21);
  // Without it the unit gives the mode up and runs its after-run.
  f.clock.Advance(seconds(21));
  EXPECT_EQ(f.unit->Mode(), 0);
  EXPECT_EQ(f.unit->StateCode(), 0x45);
  EXPECT_EQ(Hex(f.Data(Request({0x44, 0x21, 0x00}))), "01");
  f.clock.Advance(seconds(41));
  EXPECT_EQ(f.unit->StateCode(), 0x04);
}

TEST(ControlUnitModes, RefusalsFollowTheHeatersState) {
  UnitFixture f("v3.2");
  struct Step {
    Bytes request;
    int nak;  // 0: accepted
  };
  const Step steps[] = {
      {Request({0x25}), 0x22},                          // boost needs a flame
      {Request({0x57, 0x03, 0x78}), 0x22},              // CO2 trim needs full load
      {Request({0x45, 0x01, 0x0A, 0x00, 0x64}), 0},     // component test at rest
      {Request({0x20, 0x3C}), 0x22},                    // no heating during the test
      {Request({0x45, 0x00, 0x00, 0x00, 0x00}), 0},     // all off
      {Request({0x45, 0x0D, 0x0A, 0x00, 0x64}), 0x31},  // no nozzle heating fitted
      {Request({0x20, 0x00}), 0x31},                    // no run time
      {Request({0x20, 0x3C}), 0},
      {Request({0x22, 0x3C}), 0x22},                    // no ventilating while burning
      {Request({0x45, 0x01, 0x0A, 0x00, 0x64}), 0x22},  // no component test while burning
      {Request({0x42, 0x03, 0x00, 0x10}), 0x22},        // no fuel prime either
      {Request({0x57, 0x02, 0xFF}), 0x31},              // CO2 outside its range
      {Request({0x10}), 0},
  };
  for (const Step& s : steps) {
    const Answer a = f.Ask(s.request);
    EXPECT_EQ(a.nak ? a.bytes[3] : 0, s.nak) << Hex(s.request);
  }
}

TEST(ControlUnitModes, Co2TrimInFullLoad) {
  UnitFixture f("v3.2");
  f.Ask(Request({0x20, 0x3C}));
  for (int i = 0; i < 8 && !f.unit->Model().FullLoad(); ++i) {
    f.clock.Advance(seconds(10));
    f.Ask(Request({0x44, 0x20, 0x00}));
  }
  ASSERT_TRUE(f.unit->Model().FullLoad());
  EXPECT_EQ(Hex(f.Data(Request({0x57, 0x03, 0x7A}))), "03");
  EXPECT_EQ(f.Data(Request({0x57, 0x01}))[1], 0x7A);
}

TEST(ControlUnitService, CalibrationsChangeWhatTheUnitMeasures) {
  UnitFixture f("v3.2", R"({"model": {"noise": 0}})");
  EXPECT_FALSE(f.Ask(Request({0x42, 0x01, 0x00, 0x33, 0x90})).nak);  // 13.2 V
  const Bytes d = f.Data(Request({0x50, 0x05}));
  EXPECT_EQ(d[2] << 8 | d[3], 13200);
  EXPECT_FALSE(f.Ask(Request({0x42, 0x02, 0x00, 0x02, 0xBC})).nak);  // 0.7 Ohm
  EXPECT_EQ(Hex(f.Data(Request({0x60, 0x98}))), "98 02 BC");
  EXPECT_EQ(f.Ask(Request({0x42, 0x01, 0x00, 0x01, 0x00})).bytes[3], 0x31);  // 0.256 V
  EXPECT_EQ(f.Ask(Request({0x42, 0x01, 0x00, 0x33})).bytes[3], 0x10);        // one byte short

  // Before 3.0 the value is one byte in the old units.
  UnitFixture v15("v1.5", R"({"model": {"noise": 0}})");
  EXPECT_FALSE(v15.Ask(Request({0x42, 0x01, 0x00, 0xC0})).nak);  // 192 -> 13106 mV
  EXPECT_EQ(v15.Data(Request({0x50, 0x05}))[2], 0xC0);
}

TEST(ControlUnitService, ComponentTestDrivesOneOutputForItsRunTime) {
  UnitFixture f("v3.2");
  // Fuel pump at 50 x 0.05 Hz for 10 s: the set value is in the unit of the actuator reading.
  EXPECT_EQ(Hex(f.Data(Request({0x45, 0x02, 0x0A, 0x00, 0x32}))), "02");
  EXPECT_EQ(f.unit->StateCode(), 0x51);
  EXPECT_EQ(f.Data(Request({0x50, 0x0F}))[2], 0x32);
  EXPECT_EQ(f.Data(Request({0x50, 0x03}))[1], 0x04);
  f.clock.Advance(seconds(11));
  EXPECT_EQ(f.Data(Request({0x50, 0x0F}))[2], 0x00);
  EXPECT_EQ(f.unit->StateCode(), 0x04);
  // Fuel prime: the duration byte counts two seconds.
  EXPECT_FALSE(f.Ask(Request({0x42, 0x03, 0x00, 0x05})).nak);
  f.clock.Advance(seconds(9));
  EXPECT_GT(f.Data(Request({0x50, 0x0F}))[2], 0);
  f.clock.Advance(seconds(2));
  EXPECT_EQ(f.Data(Request({0x50, 0x0F}))[2], 0);
}

TEST(ControlUnitEeprom, CellsReadAndWrite) {
  UnitFixture f("v3.2", R"({"eeprom": {"stuck": ["0x40"]}})");
  EXPECT_EQ(Hex(f.Data(Request({0x33, 0x00, 0x21, 0x5A}))), "00 21 5A");
  EXPECT_EQ(f.unit->Eeprom()[0x21], 0x5A);
  EXPECT_EQ(Hex(f.Data(Request({0x32, 0x00, 0x21}))), "00 21 5A");
  // A cell that does not take the write answers with what it still holds.
  const std::uint8_t held = f.unit->Eeprom()[0x40];
  const Bytes stuck = f.Data(Request({0x33, 0x00, 0x40, static_cast<std::uint8_t>(held ^ 0xFF)}));
  EXPECT_EQ(stuck[2], held);
  EXPECT_EQ(f.Ask(Request({0x32, 0x04, 0x00})).bytes[3], 0x31);  // beyond 1024 cells
  EXPECT_EQ(f.Ask(Request({0x33, 0x00, 0x21})).bytes[3], 0x10);
}

// Block mode: the switch telegram, the bare frames and the end frame, per version.
TEST(ControlUnitBlockMode, ThreePointTwoSelectsPages) {
  UnitFixture f("v3.2");
  const Answer sw = f.Ask(Request({0x34, 0x20, 0x00}));
  EXPECT_EQ(Hex(sw.bytes), "4F 03 B4 20 D8");
  EXPECT_EQ(sw.rateAfter, 9600);
  ASSERT_TRUE(f.unit->BlockMode());
  const Bytes& e = f.unit->Eeprom();
  const std::uint8_t at20 = e[0x20];
  EXPECT_EQ(Hex(f.unit->OnBlockFrame(BlockFrame({0x03, 0x20})).bytes),
            Hex(BlockFrame({0x03, 0x20, at20})));
  EXPECT_EQ(Hex(f.unit->OnBlockFrame(BlockFrame({0x04, 0x21, 0x99})).bytes),
            Hex(BlockFrame({0x04, 0x21, 0x99})));
  EXPECT_EQ(Hex(f.unit->OnBlockFrame(BlockFrame({0x05, 0x02})).bytes), "05 02 07");
  EXPECT_EQ(f.unit->OnBlockFrame(BlockFrame({0x04, 0x10, 0x77})).bytes[2], 0x77);
  EXPECT_EQ(f.unit->Eeprom()[0x210], 0x77);
  EXPECT_TRUE(f.unit->OnBlockFrame(BlockFrame({0x05, 0x04})).bytes.empty());  // no page 4
  EXPECT_EQ(f.unit->BlockFrameRest(0x09), 1u);
  const Answer end = f.unit->OnBlockFrame(BlockFrame({0x09}));
  EXPECT_EQ(Hex(end.bytes), "09 09 00");
  EXPECT_EQ(end.rateAfter, 2400);
  EXPECT_FALSE(f.unit->BlockMode());
  EXPECT_EQ(f.unit->Eeprom()[0x21], 0x99);
}

TEST(ControlUnitBlockMode, OlderUnitsAnswerWithoutTheCommandByte) {
  UnitFixture v31("v3.1");
  EXPECT_EQ(v31.Ask(Request({0x34, 0x96, 0x00})).bytes[3], 0x31);  // 45000 baud
  EXPECT_EQ(v31.Ask(Request({0x34, 0x40, 0x00})).rateAfter, 19200);
  EXPECT_EQ(v31.unit->BlockFrameRest(0x09), 2u);
  EXPECT_TRUE(v31.unit->OnBlockFrame(BlockFrame({0x05, 0x00})).bytes.empty());  // no pages
  EXPECT_EQ(Hex(v31.unit->OnBlockFrame(BlockFrame({0x09, 0x09})).bytes), "09 09 00");

  UnitFixture v15("v1.5");
  EXPECT_EQ(v15.Ask(Request({0x34, 0x20, 0x00})).bytes[3], 0x31);  // only 0x96, 0x48, 0x24
  const Answer sw = v15.Ask(Request({0x34, 0x48, 0x01}));
  EXPECT_EQ(sw.rateAfter, 4800);
  const std::uint8_t held = v15.unit->Eeprom()[0x105];
  EXPECT_EQ(Hex(v15.unit->OnBlockFrame(BlockFrame({0x03, 0x05})).bytes),
            Hex(BlockFrame({0x05, held})));
  EXPECT_EQ(Hex(v15.unit->OnBlockFrame(BlockFrame({0x04, 0x06, 0x42})).bytes),
            Hex(BlockFrame({0x06, 0x42})));
  EXPECT_EQ(v15.unit->Eeprom()[0x106], 0x42);
}

TEST(ControlUnitDebug, HaltStepAndSetState) {
  UnitFixture f("v3.2");
  // Not in debug mode: the status says so in its last byte.
  Bytes status = f.Data(Request({0x60, 0x01}));
  ASSERT_EQ(status.size(), 9u);
  EXPECT_EQ(status[8], 0);
  f.Ask(Request({0x20, 0x3C}));
  EXPECT_EQ(f.Data(Request({0x60, 0x03}))[8], 1);  // halted
  f.clock.Advance(seconds(9));
  f.Ask(Request({0x44, 0x20, 0x00}));
  EXPECT_EQ(f.unit->StateCode(), 0x08);    // still in the fan start
  status = f.Data(Request({0x60, 0x05}));  // step now
  EXPECT_EQ(status[1], 0x2E);
  EXPECT_EQ(status[6], 0x08);  // the state before
  EXPECT_EQ(status[7], 0xFE);
  EXPECT_EQ(f.Data(Request({0x60, 0x06, 0x1C}))[1], 0x1C);  // forced into ventilating
  EXPECT_EQ(f.Ask(Request({0x60, 0x06, 0xEE})).bytes[3], 0x31);
  f.Ask(Request({0x60, 0x00}));
  EXPECT_EQ(f.Data(Request({0x60, 0x01}))[8], 0);

  UnitFixture v15("v1.5");  // 60 is the component test there
  EXPECT_EQ(Hex(v15.Data(Request({0x60, 0x10}))), "10");
  EXPECT_EQ(v15.Data(Request({0x50, 0x03}))[1], 0x10);  // the fan runs
}

}  // namespace
}  // namespace heatsim
