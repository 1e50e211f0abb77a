#include "views/trend_channels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "drivers/catalogue/name_ids.h"
#include "drivers/diag_store.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kNameWithoutShort = 20101;  // "Overview": no short form

const ParameterDescriptor kRows[] = {
    {ValueKind::kReal, 8, "0", "20", "0.01", kNameSupplyVoltage, kUnitVolt,
     kViewMeasured | kViewGraph},                                                       // 0
    {ValueKind::kText, 32, "", "", "", kNameOperatingStateOs, kUnitNone, kViewStates},  // 1
    {ValueKind::kSigned, 4, "-40", "120", "1", kNameTemperature, kUnitCelsius, kViewGraph},
    {ValueKind::kUnsigned, 4, "0", "100", "1", kNameWithoutShort, kUnitPercent, kViewGraph},
    {ValueKind::kUnsigned, 4, "0", "1", "1", kNameWithoutShort, kUnitNone, kViewInputs},
};

class TrendChannelsTest : public testing::Test {
 protected:
  void SetUp() override { StoreStartup(); }
  void TearDown() override { StoreShutdown(); }
  void Start(ParameterCatalogue catalogue = kRows) { ASSERT_EQ(StoreInit(catalogue), 1); }
};

TEST_F(TrendChannelsTest, NoSessionOrNoGraphItemGivesNoChannel) {
  EXPECT_TRUE(CollectTrendItems().empty());
  Start();
  EXPECT_TRUE(CollectTrendItems().empty());  // nothing present yet
  StoreSetPresent(4, 1);
  EXPECT_TRUE(CollectTrendItems().empty());  // present, but not a graph item
  for (std::uint32_t k = 0; k < 20; ++k) EXPECT_EQ(TrendChannelMenuText(true, {}, k), ".");
}

TEST_F(TrendChannelsTest, PresentGraphItemsInStoreOrder) {
  Start();
  for (std::uint32_t row : {3u, 0u, 4u}) StoreSetPresent(row, 1);
  EXPECT_EQ(CollectTrendItems(), (std::vector<std::uint32_t>{0, 3}));
}

TEST_F(TrendChannelsTest, AtMostTwentyChannels) {
  std::vector<ParameterDescriptor> rows(25, kRows[2]);
  Start(rows);
  for (std::uint32_t row = 0; row < 25; ++row) StoreSetPresent(row, 1);
  const auto items = CollectTrendItems();
  ASSERT_EQ(items.size(), 20u);
  EXPECT_EQ(items.back(), 19u);
}

TEST_F(TrendChannelsTest, ConfigurationFromTheStoreRows) {
  Start();
  const double volts = 25.0;  // widens the range to 30 before the graph opens
  StoreWrite(0, kStoreDouble, 0, &volts);
  const TrendConfig config = BuildTrendConfig({0, 2});
  EXPECT_EQ(config.size, sizeof(TrendConfig));
  EXPECT_EQ(config.channelCount, 2u);
  EXPECT_EQ(config.bufferLength, 7200u);
  EXPECT_EQ(config.samplePeriodMs, 500u);
  EXPECT_DOUBLE_EQ(config.lower[0], 0);
  EXPECT_DOUBLE_EQ(config.upper[0], 30);
  EXPECT_DOUBLE_EQ(config.third[0], 0.01);
  EXPECT_EQ(config.name[0], "SV");
  EXPECT_EQ(config.unit[0], "[V]");
  EXPECT_DOUBLE_EQ(config.lower[1], -40);
  EXPECT_DOUBLE_EQ(config.upper[1], 120);
  EXPECT_EQ(config.name[1], "Temp");
}

TEST_F(TrendChannelsTest, ASampleIsMissingWhileTheItemIsNotShown) {
  Start();
  const std::int32_t temperature = -12;
  StoreWrite(2, kStoreS32, 0, &temperature);
  StoreSetPresent(2, 1);
  EXPECT_TRUE(std::isnan(ReadTrendSample(2)));
  StoreSetShown(2, 1);
  EXPECT_EQ(ReadTrendSample(2), -12.0);
  EXPECT_TRUE(std::isnan(ReadTrendSample(99)));
}

TEST_F(TrendChannelsTest, MenuTextNamesTheChannel) {
  Start();
  const std::vector<std::uint32_t> items = {0, 3};
  EXPECT_EQ(TrendChannelMenuText(true, items, 0), "Supply voltage (SV)");
  EXPECT_EQ(TrendChannelMenuText(true, items, 1), "Overview");  // the two names are the same
  EXPECT_EQ(TrendChannelMenuText(true, items, 2), ".");
  EXPECT_EQ(TrendChannelMenuText(false, items, 0), ".");
}

TEST_F(TrendChannelsTest, OperatingStateItemOfTheDevice) {
  const auto d00 = OperatingStateItem(0);
  ASSERT_TRUE(d00.has_value());
  EXPECT_EQ(*d00, 52u);
  EXPECT_FALSE(OperatingStateItem(kDeviceCount).has_value());
}

}  // namespace
}  // namespace heatdiag
