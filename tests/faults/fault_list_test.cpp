#include "views/fault_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "drivers/catalogue/name_ids.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"

namespace heatdiag {
namespace {

using K = ValueKind;

// A stray detail row before the first fault, two fault blocks, and rows of other views.
enum Row : std::uint32_t {
  kStray,
  kCode1,
  kState1,
  kTemperature1,
  kCode2,
  kState2,
  kCount,
  kMeasured,
  kRowCount
};
const ParameterDescriptor kRows[kRowCount] = {
    {K::kUnsigned, 4, "", "", "", kNameCounter, kUnitNone, 0x400},
    {K::kUnsigned, 4, "", "", "", kNameFault1, kUnitNone, 0x100},
    {K::kUnsigned, 4, "", "", "", kNameFaultState, kUnitNone, 0x200},
    {K::kSigned, 4, "-40", "120", "1", kNameFaultTemperature, kUnitCelsius, 0x400},
    {K::kUnsigned, 4, "", "", "", kNameFault2, kUnitNone, 0x100},
    {K::kUnsigned, 4, "", "", "", kNameFaultState, kUnitNone, 0x200},
    {K::kUnsigned, 4, "", "", "", kNameFaultCount, kUnitNone, 0x80},
    {K::kSigned, 4, "-40", "120", "1", kNameFaultTemperature, kUnitCelsius, 0x1},
};

class FaultListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StoreStartup();
    ASSERT_EQ(StoreInit(kRows), 1);
  }
  void TearDown() override { StoreStartup(); }

  static void Deliver(std::uint32_t row, std::int32_t value) {
    StoreWrite(row, kStoreS32, 0, &value);
    StoreSetPresent(row, 1);
    StoreSetShown(row, 1);
  }
  // Two faults: code 10 stored, and a code the texts do not know with a state out of range.
  static void TwoFaults() {
    Deliver(kCode1, 10);
    Deliver(kState1, 3);
    Deliver(kTemperature1, 71);
    Deliver(kCode2, 300);
    Deliver(kState2, 7);
    Deliver(kCount, 2);
    Deliver(kMeasured, 20);
    StoreSetDataValid();
  }
};

TEST_F(FaultListTest, EmptyMemoryShowsNoFaultOnceTheDataAreComplete) {
  FaultListRows list = BuildFaultList();
  EXPECT_TRUE(list.rows.empty());
  EXPECT_EQ(FaultDescriptionOfRow(list, 0), "No error");

  StoreSetDataValid();
  list = BuildFaultList();
  ASSERT_EQ(list.rows.size(), 1u);
  EXPECT_TRUE(list.noFault);
  EXPECT_EQ(list.rows[0].name, "no fault");
  EXPECT_FALSE(list.rows[0].item.has_value());
  EXPECT_EQ(FaultDescriptionOfRow(list, 0), "No error");
}

TEST_F(FaultListTest, FaultRowsWithTextsAndIndentedDetails) {
  TwoFaults();
  const FaultListRows list = BuildFaultList();
  struct Expected {
    std::uint32_t item;
    const char* name;
    const char* value;
    const char* unit;
    std::uint32_t fault;
  };
  const Expected expected[] = {
      {kCode1, "Fault 1", "Glow plug / flame sensor short circuit", "", kCode1},
      {kState1, "    State of fault", "actual and stored", "", kCode1},
      {kTemperature1, "    Temperature", "71", "[°C]", kCode1},
      {kCode2, "Fault 2", "?", "", kCode2},
      {kState2, "    State of fault", "?", "", kCode2},
  };
  ASSERT_EQ(list.rows.size(), std::size(expected));
  EXPECT_FALSE(list.noFault);
  for (std::size_t r = 0; r < std::size(expected); ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(list.rows[r].item, expected[r].item);
    EXPECT_EQ(list.rows[r].name, expected[r].name);
    EXPECT_EQ(list.rows[r].value, expected[r].value);
    EXPECT_EQ(list.rows[r].unit, expected[r].unit);
    EXPECT_EQ(list.rowFault[r], expected[r].fault);
  }
  // Rows beyond the list belong to no fault.
  EXPECT_EQ(list.rowFault[std::size(expected)], kRowCount);
}

TEST_F(FaultListTest, EveryRowOfAFaultShowsItsDescription) {
  TwoFaults();
  const FaultListRows list = BuildFaultList();
  const char* kGlowPlug = "Glow plug / flame sensor circuit has short circuit to ground";
  EXPECT_EQ(FaultDescriptionOfRow(list, 0), kGlowPlug);
  EXPECT_EQ(FaultDescriptionOfRow(list, 1), kGlowPlug);
  EXPECT_EQ(FaultDescriptionOfRow(list, 2), kGlowPlug);
  EXPECT_EQ(FaultDescriptionOfRow(list, 3), "?");  // code 300
  EXPECT_EQ(FaultDescriptionOfRow(list, 4), "?");
  EXPECT_EQ(FaultDescriptionOfRow(list, 5), std::nullopt);
  EXPECT_EQ(FaultDescriptionOfRow(list, 256), std::nullopt);
}

TEST_F(FaultListTest, DetailAboveTheFirstFaultBelongsToNone) {
  Deliver(kStray, 4);
  Deliver(kCode1, 1);
  StoreSetDataValid();
  const FaultListRows list = BuildFaultList();
  ASSERT_EQ(list.rows.size(), 2u);
  EXPECT_EQ(list.rows[0].name, "    Counter");
  EXPECT_EQ(list.rowFault[0], kRowCount);
  EXPECT_EQ(FaultDescriptionOfRow(list, 0), std::nullopt);
  EXPECT_EQ(FaultDescriptionOfRow(list, 1),
            "Defective control unit, end-of-line programming is not performed\n"
            "or water temperature sensor defective");
}

TEST_F(FaultListTest, ValueNotDeliveredStaysEmpty) {
  StoreSetPresent(kCode1, 1);  // present, but the unit has not reported it yet
  StoreSetPresent(kState1, 1);
  EXPECT_EQ(FaultValueText(kCode1), "");
  EXPECT_EQ(FaultValueText(kState1), "");
  Deliver(kCode1, 0);
  EXPECT_EQ(FaultValueText(kCode1), "No error");
  StoreSetShown(kCode1, 0);
  EXPECT_EQ(FaultValueText(kCode1), "");
}

TEST_F(FaultListTest, CollectsEachFaultWithItsStateAndDetails) {
  Deliver(kStray, 4);
  TwoFaults();
  const std::vector<FaultRecord> faults = CollectFaults();
  ASSERT_EQ(faults.size(), 2u);
  EXPECT_EQ(faults[0].code, 10);
  EXPECT_EQ(faults[0].state, 3);
  ASSERT_EQ(faults[0].details.size(), 1u);
  EXPECT_EQ(faults[0].details[0].name, "Temperature");
  EXPECT_EQ(faults[0].details[0].value, "71");
  EXPECT_EQ(faults[0].details[0].unit, "[°C]");
  EXPECT_EQ(faults[1].code, 300);
  EXPECT_EQ(faults[1].state, 7);
  EXPECT_TRUE(faults[1].details.empty());
}

TEST(FaultListLimit, StopsAt256Rows) {
  StoreStartup();
  const std::vector<ParameterDescriptor> rows(
      300, {K::kUnsigned, 4, "", "", "", kNameFault1, kUnitNone, 0x100});
  ASSERT_EQ(StoreInit(rows), 1);
  for (std::uint32_t row = 0; row < rows.size(); ++row) StoreSetPresent(row, 1);
  const FaultListRows list = BuildFaultList();
  EXPECT_EQ(list.rows.size(), kFaultListMaxRows);
  EXPECT_EQ(list.rowFault[255], 255u);
  StoreStartup();
}

}  // namespace
}  // namespace heatdiag
