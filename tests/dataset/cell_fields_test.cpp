#include "dataset/cell_fields.h"

#include <gtest/gtest.h>

namespace heatdiag {
namespace {

TEST(CellFieldTest, ParsesARunOfDigitsInItsBase) {
  struct Case {
    const char* text;
    int base;
    std::optional<std::uint32_t> value;
  };
  const Case cases[] = {
      {"1a3", 16, 0x1A3},      {"  1A3x", 16, 0x1A3},  {"", 16, std::nullopt},
      {"g", 16, std::nullopt}, {"0419", 10, 419},      {"12a", 10, 12},
      {"1012", 2, 5},          {"2", 2, std::nullopt}, {"99999999999", 10, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCellField(c.text, c.base), c.value) << c.text;
}

TEST(CellFieldTest, ShowsAddressesAndValuesOrAQuestionMark) {
  EXPECT_EQ(FormatCellAddress(0x1A3, 0x10, 0x200, 16), "1A3");
  EXPECT_EQ(FormatCellAddress(0x1A, 0x10, 0x200, 16), "01A");
  EXPECT_EQ(FormatCellAddress(0x1A, 0x10, 0x200, 10), "26");
  EXPECT_EQ(FormatCellAddress(0x1A, 0x10, 0x200, 2), "0000000000011010");
  EXPECT_EQ(FormatCellAddress(0x0F, 0x10, 0x200, 16), "?") << "below start";
  EXPECT_EQ(FormatCellAddress(0x200, 0x10, 0x200, 10), "?") << "not below size";
  EXPECT_EQ(FormatCellAddress(0xFFFF, 0, 0xFFFF, 2), "?");
  EXPECT_EQ(FormatCellValue(0x5F, 16), "5F");
  EXPECT_EQ(FormatCellValue(7, 2), "00000111");
  EXPECT_EQ(FormatCellValue(256, 10), "?");
}

TEST(CellFieldTest, BlockRatesAreMultiplesOf300From2400To38400) {
  EXPECT_EQ(ParseBlockBaud("9600"), 9600);
  EXPECT_EQ(ParseBlockBaud("2400"), 2400);
  EXPECT_EQ(ParseBlockBaud("38400"), 38400);
  for (const char* refused : {"9601", "2100", "38700", "", "abc", "99999999999"})
    EXPECT_FALSE(ParseBlockBaud(refused).has_value()) << refused;
}

}  // namespace
}  // namespace heatdiag
