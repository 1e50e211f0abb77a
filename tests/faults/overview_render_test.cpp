// The overview's painter: colours at the elements' centres and frames, at more than one size.
#include "views/qtgui/overview_painter.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <array>
#include <map>
#include <vector>

#include "drivers/catalogue/name_ids.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "views/overview_layout.h"

namespace heatdiag {
namespace {

void StartGui() {
  static QGuiApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fault_render_tests";
    static char* argv[] = {name, nullptr};
    return new QGuiApplication(argc, argv);
  }();
  (void)app;
}

std::uint32_t Pixel(const QImage& image, int x, int y) {
  const QRgb rgb = image.pixel(x, y);
  return static_cast<std::uint32_t>(qRed(rgb)) | static_cast<std::uint32_t>(qGreen(rgb)) << 8 |
         static_cast<std::uint32_t>(qBlue(rgb)) << 16;
}

QPoint Centre(const OverviewElement& element, QSize size) {
  const OverviewRect r = OverviewElementRect(element, size.width(), size.height());
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

const std::array<QSize, 2> kSizes = {QSize(800, 600), QSize(1200, 500)};

class OverviewRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartGui();
    StoreStartup();
  }
  void TearDown() override { StoreStartup(); }
};

// D00's own table on the H-Bus catalogue: lamps lit and unlit, bars full, at two sizes.
TEST_F(OverviewRenderTest, HBusLampsAndBarsShowTheColoursTheirElementsDemand) {
  ASSERT_EQ(StoreInit(DriverCatalogue(0)), 1);
  const std::uint32_t selected = SelectedDevice();
  SelectDevice(0);
  const std::span<const OverviewElement> elements = SelectedOverviewElements();
  SelectDevice(selected);
  ASSERT_EQ(elements.size(), 86u);

  // Lamps alternate on and off; every bar stands at its upper limit.
  std::map<std::uint32_t, bool> lit;
  bool on = false;
  for (const OverviewElement& element : elements) {
    if (element.type == kOverviewText) continue;
    StoreSetPresent(element.item, 1);
    StoreSetShown(element.item, 1);
    if (element.type == kOverviewLamp) {
      on = !on;
      lit[element.item] = on;
      const std::uint32_t value = on ? 1 : 0;
      StoreWrite(element.item, kStoreU32, 0, &value);
    } else if (element.type == kOverviewBar) {
      double upper = 0.0;
      StoreRead(element.item, kStoreDouble | kStoreUpperBound, sizeof upper, &upper);
      StoreWrite(element.item, kStoreDouble, 0, &upper);
    }
  }
  int lamps = 0;
  int bars = 0;
  for (const QSize size : kSizes) {
    SCOPED_TRACE(size.width());
    const QImage image = RenderOverview(elements, size);
    ASSERT_EQ(image.size(), size);
    EXPECT_EQ(Pixel(image, size.width() - 1, size.height() - 1), kOverviewBackground);
    for (const OverviewElement& element : elements) {
      const QPoint centre = Centre(element, size);
      if (element.type == kOverviewLamp) {
        ++lamps;
        const std::uint32_t expected = lit[element.item] ? OverviewLampLitColour(element.valid)
                                                         : OverviewLampUnlitColour(element.valid);
        EXPECT_EQ(Pixel(image, centre.x(), centre.y()), expected) << "lamp of row " << element.item;
      } else if (element.type == kOverviewBar) {
        ++bars;
        EXPECT_EQ(Pixel(image, centre.x(), centre.y()), element.valid)
            << "bar of row " << element.item;
      }
    }
  }
  EXPECT_EQ(lamps, 2 * 19);
  EXPECT_EQ(bars, 2 * 7);
}

enum Row : std::uint32_t { kLevel, kLamp, kText, kRowCount };
const ParameterDescriptor kRows[kRowCount] = {
    {ValueKind::kReal, 8, "0", "100", "1", kNameVoltage, kUnitPercent, 0x4},
    {ValueKind::kUnsigned, 4, "0", "1", "1", kNameFault1, kUnitNone, 0x8},
    {ValueKind::kText, 16, "", "", "", kNameCode, kUnitNone, 0x1},
};
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kOrange = 0x0080FF;
constexpr std::uint32_t kBlue = 0xFF0000;
constexpr std::uint32_t kGrey = 0x808080;
constexpr std::uint32_t kPanel = 0xC0C0C0;

const std::array<OverviewElement, 4> kPanelElements = {{
    // A raised bar over the left half of the top.
    {kOverviewBar, 0, 5000, 0, 2000, kLevel, kWhite, kOrange, kGrey, 0x00020000},
    {kOverviewLamp, 6000, 9000, 0, 4000, kLamp, kPanel, kBlue, kGrey, kOverviewSunken},
    // A big value text, so that its strokes have pixels of the pure text colour.
    {kOverviewValue, 0, 10000, 5000, 10000, kText, kWhite, kBlue, kOrange, kOverviewLeft},
    {kOverviewName, 0, 5000, 2500, 4500, kLamp, kPanel, kBlue, kGrey, kOverviewTransparent},
}};

class PanelRenderTest : public OverviewRenderTest {
 protected:
  void SetUp() override {
    OverviewRenderTest::SetUp();
    ASSERT_EQ(StoreInit(kRows), 1);
  }
  static void Deliver(std::uint32_t row) {
    StoreSetPresent(row, 1);
    StoreSetShown(row, 1);
  }
  static int Count(const QImage& image, const OverviewElement& element, std::uint32_t colour) {
    const OverviewRect r = OverviewElementRect(element, image.width(), image.height());
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += Pixel(image, x, y) == colour ? 1 : 0;
    return n;
  }
};

TEST_F(PanelRenderTest, BarFillsItsShareAndFramesItsEdges) {
  const double level = 75.0;
  StoreWrite(kLevel, kStoreDouble, 0, &level);
  Deliver(kLevel);
  for (const QSize size : kSizes) {
    SCOPED_TRACE(size.width());
    const QImage image = RenderOverview(kPanelElements, size);
    const OverviewRect rect = OverviewElementRect(kPanelElements[0], size.width(), size.height());
    const OverviewRect inner = OverviewInnerRect(rect, kPanelElements[0].style);
    const int y = (rect.top + rect.bottom) / 2;
    EXPECT_EQ(Pixel(image, inner.left + inner.Width() / 2, y), kOrange);
    EXPECT_EQ(Pixel(image, inner.left + inner.Width() * 9 / 10, y), kWhite);
    // Raised: light top and left edges, dark bottom and right ones (of the white background).
    EXPECT_EQ(Pixel(image, rect.left, y), OverviewLightColour(kWhite));
    EXPECT_EQ(Pixel(image, rect.right - 1, y), OverviewDarkColour(kWhite));
    EXPECT_EQ(Pixel(image, rect.left + 5, rect.bottom - 1), OverviewDarkColour(kWhite));
  }
}

TEST_F(PanelRenderTest, InvalidValuesTakeTheNotValidColour) {
  const double level = 100.0;
  StoreWrite(kLevel, kStoreDouble, 0, &level);
  const std::uint32_t on = 1;
  StoreWrite(kLamp, kStoreU32, 0, &on);
  StoreWriteText(kText, "8888");
  for (std::uint32_t row : {kLevel, kLamp, kText}) Deliver(row);
  const QSize size(400, 300);
  QImage image = RenderOverview(kPanelElements, size);
  EXPECT_EQ(Pixel(image, Centre(kPanelElements[0], size).x(), Centre(kPanelElements[0], size).y()),
            kOrange);
  EXPECT_EQ(Pixel(image, Centre(kPanelElements[1], size).x(), Centre(kPanelElements[1], size).y()),
            OverviewLampLitColour(kBlue));
  EXPECT_GT(Count(image, kPanelElements[2], kBlue), 0);
  EXPECT_EQ(Count(image, kPanelElements[2], kOrange), 0);

  for (std::uint32_t row : {kLevel, kLamp, kText}) StoreSetShown(row, 0);
  image = RenderOverview(kPanelElements, size);
  EXPECT_EQ(Pixel(image, Centre(kPanelElements[0], size).x(), Centre(kPanelElements[0], size).y()),
            kGrey);
  EXPECT_EQ(Pixel(image, Centre(kPanelElements[1], size).x(), Centre(kPanelElements[1], size).y()),
            kGrey);
  EXPECT_GT(Count(image, kPanelElements[2], kOrange), 0);
  EXPECT_EQ(Count(image, kPanelElements[2], kBlue), 0);
}

TEST_F(PanelRenderTest, UnlitLampAndTransparentText) {
  const std::uint32_t off = 0;
  StoreWrite(kLamp, kStoreU32, 0, &off);
  Deliver(kLamp);
  const QSize size(400, 300);
  const QImage image = RenderOverview(kPanelElements, size);
  const QPoint lamp = Centre(kPanelElements[1], size);
  EXPECT_EQ(Pixel(image, lamp.x(), lamp.y()), OverviewLampUnlitColour(kBlue));
  // The name is drawn on the panel itself; its corner keeps the panel's grey.
  const OverviewRect name = OverviewElementRect(kPanelElements[3], 400, 300);
  EXPECT_EQ(Pixel(image, name.right - 1, name.top), kPanel);
  EXPECT_GT(Count(image, kPanelElements[3], kBlue), 0);
}

TEST_F(PanelRenderTest, RowsNotPresentAndAnEmptyTableLeaveThePanelGrey) {
  const QSize size(200, 100);
  for (const std::span<const OverviewElement> elements :
       {std::span<const OverviewElement>(kPanelElements), std::span<const OverviewElement>()}) {
    const QImage image = RenderOverview(elements, size);
    bool grey = true;
    for (int y = 0; y < size.height() && grey; ++y)
      for (int x = 0; x < size.width() && grey; ++x) grey = Pixel(image, x, y) == kPanel;
    EXPECT_TRUE(grey) << elements.size();
  }
}

TEST_F(PanelRenderTest, ScaleTicksFromTheLeftEdgeAndLabels) {
  // Level 0..100: major ticks every 10, minor every 5.
  const OverviewElement scale = {kOverviewScale, 1000,   9000,  2000,    8000,
                                 kLevel,         kWhite, kBlue, kOrange, kOverviewSunken};
  Deliver(kLevel);
  const QSize size(500, 200);
  const QImage image = RenderOverview(std::span(&scale, 1), size);
  const OverviewRect rect = OverviewElementRect(scale, size.width(), size.height());
  const OverviewRect inner = OverviewInnerRect(rect, scale.style);
  const int bottom = inner.bottom - 1;
  const int major = inner.Height() / 3;
  const int minor = inner.Height() / 6;
  // A major tick (at 50) reaches a third of the height, a minor one (at 55) a sixth.
  const int x50 = OverviewTickX(inner, 50, 100);
  const int x55 = OverviewTickX(inner, 55, 100);
  EXPECT_EQ(Pixel(image, x50, bottom), kBlue);
  EXPECT_EQ(Pixel(image, x50, inner.bottom - major), kBlue);
  EXPECT_EQ(Pixel(image, x55, inner.bottom - minor), kBlue);
  EXPECT_EQ(Pixel(image, x55, inner.bottom - major), kWhite);
  EXPECT_EQ(Pixel(image, (x50 + x55) / 2, inner.bottom - minor), kWhite);
  // The labels are drawn in the valid colour.
  EXPECT_GT(Count(image, scale, kBlue), 2 * 11 * major);
  // Not valid: ticks and labels in the not-valid colour.
  StoreSetShown(kLevel, 0);
  const QImage invalid = RenderOverview(std::span(&scale, 1), size);
  EXPECT_EQ(Pixel(invalid, x50, bottom), kOrange);
  EXPECT_EQ(Count(invalid, scale, kBlue), 0);
}

}  // namespace
}  // namespace heatdiag

// Fontconfig keeps caches that it never frees; the leak checker of sanitizer builds reports them
// when the tests end. They are not this program's.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
