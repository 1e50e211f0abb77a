// The free telegram input: fields, the telegram and the FreeTele setting.
#include <gtest/gtest.h>

#include "service/free_telegram_input.h"

namespace heatdiag::service {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FreeTelegram, Addresses) {
  EXPECT_EQ(ParseHexAddress("4"), 0x4);
  EXPECT_EQ(ParseHexAddress("F"), 0xF);
  EXPECT_EQ(ParseHexAddress(" 0x51 "), 0x51);
  EXPECT_EQ(ParseHexAddress("ff"), 0xFF);
  EXPECT_EQ(ParseHexAddress("100"), std::nullopt);
  EXPECT_EQ(ParseHexAddress(""), std::nullopt);
  EXPECT_EQ(ParseHexAddress("4g"), std::nullopt);
  EXPECT_EQ(ParseHexAddress("4 5"), std::nullopt);
}

TEST(FreeTelegram, DataLine) {
  struct Case {
    const char* text;
    std::optional<Bytes> bytes;
  } const cases[] = {
      {"", Bytes{}},
      {"   ", Bytes{}},
      {"0x51 2", Bytes{0x51, 0x02}},
      {"51\t0a  FF", Bytes{0x51, 0x0A, 0xFF}},
      {"100", std::nullopt},
      {"51 x", std::nullopt},
      {"51,52", std::nullopt},
      {"-1", std::nullopt},
      {"FFFFFFFFFFFFFFFFFFFFFFFF", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseHexData(c.text), c.bytes) << c.text;
  std::string many;
  for (int i = 0; i < 300; ++i) many += "01 ";
  EXPECT_EQ(ParseHexData(many)->size(), 256u);
}

TEST(FreeTelegram, InputGivesTheTelegramOrNothing) {
  const std::optional<FreeTelegram> empty = ParseFreeTelegramInput("04", "0F", "", true);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->length, 0);
  EXPECT_EQ(empty->viewAnswer, 1u);
  const std::optional<FreeTelegram> telegram = ParseFreeTelegramInput("4", "f", "0x51 2", false);
  ASSERT_TRUE(telegram);
  EXPECT_EQ(telegram->deviceAddress, 0x04);
  EXPECT_EQ(telegram->sourceAddress, 0x0F);
  EXPECT_EQ(telegram->length, 2);
  EXPECT_EQ(telegram->data[0], 0x51);
  EXPECT_EQ(telegram->data[1], 0x02);
  EXPECT_EQ(FormatData(*telegram), "51 02 ");
  EXPECT_EQ(FormatAddress(telegram->sourceAddress), "0F");
  EXPECT_FALSE(ParseFreeTelegramInput("04", "0F", "100", false));
  EXPECT_FALSE(ParseFreeTelegramInput("", "0F", "51", false));
  EXPECT_FALSE(ParseFreeTelegramInput("04", "1FF", "51", false));
}

TEST(FreeTelegram, SettingBlockRoundTripAndBadLength) {
  FreeTelegram telegram = *ParseFreeTelegramInput("51", "F1", "10 20 30", true);
  const FreeTelegramBlock block = ToSettingsBlock(telegram);
  EXPECT_EQ(block[0], 0x51);
  EXPECT_EQ(block[1], 0xF1);
  EXPECT_EQ(block[2], 3);
  EXPECT_EQ(block[3], 0);
  EXPECT_EQ(block[4], 0x10);
  EXPECT_EQ(block[260], 1);
  const FreeTelegram back = FromSettingsBlock(block);
  EXPECT_EQ(FormatData(back), "10 20 30 ");
  EXPECT_EQ(back.viewAnswer, 1u);
  FreeTelegramBlock bad = block;
  bad[2] = 0xFF;
  bad[3] = 0xFF;
  EXPECT_EQ(FromSettingsBlock(bad).length, 256);
  EXPECT_EQ(FromSettingsBlock(FreeTelegramBlock{}).length, 0);
}

}  // namespace
}  // namespace heatdiag::service
