#include "views/gui/list_view.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTreeWidget>
#include <memory>
#include <vector>

#include "base/settings.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"
#include "gui/qt_app.h"

namespace heatdiag {
namespace {

using test::DrainEvents;

// Names borrowed from the view titles; units from the catalogue's unit texts.
constexpr std::uint32_t kNameA = 20101;  // "Overview"
constexpr std::uint32_t kNameB = 20102;  // "Parameter list"
constexpr std::uint32_t kNameC = 20103;  // "Device informations"
constexpr std::uint32_t kNameD = 20104;  // "Operating data"
constexpr std::uint32_t kNameE = 20105;  // "Fault list"

const ParameterDescriptor kRows[] = {
    {ValueKind::kReal, 8, "0", "30", "0.1", kNameA, kUnitVolt, kViewMeasured | kViewGraph},
    {ValueKind::kText, 32, "", "", "", kNameB, kUnitNone, kViewDeviceInfo},
    {ValueKind::kUnsigned, 4, "0", "100", "1", kNameC, kUnitHour, kViewOperatingData},
    {ValueKind::kSigned, 4, "-50", "150", "1", kNameD, kUnitCelsius, kViewInputs},
    {ValueKind::kUnsigned, 4, "0", "1", "1", kNameE, kUnitNone, 0x0010},
};
enum Row : std::uint32_t { kVoltage, kVersion, kHours, kTemperature, kFlag };

class ListViewTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ProgramSettings() = Settings{};
    for (double Settings::*f :
         {&Settings::parViewClm1, &Settings::infoViewClm1, &Settings::workViewClm1})
      ProgramSettings().*f = 0.5;
    for (double Settings::*f :
         {&Settings::parViewClm2, &Settings::infoViewClm2, &Settings::workViewClm2})
      ProgramSettings().*f = 0.3;
    StoreStartup();
  }
  void TearDown() override {
    view.reset();
    StoreShutdown();
    StoreStartup();
    DrainEvents();
  }

  void StartSession(ParameterCatalogue catalogue = kRows) {
    ASSERT_EQ(StoreInit(catalogue), 1);
    DrainEvents();
  }
  void Deliver(std::uint32_t row, bool shown = true) {
    StoreSetPresent(row, 1);
    StoreSetShown(row, shown ? 1 : 0);
  }
  ListView& Open(ViewKind kind) {
    view.reset();  // one view on the target at a time, as in the frame
    view = std::make_unique<ListView>(kind, target);
    DrainEvents();
    return *view;
  }
  // The store's display text of a row, as the views must show it.
  static QString Shown(std::uint32_t row) { return QString::fromStdString(StoreReadText(row)); }
  QStringList Column(int column) const {
    QStringList texts;
    for (int i = 0; i < view->RowCount(); ++i) texts << view->List()->topLevelItem(i)->text(column);
    return texts;
  }

  QueuedMessageTarget target;
  std::unique_ptr<ListView> view;
};

TEST_F(ListViewTest, ShowsOnlyPresentRowsOfItsCategories) {
  StartSession();
  const double volts = 12.34;
  const char version[] = "V2.1";
  const std::uint32_t hours = 1234;
  const std::int32_t temperature = 21;
  const std::uint32_t flag = 1;
  StoreWrite(kVoltage, kStoreDouble, 0, &volts);
  StoreWrite(kVersion, kStoreText, sizeof version - 1, version);
  StoreWrite(kHours, kStoreU32, 0, &hours);
  StoreWrite(kTemperature, kStoreS32, 0, &temperature);
  StoreWrite(kFlag, kStoreU32, 0, &flag);
  for (std::uint32_t row : {kVoltage, kVersion, kHours, kFlag}) Deliver(row);

  const struct {
    ViewKind kind;
    QStringList names;
    QStringList values;
    QStringList units;
  } cases[] = {
      {ViewKind::kParameterList, {"Overview"}, {Shown(kVoltage)}, {"[V]"}},
      {ViewKind::kDeviceInfo, {"Parameter list", "Fault list"}, {"V2.1", "1"}, {"", ""}},
      {ViewKind::kOperatingData, {"Device informations"}, {"1234"}, {"[h]"}},
  };
  for (const auto& c : cases) {
    Open(c.kind);
    EXPECT_EQ(Column(0), c.names) << static_cast<int>(c.kind);
    EXPECT_EQ(Column(1), c.values) << static_cast<int>(c.kind);
    EXPECT_EQ(Column(2), c.units) << static_cast<int>(c.kind);
  }
  EXPECT_EQ(view->List()->headerItem()->text(0), "Parameter");
  EXPECT_EQ(view->List()->headerItem()->text(1), "Value");
  EXPECT_EQ(view->List()->headerItem()->text(2), "Unit");
  EXPECT_TRUE(view->List()->topLevelItem(0)->textAlignment(1) & Qt::AlignRight);
}

TEST_F(ListViewTest, ValueChangeUpdatesOnlyItsRow) {
  StartSession();
  Deliver(kVoltage);
  Deliver(kTemperature);
  for (ViewKind kind : {ViewKind::kParameterList, ViewKind::kDeviceInfo}) {
    Open(kind);
    const QStringList before = Column(1);
    const double volts = 13.8;
    StoreWrite(kVoltage, kStoreDouble, 0, &volts);
    const std::int32_t degrees = -7;
    StoreWrite(kTemperature, kStoreS32, 0, &degrees);
    DrainEvents();
    if (kind == ViewKind::kParameterList) {
      EXPECT_EQ(Column(1), QStringList({Shown(kVoltage), "-7"}));
      EXPECT_NE(Column(1), before);
    } else {
      EXPECT_EQ(Column(1), before);  // neither row belongs to Device informations
    }
  }
}

TEST_F(ListViewTest, AValueThatBecameInvalidLeavesAnEmptyCell) {
  StartSession();
  const double volts = 12.0;
  StoreWrite(kVoltage, kStoreDouble, 0, &volts);
  Deliver(kVoltage);
  Open(ViewKind::kParameterList);
  ASSERT_EQ(Column(1), QStringList({Shown(kVoltage)}));
  ASSERT_FALSE(Shown(kVoltage).isEmpty());
  StoreSetShown(kVoltage, 0);
  DrainEvents();
  EXPECT_EQ(Column(0), QStringList({"Overview"}));
  EXPECT_EQ(Column(1), QStringList({""}));
}

TEST_F(ListViewTest, NoDataAvailableOnlyOnceTheDataAreComplete) {
  StartSession();
  Deliver(kVoltage);  // not a row of Operating data
  Open(ViewKind::kOperatingData);
  EXPECT_EQ(view->RowCount(), 0);

  StoreSetDataValid();
  DrainEvents();
  ASSERT_EQ(view->RowCount(), 1);
  EXPECT_EQ(Column(0), QStringList({"no data available"}));
  EXPECT_EQ(view->ItemOfRow(0), -1);

  // Value traffic never writes into the "no data available" row.
  const std::uint32_t hours = 5;
  StoreWrite(kHours, kStoreU32, 0, &hours);
  const double volts = 11.0;
  StoreWrite(kVoltage, kStoreDouble, 0, &volts);
  DrainEvents();
  EXPECT_EQ(Column(1), QStringList({""}));

  // The Parameter list never shows it.
  StoreRelease();
  StartSession();
  StoreSetDataValid();
  Open(ViewKind::kParameterList);
  EXPECT_EQ(view->RowCount(), 0);
}

TEST_F(ListViewTest, ReleasedDataEmptyTheList) {
  StartSession();
  Deliver(kHours);
  Open(ViewKind::kOperatingData);
  ASSERT_EQ(view->RowCount(), 1);
  StoreRelease();
  DrainEvents();
  EXPECT_EQ(view->RowCount(), 0);
}

TEST_F(ListViewTest, PresentChangeRebuildsAtOnceOrOnTheParameterListsTimer) {
  StartSession();
  Deliver(kVersion);
  Deliver(kVoltage);
  Open(ViewKind::kDeviceInfo);
  ASSERT_EQ(view->RowCount(), 1);
  Deliver(kFlag);
  DrainEvents();
  EXPECT_EQ(Column(0), QStringList({"Parameter list", "Fault list"}));

  Open(ViewKind::kParameterList);
  ASSERT_EQ(view->RowCount(), 1);
  Deliver(kTemperature);
  DrainEvents();
  EXPECT_EQ(view->RowCount(), 1);  // deferred
  EXPECT_TRUE(view->RebuildPending());
  view->RebuildTick();
  EXPECT_FALSE(view->RebuildPending());
  EXPECT_EQ(Column(0), QStringList({"Overview", "Operating data"}));
  EXPECT_EQ(view->ItemOfRow(1), static_cast<int>(kTemperature));
}

TEST_F(ListViewTest, ParameterListStopsAtAThousandRows) {
  std::vector<ParameterDescriptor> many(1100, kRows[kVoltage]);
  StartSession(many);
  for (std::uint32_t row = 0; row < 1100; ++row) Deliver(row);
  Open(ViewKind::kParameterList);
  EXPECT_EQ(view->RowCount(), ListView::kMaxParameterRows);
  // A row beyond the limit has no list row; its update changes nothing.
  const double volts = 9.5;
  StoreWrite(1050, kStoreDouble, 0, &volts);
  StoreWrite(999, kStoreDouble, 0, &volts);
  DrainEvents();
  EXPECT_EQ(view->List()->topLevelItem(999)->text(1), Shown(999));
  EXPECT_NE(Shown(999), Shown(998));
  EXPECT_EQ(view->List()->topLevelItem(998)->text(1), Shown(998));
}

TEST_F(ListViewTest, ColumnWidthsFollowTheFractionsAndTheUsersDrag) {
  StartSession();
  Open(ViewKind::kDeviceInfo);
  view->resize(520, 300);
  view->show();
  DrainEvents();
  QHeaderView* header = view->List()->header();
  int w = view->List()->viewport()->width();
  ASSERT_GE(w, 100);
  EXPECT_EQ(header->sectionSize(0), static_cast<int>(w * 0.5));
  EXPECT_EQ(header->sectionSize(1), static_cast<int>(w * 0.3));

  header->resizeSection(0, w / 4);  // as the user's drag does
  EXPECT_DOUBLE_EQ(ProgramSettings().infoViewClm1, static_cast<double>(w / 4) / w);
  EXPECT_DOUBLE_EQ(ProgramSettings().infoViewClm2, static_cast<double>(header->sectionSize(1)) / w);

  // A list narrower than 100 pixels leaves the saved fractions alone.
  view->resize(90, 300);
  DrainEvents();
  w = view->List()->viewport()->width();
  ASSERT_LT(w, 100);
  const double saved1 = ProgramSettings().infoViewClm1;
  const double saved2 = ProgramSettings().infoViewClm2;
  header->resizeSection(0, 10);
  EXPECT_EQ(ProgramSettings().infoViewClm1, saved1);
  EXPECT_EQ(ProgramSettings().infoViewClm2, saved2);
}

TEST_F(ListViewTest, UnusableSavedFractionsFallBackToTheDefaults) {
  ProgramSettings().workViewClm1 = -3.0;
  ProgramSettings().workViewClm2 = std::numeric_limits<double>::quiet_NaN();
  StartSession();
  Open(ViewKind::kOperatingData);
  view->resize(400, 200);
  view->show();
  DrainEvents();
  const int w = view->List()->viewport()->width();
  EXPECT_EQ(view->List()->header()->sectionSize(0), static_cast<int>(w * 0.5));
  EXPECT_EQ(view->List()->header()->sectionSize(1), static_cast<int>(w * 0.3));
}

TEST_F(ListViewTest, AClosedViewNoLongerListens) {
  StartSession();
  Deliver(kVoltage);
  Open(ViewKind::kParameterList);
  view.reset();
  // The view took its handler away and left the store: a handler installed afterwards on the
  // same target hears nothing of the next changes.
  EXPECT_FALSE(target.HasHandler());
  int heard = 0;
  target.SetHandler([&heard](std::uint32_t, std::intptr_t, std::intptr_t) { ++heard; });
  const double volts = 14.1;
  StoreWrite(kVoltage, kStoreDouble, 0, &volts);
  StoreSetPresent(kHours, 1);
  DrainEvents();  // nothing may reach the destroyed view
  EXPECT_EQ(heard, 0);
  target.ClearHandler();
}

}  // namespace
}  // namespace heatdiag
