#include "views/gui/fault_view.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "base/settings.h"
#include "drivers/catalogue/name_ids.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"
#include "gui/qt_app.h"

namespace heatdiag {
namespace {

using test::DrainEvents;
using K = ValueKind;

enum Row : std::uint32_t { kCode1, kState1, kCounter1, kCode2, kState2, kRowCount };
const ParameterDescriptor kRows[kRowCount] = {
    {K::kUnsigned, 4, "", "", "", kNameFault1, kUnitNone, 0x100},
    {K::kUnsigned, 4, "", "", "", kNameFaultState, kUnitNone, 0x200},
    {K::kUnsigned, 4, "", "", "", kNameCounter, kUnitNone, 0x400},
    {K::kUnsigned, 4, "", "", "", kNameFault2, kUnitNone, 0x100},
    {K::kUnsigned, 4, "", "", "", kNameFaultState, kUnitNone, 0x200},
};

struct Box {
  QString caption;
  QString text;
};

class FaultViewTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ProgramSettings() = Settings{};
    StoreStartup();
    FaultView::SetDescriptionBox([this](QWidget*, const QString& caption, const QString& text) {
      boxes.push_back({caption, text});
    });
    ASSERT_EQ(StoreInit(kRows), 1);
  }
  void TearDown() override {
    view.reset();
    FaultView::SetDescriptionBox(nullptr);
    StoreShutdown();
    StoreStartup();
    DrainEvents();
  }
  static void Deliver(std::uint32_t row, std::uint32_t value) {
    StoreWrite(row, kStoreU32, 0, &value);
    StoreSetPresent(row, 1);
    StoreSetShown(row, 1);
  }
  FaultView& Open() {
    view = std::make_unique<FaultView>(target);
    view->resize(500, 300);
    DrainEvents();
    return *view;
  }
  QStringList Column(int column) const {
    QStringList texts;
    for (int i = 0; i < view->RowCount(); ++i) texts << view->List()->topLevelItem(i)->text(column);
    return texts;
  }

  QueuedMessageTarget target;
  std::unique_ptr<FaultView> view;
  std::vector<Box> boxes;
};

TEST_F(FaultViewTest, EmptyMemoryShowsNoFaultAndItsDescriptionIsNoError) {
  Open();
  EXPECT_EQ(view->RowCount(), 0);  // the data are not complete yet
  StoreSetDataValid();
  DrainEvents();
  EXPECT_EQ(Column(0), QStringList{"no fault"});
  EXPECT_EQ(view->List()->headerItem()->text(0), "Parameter");
  EXPECT_EQ(view->objectName(), "HeatdiagErrorViewClass");
  view->ActivateRow(0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Fault descrition");
  EXPECT_EQ(boxes[0].text, "No error");
}

TEST_F(FaultViewTest, FaultsWithTheirDetailsAndDescriptions) {
  Deliver(kCode1, 1);
  Deliver(kState1, 2);
  Deliver(kCounter1, 5);
  Deliver(kCode2, 129);
  Deliver(kState2, 9);
  StoreSetDataValid();
  Open();
  EXPECT_EQ(Column(0), (QStringList{"Fault 1", "    State of fault", "    Counter", "Fault 2",
                                    "    State of fault"}));
  EXPECT_EQ(Column(1),
            (QStringList{"Defective control unit", "actual", "5", "EOL checksum error", "?"}));
  // A double click on a detail row: its fault's description.
  QTreeWidget* list = view->List();
  view->show();
  DrainEvents();
  const QRect counter = list->visualItemRect(list->topLevelItem(2));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, counter.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, counter.center());
  DrainEvents();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "Defective control unit, end-of-line programming is not performed\n"
            "or water temperature sensor defective");
  view->ActivateRow(4);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "Checksum of EOL dataset is wrong");
}

TEST_F(FaultViewTest, FollowsTheStoreUntilTheMemoryHasBeenCleared) {
  Deliver(kCode1, 10);
  Deliver(kState1, 3);
  StoreSetDataValid();
  Open();
  ASSERT_EQ(view->RowCount(), 2);
  Deliver(kState1, 4);  // a value changes: only its cell
  DrainEvents();
  EXPECT_EQ(Column(1), (QStringList{"Glow plug / flame sensor short circuit", "not actual"}));
  StoreSetShown(kState1, 0);
  DrainEvents();
  EXPECT_EQ(Column(1)[1], "");

  // The unit cleared its memory: the fault's rows leave, and "no fault" remains.
  StoreSetPresent(kCode1, 0);
  StoreSetPresent(kState1, 0);
  DrainEvents();
  EXPECT_EQ(Column(0), QStringList{"no fault"});
  // A new fault comes.
  Deliver(kCode2, 255);
  DrainEvents();
  EXPECT_EQ(Column(1), QStringList{"Unnkown error code"});

  StoreRelease();
  DrainEvents();
  EXPECT_EQ(view->RowCount(), 0);
}

TEST_F(FaultViewTest, ColumnFractionsFollowTheUser) {
  ProgramSettings().errorViewClm1 = 0.5;
  ProgramSettings().errorViewClm2 = 0.3;
  Open();
  view->show();
  DrainEvents();
  const int width = view->List()->viewport()->width();
  ASSERT_GE(width, 100);
  EXPECT_EQ(view->List()->header()->sectionSize(0), static_cast<int>(width * 0.5));
  view->List()->header()->resizeSection(0, width / 4);
  EXPECT_NEAR(ProgramSettings().errorViewClm1, 0.25, 0.01);
}

}  // namespace
}  // namespace heatdiag
