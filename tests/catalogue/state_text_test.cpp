#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/hbus/catalogue.h"

namespace heatdiag {
namespace {

struct StateCase {
  const char* table;
  StateNameTable states;
  std::uint8_t code;
  int number;
  const char* longText;
  const char* shortText;
};

class StateTextTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(StateTextTest, LongAndShortForm) {
  const StateCase& c = GetParam();
  EXPECT_EQ(StateText(c.states, c.code, c.number), c.longText);
  EXPECT_EQ(StateShortText(c.states, c.code, c.number), c.shortText);
}

const StateNameTable kV3 = HBusStateTableV3();
const StateNameTable kV1 = HBusStateTableBeforeV3();

INSTANTIATE_TEST_SUITE_P(
    HBus, StateTextTest,
    ::testing::Values(
        // From 3.0 the number comes from the telegram.
        StateCase{"v3", kV3, 0x2E, 2, "Glowing 2", "VGL2"},
        StateCase{"v3", kV3, 0x2E, 0, "Glowing", "VGL"},
        StateCase{"v3", kV3, 0x00, 0, "Burn out", "ABR"},
        StateCase{"v3", kV3, 0x55, 0, "Fan idle", "GBU"},
        StateCase{"v3", kV3, 0x56, 0, "Break away", "LOS"},
        StateCase{"v3", kV3, 0x5D, 1, "Start-up attempt 1", "SV1"},
        StateCase{"v3", kV3, 0x61, 0, "Fault memory update prior switch off", "FSAA"},
        StateCase{"v3", kV3, 0x62, 0, "Unknown state 98", "??? 98"},
        StateCase{"v3", kV3, 0xFF, 3, "Unknown state 255", "??? 255"},
        // Before 3.0 the table carries the step number; a telegram number overrides it.
        StateCase{"v1", kV1, 0x02, 0, "Burn out 12", "ABR12"},
        StateCase{"v1", kV1, 0x11, 0, "Burn out 71", "ABR71"},
        StateCase{"v1", kV1, 0x02, 5, "Burn out 5", "ABR5"},
        StateCase{"v1", kV1, 0x00, 0, "Initialisation", "INIT"},
        StateCase{"v1", kV1, 0x13, 0, "Off state", "AUS"},
        StateCase{"v1", kV1, 0x1F, 0, "Fuel supply 42", "BFOE42"},
        StateCase{"v1", kV1, 0x46, 0, "Glowing 10", "VGL10"},
        StateCase{"v1", kV1, 0x48, 0, "Glowing 21", "VGL21"},
        StateCase{"v1", kV1, 0x50, 0, "Break away", "LOS"},
        StateCase{"v1", kV1, 0x55, 0, "Prestart fuel supply 5", "VFOE5"},
        // The gaps of the early table.
        StateCase{"v1", kV1, 0x49, 0, "Unknown state 73", "??? 73"},
        StateCase{"v1", kV1, 0x51, 0, "Unknown state 81", "??? 81"},
        // No table at all.
        StateCase{"none", StateNameTable(), 7, 0, "Unknown state 7", "??? 7"},
        StateCase{"none", StateNameTable(), 0, 4, "Unknown state 0", "??? 0"}));

TEST(StateText, SearchStopsAtAnEndRecord) {
  const StateNameEntry table[] = {
      {1, 0, 10604},  // AUS
      {2, 0, 0},      // end of table
      {3, 0, 10646},  // VGL, beyond the end
  };
  EXPECT_EQ(StateText(table, 1, 0), "Off state");
  EXPECT_EQ(StateText(table, 3, 0), "Unknown state 3");
  EXPECT_EQ(StateShortText(table, 2, 0), "??? 2");
  EXPECT_EQ(FindState(table, 3), nullptr);
}

TEST(StateText, FirstRecordOfACodeWins) {
  const StateNameEntry table[] = {{5, 1, 10646}, {5, 2, 10604}};
  EXPECT_EQ(StateText(table, 5, 0), "Glowing 1");
}

TEST(HBusStateTable, PickedByTheReportedVersion) {
  struct {
    std::uint8_t version;
    std::size_t records;
  } cases[] = {{0x00, 77}, {0x10, 77}, {0x29, 77}, {0x2F, 77},
               {0x30, 98}, {0x33, 98}, {0x39, 98}, {0xFF, 98}};
  for (const auto& c : cases) {
    EXPECT_EQ(HBusStateTable(c.version).size(), c.records) << int(c.version);
  }
}

// The codes that the H-Bus component test treats as resting states.
TEST(HBusStateTable, RestingStatesHaveTheirNames) {
  EXPECT_EQ(StateShortText(kV3, 0x01, 0), "ABSCH");
  EXPECT_EQ(StateShortText(kV3, 0x04, 0), "AUS");
  EXPECT_EQ(StateShortText(kV3, 0x0A, 0), "DIAG");
  EXPECT_EQ(StateShortText(kV3, 0x16, 0), "INIT");
  EXPECT_EQ(StateShortText(kV3, 0x51, 0), "KOMP");
  EXPECT_EQ(StateShortText(kV1, 0x13, 0), "AUS");
}

struct TableCase {
  const char* name;
  StateNameTable table;
  std::size_t records;
  bool stepNumbers;  // false: shownNumber is 0 throughout
};

class StateTableShapeTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(StateTableShapeTest, CountCodesAndTexts) {
  const TableCase& c = GetParam();
  ASSERT_EQ(c.table.size(), c.records);
  bool anyNumber = false;
  for (std::size_t i = 0; i < c.table.size(); ++i) {
    const StateNameEntry& e = c.table[i];
    if (i > 0) {
      EXPECT_LT(c.table[i - 1].code, e.code) << "codes ascend and are unique, at " << i;
    }
    ASSERT_GE(e.textId, kFirstStateTextId) << i;
    ASSERT_LE(e.textId, 10769u) << i;
    EXPECT_NE(FindString(e.textId), nullptr) << e.textId;
    EXPECT_EQ(FindState(c.table, e.code), &e);
    anyNumber = anyNumber || e.shownNumber != 0;
  }
  EXPECT_EQ(anyNumber, c.stepNumbers);
}

INSTANTIATE_TEST_SUITE_P(Drivers, StateTableShapeTest,
                         ::testing::Values(TableCase{"D00 v3", HBusStateTableV3(), 98, false},
                                           TableCase{"D00 early", HBusStateTableBeforeV3(), 77,
                                                     true},
                                           TableCase{"D01", DriverStateTable(1), 122, true},
                                           TableCase{"D03", DriverStateTable(3), 122, true},
                                           TableCase{"D04", DriverStateTable(4), 122, true},
                                           TableCase{"D05", DriverStateTable(5), 122, true},
                                           TableCase{"D06", DriverStateTable(6), 122, true},
                                           TableCase{"D07", DriverStateTable(7), 36, true},
                                           TableCase{"D08", DriverStateTable(8), 44, true},
                                           TableCase{"D10", DriverStateTable(10), 73, true},
                                           TableCase{"D11", DriverStateTable(11), 73, true},
                                           TableCase{"D12", DriverStateTable(12), 29, true},
                                           TableCase{"D14", DriverStateTable(14), 50, true},
                                           TableCase{"D15", DriverStateTable(15), 48, true},
                                           TableCase{"D18", DriverStateTable(18), 27, false}),
                         [](const auto& param) {
                           std::string name = param.param.name;
                           for (char& ch : name) {
                             if (ch == ' ') ch = '_';
                           }
                           return name;
                         });

TEST(DriverStateTable, RecordsWithoutTableAndIndexesBeyondTheTable) {
  for (std::uint32_t device : {2u, 9u, 13u, 16u, 17u, 19u, 20u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(DriverStateTable(device).empty()) << device;
  }
  EXPECT_EQ(DriverStateTable(0).data(), HBusStateTableV3().data());
  EXPECT_EQ(DriverStateTable(11).data(), DriverStateTable(10).data());
}

// The water heaters of the keyword family run the early H-Bus state machine: codes that both
// know must read alike, so that a technician sees the same name for the same state.
TEST(DriverStateTable, WaterHeatersAgreeWithTheEarlyHBusCodes) {
  const StateNameTable water = DriverStateTable(6);
  for (const StateNameEntry& early : HBusStateTableBeforeV3()) {
    const StateNameEntry* e = FindState(water, early.code);
    ASSERT_NE(e, nullptr) << int(early.code);
    EXPECT_EQ(e->textId, early.textId) << int(early.code);
    EXPECT_EQ(e->shownNumber, early.shownNumber) << int(early.code);
  }
}

TEST(StateTexts, EveryTextHasAShortCodeAndALongText) {
  for (std::uint32_t id = kFirstStateTextId; id <= 10769; ++id) {
    const char* text = FindString(id);
    ASSERT_NE(text, nullptr) << id;
    const std::string_view view(text);
    const auto newline = view.find('\n');
    ASSERT_NE(newline, std::string_view::npos) << id;
    EXPECT_GT(newline, 0u) << id;
    EXPECT_LT(newline + 1, view.size()) << id;
    EXPECT_EQ(view.find('\n', newline + 1), std::string_view::npos) << id;
  }
  EXPECT_STREQ(FindString(kUnknownStateTextId), "???\nUnknown state");
  EXPECT_EQ(FindString(10770), nullptr);
}

}  // namespace
}  // namespace heatdiag
