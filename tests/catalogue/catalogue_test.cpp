#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/hbus/catalogue.h"

namespace heatdiag {
namespace {

struct DeviceCase {
  std::uint32_t device;
  std::size_t rows;
  std::size_t faultBlocks;
  std::size_t rowsPerBlock;  // heading row included
};

class DriverCatalogueTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(DriverCatalogueTest, RowCountAndFaultBlocks) {
  const DeviceCase& c = GetParam();
  const ParameterCatalogue catalogue = DriverCatalogue(c.device);
  ASSERT_EQ(catalogue.size(), c.rows);
  const FaultBlockLayout layout = FaultBlocksOf(catalogue);
  EXPECT_EQ(layout.blocks, c.faultBlocks);
  EXPECT_EQ(layout.rowsPerBlock, c.rowsPerBlock);
  ASSERT_NE(layout.countRow, FaultBlockLayout::npos);
  EXPECT_EQ(NameText(catalogue[layout.countRow].nameId, NameForm::kLong), "Count of faults");
  EXPECT_LT(layout.countRow, layout.firstRow);

  // Block k: a "Fault k" heading with the fault code, then detail rows, all with slot k-1.
  for (std::size_t k = 0; k < layout.blocks; ++k) {
    const std::size_t first = layout.firstRow + k * layout.rowsPerBlock;
    const ParameterDescriptor& heading = catalogue[first];
    EXPECT_EQ(heading.viewMask & 0xFFFF, kViewFaultHeading) << first;
    EXPECT_EQ(heading.kind, ValueKind::kUnsigned) << first;
    EXPECT_EQ(NameText(heading.nameId, NameForm::kLong), "Fault " + std::to_string(k + 1));
    for (std::size_t r = first; r < first + layout.rowsPerBlock; ++r) {
      EXPECT_EQ(FaultSlot(catalogue[r].viewMask), k) << "row " << r;
      EXPECT_NE(catalogue[r].viewMask & kViewFaultList, 0u) << "row " << r;
      EXPECT_EQ(catalogue[r].viewMask & ~(kViewFaultList | kViewFaultSlotMask), 0u) << r;
    }
    if (k > 0) {
      // Every block repeats the first one's detail rows.
      for (std::size_t d = 1; d < layout.rowsPerBlock; ++d) {
        const ParameterDescriptor& a = catalogue[layout.firstRow + d];
        const ParameterDescriptor& b = catalogue[first + d];
        EXPECT_EQ(a.nameId, b.nameId);
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.viewMask & 0xFFFF, b.viewMask & 0xFFFF);
      }
    }
  }
  // No fault-list row outside the blocks.
  const std::size_t end = layout.firstRow + layout.blocks * layout.rowsPerBlock;
  for (std::size_t r = 0; r < catalogue.size(); ++r) {
    if (r >= layout.firstRow && r < end) continue;
    EXPECT_EQ(catalogue[r].viewMask & (kViewFaultList | kViewFaultSlotMask), 0u) << "row " << r;
  }
}

TEST_P(DriverCatalogueTest, EveryRowIsWellFormed) {
  const ParameterCatalogue catalogue = DriverCatalogue(GetParam().device);
  const std::set<std::string> resolutions = {"1", "0.1", "0.01", "0.001", "0.5", ""};
  constexpr std::uint32_t kKnownBits =
      0x000F | 0x0020 | 0x0040 | 0x0080 | 0x0F00 | 0x1000 | 0x2000 | 0x4000 | kViewFaultSlotMask;
  for (std::size_t r = 0; r < catalogue.size(); ++r) {
    const ParameterDescriptor& row = catalogue[r];
    SCOPED_TRACE("row " + std::to_string(r));
    // Names and units resolve, and every name has a long and (where it has one) a short part.
    ASSERT_NE(FindString(row.nameId), nullptr) << row.nameId;
    EXPECT_GE(row.nameId, 40000u);
    EXPECT_LE(row.nameId, 59999u);
    EXPECT_FALSE(NameText(row.nameId, NameForm::kLong).empty());
    EXPECT_FALSE(NameText(row.nameId, NameForm::kShort).empty());
    if (row.unitId != kUnitNone) {
      EXPECT_GE(row.unitId, 10000u);
      EXPECT_LE(row.unitId, 10012u);
    }
    EXPECT_NE(row.viewMask, 0u);
    EXPECT_EQ(row.viewMask & ~kKnownBits, 0u);
    // The numeric texts are terminated inside their field.
    EXPECT_LT(strnlen(row.min, sizeof row.min), sizeof row.min);
    EXPECT_LT(strnlen(row.max, sizeof row.max), sizeof row.max);
    EXPECT_LT(strnlen(row.resolution, sizeof row.resolution), sizeof row.resolution);
    switch (row.kind) {
      case ValueKind::kText:
        EXPECT_GE(row.size, 2u);
        EXPECT_STREQ(row.min, "");
        EXPECT_STREQ(row.max, "");
        EXPECT_STREQ(row.resolution, "");
        // A text is no curve.
        EXPECT_EQ(row.viewMask & kViewGraph, 0u);
        break;
      case ValueKind::kSigned:
      case ValueKind::kUnsigned:
        EXPECT_EQ(row.size, 4u);
        EXPECT_TRUE(resolutions.count(row.resolution)) << row.resolution;
        if (row.min[0] != '\0' && row.max[0] != '\0') {
          EXPECT_LT(std::strtol(row.min, nullptr, 10), std::strtol(row.max, nullptr, 10));
        }
        break;
      case ValueKind::kReal:
        EXPECT_EQ(row.size, 8u);
        EXPECT_TRUE(resolutions.count(row.resolution)) << row.resolution;
        EXPECT_LT(std::atof(row.min), std::atof(row.max));
        break;
      default:
        ADD_FAILURE() << "kind " << static_cast<int>(row.kind);
    }
  }
}

TEST_P(DriverCatalogueTest, OperatingAndDeviceStateRowsHoldAStateText) {
  const ParameterCatalogue catalogue = DriverCatalogue(GetParam().device);
  for (std::size_t r = 0; r < catalogue.size(); ++r) {
    const std::string name = NameText(catalogue[r].nameId, NameForm::kLong);
    if (name == "Device state" || name.find("perating state") != std::string::npos) {
      EXPECT_EQ(catalogue[r].kind, ValueKind::kText) << r;
      EXPECT_EQ(catalogue[r].size, 80u) << r;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, DriverCatalogueTest,
    ::testing::Values(DeviceCase{0, 157, 8, 8}, DeviceCase{1, 37, 3, 5}, DeviceCase{2, 22, 4, 2},
                      DeviceCase{3, 44, 3, 5}, DeviceCase{4, 32, 3, 2}, DeviceCase{5, 41, 3, 5},
                      DeviceCase{6, 58, 3, 9}, DeviceCase{7, 34, 3, 5}, DeviceCase{8, 49, 5, 4},
                      DeviceCase{9, 37, 5, 3}, DeviceCase{10, 39, 5, 3}, DeviceCase{11, 39, 5, 3},
                      DeviceCase{12, 26, 7, 2}, DeviceCase{13, 46, 6, 3}, DeviceCase{14, 54, 7, 3},
                      DeviceCase{15, 27, 7, 2}, DeviceCase{16, 25, 7, 2}, DeviceCase{17, 25, 7, 2},
                      DeviceCase{18, 51, 9, 4}),
    [](const auto& param) { return "D" + std::to_string(param.param.device); });

TEST(DriverCatalogue, SharedModulesAndIndexesBeyondTheTable) {
  EXPECT_EQ(DriverCatalogue(11).data(), DriverCatalogue(10).data());
  EXPECT_EQ(DriverCatalogue(17).data(), DriverCatalogue(16).data());
  EXPECT_EQ(DriverCatalogue(0).data(), HBusCatalogue().data());
  for (std::uint32_t device : {kDeviceCount, 20u, 0xFFFFFFFFu}) {
    EXPECT_TRUE(DriverCatalogue(device).empty()) << device;
  }
}

// Rows whose position other modules rely on: the H-Bus decoders, the keyword-link water
// heater's decoders and the slow link's fault clearing address them by number.
struct KnownRow {
  std::uint32_t device;
  std::size_t row;
  const char* longName;
  const char* shortName;
  const char* unit;
};

TEST(DriverCatalogue, RowsAtTheirKnownPositions) {
  const KnownRow rows[] = {
      {0, 0, "H-Bus version", "H-Bus version", ""},
      {0, 3, "Glow plug", "GP", "[%]"},
      {0, 6, "Combustion air fan", "CAF", "[1/min]"},
      {0, 15, "Ignition (Terminal 15)", "T15", ""},
      {0, 27, "Circulating pump in control idle period", "Circulating pump in control idle period",
       ""},
      {0, 30, "Temperature", "Temp", "[°C]"},
      {0, 33, "Flame detector", "FD", "[Ohm]"},
      {0, 34, "Heating energy", "HE", "[W]"},
      {0, 52, "Operating state", "OS", ""},
      {0, 57, "Fault counter PH", "SZ/PH", ""},
      {0, 70, "Farstart code", "Farstart code", ""},
      {0, 74, "Delay for supply voltage max. detection", "Delay for supply voltage max. detection",
       "[s]"},
      {0, 75, "Count of faults", "Count of faults", ""},
      {0, 76, "Fault 1", "Fault 1", ""},
      {0, 83, "Operating hour counter", "Operating hour counter", "[h:m]"},
      {0, 84, "Fault 2", "Fault 2", ""},
      {0, 132, "Fault 8", "Fault 8", ""},
      {0, 139, "Operating hour counter", "Operating hour counter", "[h:m]"},
      {0, 140, "CO2 value", "CO2 value", ""},
      {0, 143, "Device state", "Device state", ""},
      {0, 146, "Überhitzungstemperatur", "UEHT", "[°C]"},
      {0, 149, "Gradient Applikationsüberwachung", "GAPPL", "[°C]"},
      {0, 152, "Temperature", "Temp", "[°C]"},
      {0, 155, "BM-PWM Istwert", "PWM-ACT", ""},
      {0, 156, "Glow plug", "GP", "[Ohm]"},
      {6, 0, "Combustion air fan", "CAF", "[%]"},
      {6, 2, "Fuel pump", "FP", "[Hz]"},
      {6, 9, "Circulating pump", "CP", ""},
      {6, 11, "Fuel type", "Fuel type", ""},
      {6, 16, "Flame detector", "FD", "[Ohm]"},
      {6, 17, "Operating state", "OS", ""},
      {6, 22, "Customer identification number", "Customer identification number", ""},
      {6, 23, "Count of faults", "Count of faults", ""},
      {6, 24, "Fault 1", "Fault 1", ""},
      {6, 31, "Combustion air fan", "Combustion air fan", ""},
      {6, 32, "Glow Plug", "Glow Plug", ""},
      {6, 33, "Fault 2", "Fault 2", ""},
      {6, 51, "CO2 value", "CO2 value", ""},
      {6, 52, "Device state", "Device state", ""},
      {6, 53, "Overheat flag", "UEHFL", ""},
      {6, 54, "Minimum voltage threshold", "Minimum voltage threshold", "[V]"},
      {6, 57, "Start count", "Start count", ""},
      {8, 20, "ADR mode (ADR detected)", "ADR", ""},
      {8, 26, "State of fault", "State of fault", ""},
      {8, 27, "Operating hour counter", "Operating hour counter", "[h]"},
      {12, 6, "actual operating state", "aOS", ""},
      {12, 8, "Count of faults", "Count of faults", ""},
      {14, 10, "Combustion air fan voltage", "U-CAF", "[V]"},
      {14, 25, "Thermal fuse", "TS", ""},
      {18, 1, "HW version", "HW version", "[week/year]"},
      {18, 50, "Counter", "Counter", ""},
  };
  for (const KnownRow& k : rows) {
    const ParameterCatalogue catalogue = DriverCatalogue(k.device);
    SCOPED_TRACE("D" + std::to_string(k.device) + " row " + std::to_string(k.row));
    EXPECT_EQ(ParameterName(catalogue, k.row, NameForm::kLong), k.longName);
    EXPECT_EQ(ParameterName(catalogue, k.row, NameForm::kShort), k.shortName);
    EXPECT_EQ(ParameterUnit(catalogue, k.row), k.unit);
  }
}

// A few H-Bus rows field by field, chosen where a neighbour differs in one field only.
TEST(HBusCatalogue, RowsAsListed) {
  struct {
    std::size_t row;
    ValueKind kind;
    std::uint32_t size;
    const char* min;
    const char* max;
    const char* resolution;
    std::uint32_t unit;
    std::uint32_t view;
  } rows[] = {
      {0, ValueKind::kText, 8, "", "", "", kUnitNone, 0x40},
      {1, ValueKind::kText, 10, "", "", "", kUnitNone, 0x2040},
      {2, ValueKind::kText, 17, "", "", "", kUnitNone, 0x40},
      {4, ValueKind::kReal, 8, "0", "5", "0.001", kUnitHertz, 0x5004},
      {5, ValueKind::kUnsigned, 4, "0", "100", "1", kUnitPercent, 0x5004},
      {6, ValueKind::kUnsigned, 4, "0", "5000", "1", kUnitPerMinute, 0x5004},
      {10, ValueKind::kUnsigned, 4, "0", "1", "1", kUnitNone, 0x5002},
      {11, ValueKind::kUnsigned, 4, "0", "1", "1", kUnitNone, 0x2},
      {18, ValueKind::kUnsigned, 4, "0", "1", "1", kUnitNone, 0x8},
      {19, ValueKind::kUnsigned, 4, "0", "1", "1", kUnitNone, 0x5008},
      {28, ValueKind::kUnsigned, 4, "0", "60", "1", kUnitMinute, 0x40},
      {30, ValueKind::kSigned, 4, "-40", "120", "1", kUnitCelsius, 0x5001},
      {31, ValueKind::kReal, 8, "0", "20", "0.01", kUnitVolt, 0x5001},
      {34, ValueKind::kUnsigned, 4, "0", "2000", "1", kUnitWatt, 0x5001},
      {36, ValueKind::kText, 20, "", "", "", kUnitHourMinute, 0x2020},
      {38, ValueKind::kUnsigned, 4, "", "", "", kUnitNone, 0x2020},
      {52, ValueKind::kText, 80, "", "", "", kUnitNone, 0x4008},
      {59, ValueKind::kUnsigned, 4, "0", "255", "1", kUnitNone, 0x8},
      {67, ValueKind::kText, 40, "", "", "", kUnitNone, 0x2040},
      {72, ValueKind::kReal, 8, "0", "20", "0.01", kUnitVolt, 0x2040},
      {73, ValueKind::kUnsigned, 4, "0", "255", "1", kUnitSecond, 0x2040},
      {75, ValueKind::kUnsigned, 4, "", "", "", kUnitNone, 0x80},
      {76, ValueKind::kUnsigned, 4, "", "", "", kUnitNone, 0x100},
      {77, ValueKind::kUnsigned, 4, "", "", "", kUnitNone, 0x200},
      {78, ValueKind::kText, 10, "", "", "", kUnitNone, 0x400},
      {80, ValueKind::kSigned, 4, "-40", "120", "1", kUnitCelsius, 0x400},
      {81, ValueKind::kText, 80, "", "", "", kUnitNone, 0x400},
      {82, ValueKind::kReal, 8, "0", "20", "0.01", kUnitVolt, 0x400},
      {84, ValueKind::kUnsigned, 4, "", "", "", kUnitNone, 0x10100},
      {85, ValueKind::kUnsigned, 4, "", "", "", kUnitNone, 0x10200},
      {86, ValueKind::kText, 10, "", "", "", kUnitNone, 0x10400},
      {132, ValueKind::kUnsigned, 4, "", "", "", kUnitNone, 0x70100},
      {133, ValueKind::kUnsigned, 4, "", "", "", kUnitNone, 0x70200},
      {139, ValueKind::kText, 20, "", "", "", kUnitHourMinute, 0x70400},
      {142, ValueKind::kUnsigned, 4, "0", "255", "1", kUnitNone, 0x1},
      {143, ValueKind::kText, 80, "", "", "", kUnitNone, 0x6008},
      {145, ValueKind::kSigned, 4, "-40", "120", "1", kUnitCelsius, 0x40},
      {146, ValueKind::kReal, 8, "-50", "250", "0.1", kUnitCelsius, 0x5002},
      {147, ValueKind::kReal, 8, "-100", "100", "0.1", kUnitCelsius, 0x4001},
      {152, ValueKind::kSigned, 4, "-40", "120", "0.1", kUnitCelsius, 0x5001},
      {153, ValueKind::kReal, 8, "5", "35", "0.1", kUnitCelsius, 0x4002},
      {156, ValueKind::kReal, 8, "0", "6", "0.001", kUnitOhm, 0x5002},
  };
  const ParameterCatalogue catalogue = HBusCatalogue();
  ASSERT_EQ(catalogue.size(), kHBusCatalogueRows);
  for (const auto& e : rows) {
    const ParameterDescriptor& row = catalogue[e.row];
    SCOPED_TRACE("row " + std::to_string(e.row));
    EXPECT_EQ(row.kind, e.kind);
    EXPECT_EQ(row.size, e.size);
    EXPECT_STREQ(row.min, e.min);
    EXPECT_STREQ(row.max, e.max);
    EXPECT_STREQ(row.resolution, e.resolution);
    EXPECT_EQ(row.unitId, e.unit);
    EXPECT_EQ(row.viewMask, e.view);
  }
  const FaultBlockLayout layout = FaultBlocksOf(catalogue);
  EXPECT_EQ(layout.firstRow, kHBusFirstFaultRow);
  EXPECT_EQ(layout.rowsPerBlock, kHBusFaultBlockRows);
  EXPECT_EQ(layout.blocks, kHBusFaultBlocks);
  EXPECT_EQ(layout.countRow, 75u);
}

// The keyword-link water heater writes 41 characters into its customer identification row.
TEST(DriverCatalogue, TextRowsHoldWhatTheirDecodersWrite) {
  EXPECT_GE(DriverCatalogue(6)[22].size, 42u);
  EXPECT_GE(DriverCatalogue(6)[24 + 1].size, 8u);  // "%04X/%02X"
}

TEST(FaultBlocksOf, CataloguesWithoutOrWithOneBlock) {
  const ParameterDescriptor none[] = {
      {ValueKind::kUnsigned, 4, "0", "1", "1", 40007, kUnitNone, 0x5002},
  };
  const FaultBlockLayout empty = FaultBlocksOf(none);
  EXPECT_EQ(empty.blocks, 0u);
  EXPECT_EQ(empty.countRow, FaultBlockLayout::npos);
  EXPECT_EQ(FaultBlocksOf({}).blocks, 0u);

  const ParameterDescriptor one[] = {
      {ValueKind::kUnsigned, 4, "", "", "", 40069, kUnitNone, 0x80},
      {ValueKind::kUnsigned, 4, "", "", "", 40070, kUnitNone, 0x100},
      {ValueKind::kText, 10, "", "", "", 40080, kUnitNone, 0x400},
      {ValueKind::kUnsigned, 4, "", "", "", 40081, kUnitNone, 0x400},
      {ValueKind::kText, 80, "", "", "", 40089, kUnitNone, 0x6008},
  };
  const FaultBlockLayout single = FaultBlocksOf(one);
  EXPECT_EQ(single.countRow, 0u);
  EXPECT_EQ(single.firstRow, 1u);
  EXPECT_EQ(single.blocks, 1u);
  EXPECT_EQ(single.rowsPerBlock, 3u);
}

TEST(ParameterName, LongAndShortPartsOfTheName) {
  const ParameterCatalogue catalogue = HBusCatalogue();
  struct {
    std::size_t row;
    NameForm form;
    const char* text;
  } cases[] = {
      {3, NameForm::kLong, "Glow plug"},   {3, NameForm::kShort, "GP"},
      {13, NameForm::kShort, "D+"},        {57, NameForm::kShort, "SZ/PH"},
      {1, NameForm::kLong, "Device name"}, {1, NameForm::kShort, "Device name"},
      {157, NameForm::kLong, ""},          {100000, NameForm::kShort, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParameterName(catalogue, c.row, c.form), c.text) << c.row;
  }
  EXPECT_EQ(NameText(0, NameForm::kLong), "");
  EXPECT_EQ(NameText(1, NameForm::kShort), "");
  EXPECT_EQ(ParameterUnit(catalogue, 157), "");
}

TEST(CatalogueTexts, UnitsAndSmallTablesVerbatim) {
  struct {
    std::uint32_t id;
    const char* text;
  } texts[] = {
      {10000, "[%]"},
      {10001, "[V]"},
      {10002, "[°C]"},
      {10003, "[Hz]"},
      {10004, "[Ohm]"},
      {10005, "[h:m]"},
      {10006, "[1/min]"},
      {10007, "[min]"},
      {10008, "[W]"},
      {10009, "[s]"},
      {10010, "[week/year]"},
      {10011, "[h]"},
      {10012, "[0..255]"},
      {10500, "Diesel"},
      {10504, "locked"},
      {10510, "off"},
      {10511, "on"},
      {10513, "%d fault(s)"},
      {10518, "invalid"},
      {10519, "Date"},
      {10520, "Time"},
      {10521, "Part load"},
      {10535, "Fault"},
      {10538, "???"},
      {10539, "12V"},
      {10540, "24V"},
      {18000, "not actual, not stored"},
      {18003, "actual and stored"},
      {18004, "not actual"},
      {18100, "short circuit"},
      {18106, "hysteresis"},
      {10734, "TLVL\nFart load -> full load"},
      {10659, "UP_I\nInitialization µP"},
      {10757, "WTR\nwaiting for T < control temp. - 5K"},
  };
  for (const auto& t : texts) {
    const char* found = FindString(t.id);
    ASSERT_NE(found, nullptr) << t.id;
    EXPECT_STREQ(found, t.text) << t.id;
  }
  for (std::uint32_t id : {10505u, 10536u, 10537u, 10541u, 18005u, 18107u}) {
    EXPECT_EQ(FindString(id), nullptr) << id;
  }
  EXPECT_EQ(UnitText(kUnitNone), "");
  EXPECT_EQ(UnitText(kUnitCelsius), "[°C]");
}

TEST(CatalogueTexts, NoIdIsDefinedTwice) {
  std::set<std::uint32_t> ids;
  for (const StringEntry& e : CatalogueTexts()) {
    EXPECT_TRUE(ids.insert(e.id).second) << e.id;
  }
  const auto duplicates = DuplicateStringIds();
  for (std::uint32_t id : duplicates) {
    EXPECT_EQ(ids.count(id), 0u) << "another area also defines " << id;
  }
}

}  // namespace
}  // namespace heatdiag
