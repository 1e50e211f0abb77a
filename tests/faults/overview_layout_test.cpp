#include "views/overview_layout.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "drivers/catalogue/name_ids.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"

namespace heatdiag {
namespace {

constexpr OverviewElement Box(std::uint16_t left, std::uint16_t right, std::uint16_t top,
                              std::uint16_t bottom, std::uint32_t style = 0) {
  return {kOverviewValue, left, right, top, bottom, 0, 0xC0C0C0, 0, 0x808080, style};
}

TEST(OverviewLayout, ElementRectanglesScaleWithTheClientSize) {
  const OverviewElement element = Box(2500, 7500, 1000, 2000);
  const struct {
    int width, height;
    OverviewRect rect;
  } cases[] = {
      {10000, 10000, {2500, 1000, 7500, 2000}},
      {800, 600, {200, 60, 600, 120}},
      {101, 33, {25, 3, 76, 7}},  // (x * w + 5000) / 10000, rounded to the nearest pixel
      {1, 1, {0, 0, 1, 0}},
      {0, 0, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    EXPECT_EQ(OverviewElementRect(element, c.width, c.height), c.rect);
  }
  // The whole range of an edge does not overflow on a large client.
  EXPECT_EQ(OverviewElementRect(Box(0, 65535, 0, 65535), 30000, 30000).right, 196605);
}

TEST(OverviewLayout, FrameThicknessAndColours) {
  EXPECT_EQ(OverviewFrameThickness({0, 0, 40, 10}), 1);
  EXPECT_EQ(OverviewFrameThickness({0, 0, 100, 200}), 5);
  EXPECT_EQ(OverviewFrameThickness({0, 0, 2, 2}), 0);
  EXPECT_EQ(OverviewFrameThickness({10, 10, 5, 5}), 0);  // an empty rectangle
  EXPECT_EQ(OverviewLightColour(0xC0C0C0), 0xFFFFFFu);
  EXPECT_EQ(OverviewDarkColour(0xC0C0C0), 0x606060u);
  EXPECT_EQ(OverviewLightColour(0x102030), 0x204060u);
  EXPECT_EQ(OverviewDarkColour(0x102031), 0x081018u);
  EXPECT_EQ(OverviewLightColour(0xFF000000), 0u);  // the byte above blue is no colour
}

TEST(OverviewLayout, FrameKindsAndInnerRectangles) {
  const OverviewRect rect{0, 0, 100, 40};  // t = 2
  const struct {
    std::uint32_t style;
    OverviewFrameKind kind;
    OverviewRect inner;
  } cases[] = {
      {0, OverviewFrameKind::kNone, {0, 0, 100, 40}},
      {kOverviewSunken, OverviewFrameKind::kSunken, {2, 2, 98, 38}},
      {0x00020000, OverviewFrameKind::kRaised, {2, 2, 98, 38}},
      {kOverviewIndentSides, OverviewFrameKind::kNone, {2, 0, 98, 40}},
      {kOverviewIndentTopBottom | kOverviewSunken, OverviewFrameKind::kNone, {0, 2, 100, 38}},
      {kOverviewIndentSides | kOverviewIndentTopBottom, OverviewFrameKind::kNone, {2, 2, 98, 38}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    EXPECT_EQ(OverviewFrameOf(c.style), c.kind);
    EXPECT_EQ(OverviewInnerRect(rect, c.style), c.inner);
  }
  EXPECT_EQ(OverviewAlignOf(kOverviewLeft | kOverviewRight), OverviewAlign::kLeft);
  EXPECT_EQ(OverviewAlignOf(kOverviewRight), OverviewAlign::kRight);
  EXPECT_EQ(OverviewAlignOf(0), OverviewAlign::kCentre);
}

TEST(OverviewLayout, BarFill) {
  const OverviewRect inner{10, 0, 110, 10};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double value, lower, upper;
    int right;
  } cases[] = {
      {0, 0, 100, 10},    {100, 0, 100, 110}, {25, 0, 100, 35}, {-5, 0, 100, 10},
      {500, 0, 100, 110}, {15, 10, 20, 60},   {50, 50, 50, 10},  // equal limits: empty
      {nan, 0, 100, 10},  {5, 10, 0, 60},                        // limits reversed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + " in " + std::to_string(c.lower) + ".." +
                 std::to_string(c.upper));
    EXPECT_EQ(OverviewBarFillRight(inner, c.value, c.lower, c.upper), c.right);
  }
}

TEST(OverviewLayout, ScaleTickSteps) {
  const struct {
    long long span, major, minor;
  } cases[] = {
      {0, 1, 0},
      {9, 1, 0},
      {10, 10, 1},
      {99, 10, 1},
      {100, 10, 5},
      {499, 10, 5},
      {500, 100, 10},
      {999, 100, 10},
      {1000, 100, 50},
      {4999, 100, 50},
      {5000, 1000, 100},
      {9999, 1000, 100},
      {10000, 1000, 500},
      {49999, 1000, 500},
      {50000, 10000, 1000},
      {99999, 10000, 1000},
      {100000, 10000, 5000},
      {499999, 10000, 5000},
      {500000, 100000, 10000},
      {10000000, 100000, 10000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.span);
    const OverviewTickSteps steps = OverviewScaleSteps(c.span);
    EXPECT_EQ(steps.major, c.major);
    EXPECT_EQ(steps.minor, c.minor);
  }
  // 101 ticks over 0..100 need a scale of at least 202 pixels.
  EXPECT_FALSE(OverviewTickSeriesFits(100, 1, 201));
  EXPECT_TRUE(OverviewTickSeriesFits(100, 1, 202));
  EXPECT_FALSE(OverviewTickSeriesFits(0, 1, 500));
  const OverviewRect inner{0, 0, 101, 20};
  EXPECT_EQ(OverviewTickX(inner, 0, 100), 0);
  EXPECT_EQ(OverviewTickX(inner, 50, 100), 50);
  EXPECT_EQ(OverviewTickX(inner, 100, 100), 100);  // the last tick inside the element
  EXPECT_EQ(OverviewScaleLabelHeight(inner), 12);
}

TEST(OverviewLayout, LampShades) {
  EXPECT_EQ(OverviewLampLitColour(0x00C000), 0x20FF20u);
  EXPECT_EQ(OverviewLampUnlitColour(0x00C000), 0x004000u);
  EXPECT_NE(OverviewLampHighlightColour(0x00C000), OverviewLampLitColour(0x00C000));
}

TEST(OverviewLayout, ElementUnderAPoint) {
  const std::array elements = {Box(0, 5000, 0, 5000), Box(2500, 7500, 2500, 7500)};
  EXPECT_EQ(OverviewElementAt(elements, 100, 100, 10, 10), 0);
  EXPECT_EQ(OverviewElementAt(elements, 100, 100, 30, 30), 1);  // the one drawn last
  EXPECT_EQ(OverviewElementAt(elements, 100, 100, 90, 10), -1);
}

// What an element shows of its row.
class OverviewStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StoreStartup();
    ASSERT_EQ(StoreInit(kRows), 1);
  }
  void TearDown() override { StoreStartup(); }
  static constexpr ParameterDescriptor kRows[] = {
      {ValueKind::kReal, 8, "0", "20", "0.01", kNameVoltage, kUnitVolt, 0x1},
      {ValueKind::kUnsigned, 4, "0", "1", "1", kNameFault1, kUnitNone, 0x8},
  };
};

TEST_F(OverviewStateTest, ReadsWhatEachTypeShows) {
  const double volts = 12.5;
  StoreWrite(0, kStoreDouble, 0, &volts);
  const std::uint32_t on = 1;
  StoreWrite(1, kStoreU32, 0, &on);
  OverviewElement element = Box(0, 1, 0, 1);
  element.item = 0;
  EXPECT_FALSE(ReadOverviewElement(element).draw);  // not present: nothing drawn

  StoreSetPresent(0, 1);
  OverviewElementState state = ReadOverviewElement(element);
  EXPECT_TRUE(state.draw);
  EXPECT_FALSE(state.valid);  // present, not shown: drawn in the not-valid colour
  StoreSetShown(0, 1);
  state = ReadOverviewElement(element);
  EXPECT_TRUE(state.valid);
  EXPECT_EQ(state.text, "12,5");

  element.type = kOverviewBar;
  state = ReadOverviewElement(element);
  EXPECT_EQ(state.value, 12.5);
  EXPECT_EQ(state.lower, 0.0);
  EXPECT_EQ(state.upper, 20.0);

  element.type = kOverviewScale;
  state = ReadOverviewElement(element);
  EXPECT_EQ(state.text, "10");  // the middle of 0..20 in the row's step
  EXPECT_EQ(state.resolution, 0.01);

  element.type = kOverviewUnit;
  EXPECT_EQ(ReadOverviewElement(element).text, "[V]");
  element.type = kOverviewName;
  EXPECT_EQ(ReadOverviewElement(element).text, "Voltage");

  element.type = kOverviewLamp;
  element.item = 1;
  StoreSetPresent(1, 1);
  EXPECT_TRUE(ReadOverviewElement(element).lit);

  element.type = kOverviewText;
  element.item = 20101;  // a string id
  state = ReadOverviewElement(element);
  EXPECT_TRUE(state.draw);
  EXPECT_TRUE(state.valid);
  EXPECT_EQ(state.text, "Overview");

  element.type = 7;  // unknown types draw nothing
  element.item = 0;
  EXPECT_FALSE(ReadOverviewElement(element).draw);
}

std::uint32_t NoElements(const OverviewElement** elements) {
  *elements = nullptr;
  return 0;
}

TEST(OverviewElements, TheSelectedDriversTable) {
  const std::uint32_t selected = SelectedDevice();
  SelectDevice(0);
  EXPECT_EQ(SelectedOverviewElements().size(), 86u);
  SelectDevice(kNoDevice);
  EXPECT_TRUE(SelectedOverviewElements().empty());
  {
    // A driver without a table, and one with an empty slot.
    std::array<DeviceDriver, kDeviceCount> fake{};
    fake[0].GetOverviewElements = NoElements;
    ScopedDeviceTable scoped(fake);
    SelectDevice(0);
    EXPECT_TRUE(SelectedOverviewElements().empty());
    SelectDevice(1);
    EXPECT_TRUE(SelectedOverviewElements().empty());
  }
  SelectDevice(selected);
}

}  // namespace
}  // namespace heatdiag

namespace heatdiag {
namespace {

TEST(OverviewElements, HBusTableStaysInsideTheWindowWithoutOverlaps) {
  const std::uint32_t selected = SelectedDevice();
  SelectDevice(0);
  const std::span<const OverviewElement> elements = SelectedOverviewElements();
  SelectDevice(selected);
  ASSERT_EQ(elements.size(), 86u);
  for (std::size_t i = 0; i < elements.size(); ++i) {
    SCOPED_TRACE(i);
    const OverviewRect a = OverviewElementRect(elements[i], 10000, 10000);
    EXPECT_LT(a.left, a.right);
    EXPECT_LT(a.top, a.bottom);
    EXPECT_LE(a.right, 10000);
    EXPECT_LE(a.bottom, 10000);
    for (std::size_t j = i + 1; j < elements.size(); ++j)
      EXPECT_FALSE(a.Intersects(OverviewElementRect(elements[j], 10000, 10000))) << j;
  }
}

}  // namespace
}  // namespace heatdiag
