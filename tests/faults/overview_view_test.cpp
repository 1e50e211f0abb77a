#include "views/gui/overview_view.h"

#include <gtest/gtest.h>

#include <QImage>
#include <array>
#include <memory>

#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "gui/qt_app.h"
#include "views/overview_layout.h"
#include "views/qtgui/overview_painter.h"

namespace heatdiag {
namespace {

using test::DrainEvents;

class OverviewViewTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    StoreStartup();
    selected = SelectedDevice();
    SelectDevice(0);
    ASSERT_EQ(StoreInit(DriverCatalogue(0)), 1);
  }
  void TearDown() override {
    view.reset();
    StoreShutdown();
    StoreStartup();
    SelectDevice(selected);
    DrainEvents();
  }
  OverviewView& Open(QSize size) {
    view = std::make_unique<OverviewView>(target);
    view->resize(size);
    DrainEvents();
    return *view;
  }
  // The first element of a type, for its row and rectangle.
  const OverviewElement& First(std::uint16_t type) const {
    for (const OverviewElement& element : view->Elements())
      if (element.type == type) return element;
    ADD_FAILURE() << "no element of type " << type;
    return view->Elements()[0];
  }

  std::uint32_t selected = kNoDevice;
  QueuedMessageTarget target;
  std::unique_ptr<OverviewView> view;
};

TEST_F(OverviewViewTest, TakesTheDriversTableWhenTheDataAreComplete) {
  Open({800, 600});
  EXPECT_TRUE(view->Elements().empty());
  EXPECT_EQ(view->objectName(), "HeatdiagOverviewClass");
  EXPECT_EQ(view->palette().color(QPalette::Window), QColor(192, 192, 192));
  StoreSetDataValid();
  DrainEvents();
  EXPECT_EQ(view->Elements().size(), 86u);
  StoreRelease();
  DrainEvents();
  EXPECT_TRUE(view->Elements().empty());
}

TEST_F(OverviewViewTest, TooltipsNameThePresentRowsUnderTheMouse) {
  Open({800, 600});
  StoreSetDataValid();
  DrainEvents();
  const OverviewElement lamp = First(kOverviewLamp);
  const OverviewRect rect = OverviewElementRect(lamp, 800, 600);
  const QPoint centre((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  EXPECT_EQ(view->ToolTipAt(centre), "");  // not present when the tools were made
  StoreSetPresent(lamp.item, 1);
  StoreRelease();
  ASSERT_EQ(StoreInit(DriverCatalogue(0)), 1);
  StoreSetPresent(lamp.item, 1);
  StoreSetDataValid();
  DrainEvents();
  EXPECT_EQ(view->ToolTipAt(centre).toStdString(), StoreGetName(lamp.item, NameForm::kLong));
  EXPECT_EQ(view->ToolTipAt({799, 599}), "");
}

TEST_F(OverviewViewTest, RepaintsTheElementsOfAChangedRowAndDrawsThem) {
  const OverviewElement* lampElement = nullptr;
  for (const QSize size : {QSize(800, 600), QSize(500, 700)}) {
    SCOPED_TRACE(size.width());
    Open(size);
    StoreSetDataValid();
    DrainEvents();
    const OverviewElement& lamp = First(kOverviewLamp);
    lampElement = &lamp;
    // A row's area covers each of its elements (the lamp and its name).
    QRect expected;
    for (const OverviewElement& element : view->Elements())
      if (element.type != kOverviewText && element.item == lamp.item)
        expected |= ToQRect(OverviewElementRect(element, size.width(), size.height()));
    EXPECT_EQ(view->ItemArea(lamp.item), expected);
    EXPECT_TRUE(view->ItemArea(9999).isEmpty());

    const std::uint32_t on = 1;
    StoreWrite(lamp.item, kStoreU32, 0, &on);
    StoreSetPresent(lamp.item, 1);
    StoreSetShown(lamp.item, 1);
    DrainEvents();
    const QImage shot = view->grab().toImage();
    const OverviewRect r = OverviewElementRect(lamp, size.width(), size.height());
    EXPECT_EQ(QColor(shot.pixel((r.left + r.right) / 2, (r.top + r.bottom) / 2)),
              OverviewColour(OverviewLampLitColour(lamp.valid)));
    StoreSetShown(lamp.item, 0);
    DrainEvents();
    const QImage invalid = view->grab().toImage();
    EXPECT_EQ(QColor(invalid.pixel((r.left + r.right) / 2, (r.top + r.bottom) / 2)),
              OverviewColour(lamp.invalid));
    StoreRelease();
    ASSERT_EQ(StoreInit(DriverCatalogue(0)), 1);
    DrainEvents();
  }
  ASSERT_NE(lampElement, nullptr);
}

TEST_F(OverviewViewTest, ADriverWithoutATableLeavesTheViewEmpty) {
  std::array<DeviceDriver, kDeviceCount> fake{};
  ScopedDeviceTable scoped(fake);
  SelectDevice(0);
  Open({400, 300});
  StoreSetDataValid();
  DrainEvents();
  EXPECT_TRUE(view->Elements().empty());
  const QImage shot = view->grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(200, 150)), QColor(192, 192, 192));
  view.reset();
}

}  // namespace
}  // namespace heatdiag
