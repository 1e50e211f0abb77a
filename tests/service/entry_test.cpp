// Decimal entry and the calibration ranges.
#include <gtest/gtest.h>

#include "service/calibration.h"
#include "service/decimal_entry.h"
#include "service/service_texts.h"

namespace heatdiag::service {
namespace {

TEST(DecimalEntry, WholeNumberIsTheRunOfDigitsAtTheStart) {
  EXPECT_EQ(ParseWholeNumber("158"), 158u);
  EXPECT_EQ(ParseWholeNumber(" 12s"), 12u);
  EXPECT_EQ(ParseWholeNumber("0"), 0u);
  EXPECT_EQ(ParseWholeNumber(""), std::nullopt);
  EXPECT_EQ(ParseWholeNumber("abc"), std::nullopt);
  EXPECT_EQ(ParseWholeNumber("-5"), std::nullopt);
  EXPECT_EQ(ParseWholeNumber("99999999999999999999999999"), kEntrySaturation);
}

TEST(DecimalEntry, FixedPointScalesByTheDecimals) {
  struct Case {
    const char* text;
    unsigned decimals;
    std::optional<std::uint64_t> value;
  } const cases[] = {
      {"12", 3, 12000},      {"13,5", 3, 13500},     {"13.5", 3, 13500},      {"12,5", 1, 125},
      {"12", 1, 120},        {"7", 2, 700},          {"5,0001", 3, 5000},     {"0,2", 3, 200},
      {",5", 1, 5},          {"1,25", 1, 12},        {"3,9", 0, 3},           {"12V", 3, 12000},
      {"", 3, std::nullopt}, {",", 2, std::nullopt}, {"x1", 1, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseFixedPoint(c.text, c.decimals), c.value) << c.text << " / " << c.decimals;
}

TEST(Calibration, RangesAreInclusiveAndOnlyThreeDecimalsAreRead) {
  struct Case {
    Calibration calibration;
    const char* text;
    std::optional<std::uint16_t> milli;
  } const cases[] = {
      {Calibration::kVoltage, "10", 10000},
      {Calibration::kVoltage, "30", 30000},
      {Calibration::kVoltage, "12.6", 12600},
      {Calibration::kVoltage, "30,001", std::nullopt},
      {Calibration::kVoltage, "9,999", std::nullopt},
      {Calibration::kVoltage, "volts", std::nullopt},
      {Calibration::kVoltage, "99999999999", std::nullopt},
      {Calibration::kGlowPlug, "0,2", 200},
      {Calibration::kGlowPlug, "5,0001", 5000},
      {Calibration::kGlowPlug, "5,001", std::nullopt},
      {Calibration::kGlowPlug, "0,199", std::nullopt},
      // Only 15 characters are read: the digits beyond do not count.
      {Calibration::kVoltage, "000000000000012,5", 12000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseCalibrationEntry(c.calibration, c.text), c.milli) << c.text;
  EXPECT_EQ(RangeOf(Calibration::kVoltage).messageId, kTextVoltageRange);
  EXPECT_EQ(RangeOf(Calibration::kGlowPlug).messageId, kTextGlowPlugRange);
}

TEST(Calibration, StoredValuesAreShownWithThreeDecimals) {
  EXPECT_EQ(FormatMilli(12000), "12.000");
  EXPECT_EQ(FormatMilli(500), "0.500");
  EXPECT_EQ(FormatMilli(13505), "13.505");
  EXPECT_EQ(FormatMilli(-1500), "-1.500");
}

}  // namespace
}  // namespace heatdiag::service
