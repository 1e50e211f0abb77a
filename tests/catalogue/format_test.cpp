#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "drivers/catalogue/parameter.h"

namespace heatdiag {
namespace {

struct RealCase {
  double value;
  double resolution;
  const char* text;
};

class FormatRealTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(FormatRealTest, ShowsTheValueWithTheResolutionsDecimals) {
  const RealCase& c = GetParam();
  EXPECT_EQ(FormatReal(c.value, c.resolution), c.text)
      << "value " << c.value << " resolution " << c.resolution;
}

INSTANTIATE_TEST_SUITE_P(
    Rounding, FormatRealTest,
    ::testing::Values(
        // Decimals by resolution, trailing zeros stripped, comma as separator.
        RealCase{12.5, 0.01, "12,5"}, RealCase{3.0, 0.001, "3"}, RealCase{12.3456, 0.001, "12,346"},
        RealCase{12.34, 0.01, "12,34"}, RealCase{7.25, 0.1, "7,3"}, RealCase{0.5, 0.5, "0,5"},
        RealCase{99.6, 1, "100"}, RealCase{2.5, 5, "3"},
        // Zeros of the integer part are never stripped.
        RealCase{10.0, 0.1, "10"}, RealCase{100.0, 0.01, "100"}, RealCase{0.0, 0.001, "0"},
        RealCase{120.0, 1, "120"},
        // Half away from zero, also where the binary value lies a hair below the half.
        RealCase{12.345, 0.01, "12,35"}, RealCase{1.0005, 0.001, "1,001"},
        RealCase{-2.675, 0.01, "-2,68"}, RealCase{-1.05, 0.1, "-1,1"}, RealCase{1234.5, 1, "1235"},
        RealCase{-1234.5, 1, "-1235"},
        // A negative value below one keeps its sign; one that rounds to zero shows none.
        RealCase{-0.5, 0.1, "-0,5"}, RealCase{-0.042, 0.001, "-0,042"},
        RealCase{-0.0004, 0.001, "0"}, RealCase{-0.4, 1, "0"}, RealCase{-12.5, 0.01, "-12,5"},
        // An empty resolution text parses as 0: three decimals.
        RealCase{12.0, 0.0, "12"}, RealCase{0.123, 0.0, "0,123"}));

TEST(FormatReal, ValuesBeyondTheIntegerRangeAndNonNumbersGiveText) {
  EXPECT_EQ(FormatReal(std::numeric_limits<double>::quiet_NaN(), 0.01), "nan");
  EXPECT_EQ(FormatReal(std::numeric_limits<double>::infinity(), 0.01), "inf");
  EXPECT_EQ(FormatReal(-std::numeric_limits<double>::infinity(), 1), "-inf");
  EXPECT_EQ(FormatReal(1e20, 0.001), "100000000000000000000");
  EXPECT_EQ(FormatReal(-1e20, 1), "-100000000000000000000");
  EXPECT_EQ(FormatReal(4.0e9, 1), "4000000000");  // beyond 32 bits
  EXPECT_FALSE(FormatReal(std::numeric_limits<double>::max(), 0.1).empty());
  EXPECT_EQ(FormatReal(1.5, std::numeric_limits<double>::quiet_NaN()), "2");
}

TEST(BytesToHex, WritesTwoUpperCaseDigitsPerByteCutToTheLimit) {
  const std::vector<std::uint8_t> bytes = {0x00, 0xAB, 0xFF, 0x5c};
  struct {
    std::size_t maxChars;
    const char* text;
  } cases[] = {{std::size_t(-1), "00ABFF5C"}, {8, "00ABFF5C"}, {7, "00ABFF5"}, {2, "00"}, {0, ""}};
  for (const auto& c : cases) EXPECT_EQ(BytesToHex(bytes, c.maxChars), c.text) << c.maxChars;
  EXPECT_EQ(BytesToHex({}), "");
}

TEST(HexToBytes, ReadsDigitPairsAndCountsOtherCharactersAsZero) {
  struct {
    const char* text;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"", {}},
      {"00ABff", {0x00, 0xAB, 0xFF}},
      {"G1Z", {0x01, 0x00}},  // a lone last digit is the high nibble
      {"ABC", {0xAB, 0xC0}},
      {"-7", {0x07}},
  };
  for (const auto& c : cases) EXPECT_EQ(HexToBytes(c.text), c.bytes) << c.text;
}

TEST(HexToBytes, NeverWritesBeyondTheTarget) {
  std::uint8_t out[3] = {0xEE, 0xEE, 0xEE};
  EXPECT_EQ(HexToBytes("0102030405", std::span(out, 2)), 2u);
  EXPECT_EQ(out[0], 0x01);
  EXPECT_EQ(out[1], 0x02);
  EXPECT_EQ(out[2], 0xEE);
  EXPECT_EQ(HexToBytes("0102", std::span<std::uint8_t>()), 0u);
}

TEST(BitsToText, WritesMostSignificantBitFirst) {
  struct {
    std::uint32_t value;
    unsigned count;
    const char* text;
  } cases[] = {
      {5, 4, "0101"},
      {0xA5, 8, "10100101"},
      {0x1FF, 8, "11111111"},  // bits above the count are not shown
      {0x80000000u, 32, "10000000000000000000000000000000"},
      {3, 0, ""},
      {1, 34, "0000000000000000000000000000000001"},
  };
  for (const auto& c : cases) EXPECT_EQ(BitsToText(c.value, c.count), c.text) << c.value;
}

struct FixedCase {
  const char* text;
  unsigned decimals;
  std::optional<std::int64_t> value;
};

class ParseFixedTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(ParseFixedTest, ScalesByTenToTheDecimals) {
  const FixedCase& c = GetParam();
  EXPECT_EQ(ParseFixed(c.text, c.decimals), c.value) << '"' << c.text << '"';
}

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Entries, ParseFixedTest,
    ::testing::Values(FixedCase{"12,5", 1, 125}, FixedCase{"12", 1, 120}, FixedCase{"12", 3, 12000},
                      FixedCase{"13,5", 3, 13500}, FixedCase{"13.5", 3, 13500},
                      FixedCase{"0,2", 3, 200},
                      FixedCase{"5,0001", 3, 5000},  // digits beyond the decimals are ignored
                      FixedCase{"1,99", 0, 1}, FixedCase{",5", 1, 5}, FixedCase{"12.", 2, 1200},
                      FixedCase{"7 V", 0, 7}, FixedCase{"  30,0", 3, 30000}, FixedCase{"0", 3, 0},
                      // No digit at all.
                      FixedCase{"", 3, std::nullopt}, FixedCase{",", 1, std::nullopt},
                      FixedCase{"abc", 1, std::nullopt}, FixedCase{"-5", 1, std::nullopt},
                      // Beyond the 64-bit range the value saturates (and fails any range check).
                      FixedCase{"99999999999999999999", 0, kMax},
                      FixedCase{"9223372036854775807", 0, kMax},
                      FixedCase{"922337203685477580", 1, 9223372036854775800},
                      FixedCase{"1", 40, 1000000000000000000}));

TEST(DeviceStateText, CountThenTheSetFlagsInTheirOrder) {
  struct {
    unsigned count;
    StatusFlags flags;
    const char* text;
  } cases[] = {
      {0, {}, "no fault"},
      {3, {}, "3 fault(s)"},
      {0, {.overheat = true}, "no fault, UEHFL"},
      {2, {.overheat = true, .fault = true}, "2 fault(s), UEHFL, STFL"},
      {1, {.sleep = true, .leanStart = true}, "1 fault(s), RZFL, SAFL"},
      {8, {true, true, true, true}, "8 fault(s), UEHFL, STFL, RZFL, SAFL"},
  };
  for (const auto& c : cases) EXPECT_EQ(DeviceStateText(c.count, c.flags), c.text);
}

}  // namespace
}  // namespace heatdiag
