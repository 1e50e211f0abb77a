#include "views/gui/trend_view.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QAction>
#include <QImage>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>
#include <memory>

#include "base/settings.h"
#include "drivers/catalogue/name_ids.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "gui/frame_fakes.h"
#include "gui/qt_app.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_window.h"
#include "views/gui/trend_draw.h"
#include "views/trend_channels.h"

namespace heatdiag {
namespace {

using test::DrainEvents;

constexpr std::uint32_t kNameAlike = 20101;  // "Overview": long and short name the same

const ParameterDescriptor kRows[] = {
    {ValueKind::kReal, 8, "0", "20", "0.01", kNameSupplyVoltage, kUnitVolt, kViewGraph},
    {ValueKind::kSigned, 4, "-40", "120", "1", kNameTemperature, kUnitCelsius, kViewGraph},
    {ValueKind::kUnsigned, 4, "0", "100", "1", kNameAlike, kUnitPercent, kViewGraph},
    {ValueKind::kUnsigned, 4, "0", "1", "1", kNameAlike, kUnitNone, kViewInputs},
};
const ParameterDescriptor kNoGraphRows[] = {
    {ValueKind::kUnsigned, 4, "0", "1", "1", kNameAlike, kUnitNone, kViewInputs},
};

class TrendViewTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ProgramSettings() = Settings{};
    ProgramSettings().trendViewTiled = 1;
    ProgramSettings().trendViewActive = 65535;
    StoreStartup();
    SelectDevice(kNoDevice);
    frame = std::make_unique<FrameWindow>(core, dialogs);
    RegisterTrendView(*frame);
  }
  void TearDown() override {
    // As at exit: the views close before the frame and its message targets go.
    frame->CloseAllViews();
    DrainEvents();
    frame.reset();
    DrainEvents();
    StoreShutdown();
    StoreStartup();
    SelectDevice(kNoDevice);
    DrainEvents();
  }

  void StartSession(ParameterCatalogue catalogue = kRows) {
    ASSERT_EQ(StoreInit(catalogue), 1);
    for (std::uint32_t row = 0; row < catalogue.size(); ++row) StoreSetPresent(row, 1);
    DrainEvents();
  }
  TrendView& Open(QSize size = QSize(700, 400)) {
    frame->resize(size + QSize(300, 300));
    frame->show();
    frame->OpenView(ViewKind::kGraph);
    frame->ViewWindow(ViewKind::kGraph)->resize(size);
    DrainEvents();
    auto* view = qobject_cast<TrendView*>(frame->View(ViewKind::kGraph));
    EXPECT_NE(view, nullptr);
    return *view;
  }
  void Write(std::uint32_t row, double value) {
    StoreWrite(row, kStoreDouble, 0, &value);
    StoreSetShown(row, 1);
  }
  QAction* Item(std::uint32_t channel) const {
    return frame->CommandAction(kCmdGraphChannelFirst + channel);
  }

  test::FakeCore core;
  test::FakeDialogs dialogs;
  std::unique_ptr<FrameWindow> frame;
};

TEST_F(TrendViewTest, WithoutGraphItemsTheGraphIsEmptyAndTheItemsGreyed) {
  StartSession(kNoGraphRows);
  TrendView& view = Open();
  EXPECT_EQ(view.objectName(), "HeatdiagTrendViewClass");
  EXPECT_EQ(view.Chart()->objectName(), "HeatdiagTrendClass");
  EXPECT_EQ(view.MenuBar(), FrameMenu::kGraph);
  EXPECT_EQ(view.ChannelCount(), 0u);
  view.SampleTick();
  EXPECT_EQ(view.Chart()->Buffer().Count(0), 0u);
  frame->UpdateCommandUI();
  for (std::uint32_t k = 0; k < kTrendMaxChannels; ++k) {
    EXPECT_EQ(Item(k)->text(), ".");
    EXPECT_FALSE(Item(k)->isEnabled());
  }
  view.Chart()->RenderNow();
  EXPECT_EQ(view.Chart()->Picture().size(), view.Chart()->viewport()->size());
}

TEST_F(TrendViewTest, ChannelItemsAreNamedEnabledAndCheckedByTheSettings) {
  StartSession();
  Open();
  ProgramSettings().trendViewActive = 0b101;
  frame->UpdateCommandUI();
  EXPECT_EQ(Item(0)->text(), "Supply voltage (SV)");
  EXPECT_EQ(Item(1)->text(), "Temperature (Temp)");
  EXPECT_EQ(Item(2)->text(), "Overview");
  EXPECT_EQ(Item(3)->text(), ".");
  for (std::uint32_t k = 0; k < 4; ++k) EXPECT_EQ(Item(k)->isEnabled(), k < 3) << k;
  EXPECT_TRUE(Item(0)->isChecked());
  EXPECT_FALSE(Item(1)->isChecked() && Item(1)->isCheckable());
  EXPECT_TRUE(Item(2)->isChecked());

  frame->HandleCommand(kCmdGraphChannelFirst + 1);
  EXPECT_EQ(ProgramSettings().trendViewActive, 0b111);
  EXPECT_TRUE(Item(1)->isChecked());
  frame->HandleCommand(kCmdGraphSplit);
  EXPECT_EQ(ProgramSettings().trendViewTiled, 0);
  frame->HandleCommand(kCmdGraphSplit);
  EXPECT_EQ(ProgramSettings().trendViewTiled, 1);
  EXPECT_TRUE(frame->CommandAction(kCmdGraphSplit)->isChecked());

  frame->CloseView(ViewKind::kGraph);
  DrainEvents();
  frame->UpdateCommandUI();
  EXPECT_EQ(Item(0)->text(), ".");
  EXPECT_FALSE(Item(0)->isEnabled());
}

TEST_F(TrendViewTest, SamplesEveryChannelAndKeepsThemAfterTheSessionEnds) {
  StartSession();
  TrendView& view = Open();
  ASSERT_EQ(view.ChannelCount(), 3u);
  Write(0, 12.5);
  view.SampleTick();
  Write(0, 27.0);  // widens the scale from 20 to 30
  view.SampleTick();
  const TrendBuffer& buffer = view.Chart()->Buffer();
  EXPECT_EQ(buffer.Count(0), 2u);
  EXPECT_EQ(buffer.Count(2), 2u);
  EXPECT_EQ(buffer.Sample(0, 0), 12.5);
  EXPECT_EQ(buffer.Upper(0), 30);
  EXPECT_TRUE(std::isnan(buffer.Sample(1, 0)));  // not delivered: a gap
  EXPECT_TRUE(view.Chart()->RedrawPending());
  view.Chart()->RedrawTick();
  EXPECT_FALSE(view.Chart()->RedrawPending());

  StoreRelease();
  DrainEvents();
  EXPECT_EQ(view.ChannelCount(), 0u);
  view.SampleTick();
  EXPECT_EQ(buffer.Count(0), 2u);  // still there to look at and export
  EXPECT_EQ(Item(0)->text(), ".");

  // The next session's data: the channels are set up afresh.
  StartSession();
  StoreSetDataValid();
  DrainEvents();
  EXPECT_EQ(view.ChannelCount(), 3u);
  EXPECT_EQ(buffer.Count(0), 0u);
  EXPECT_EQ(Item(0)->text(), "Supply voltage (SV)");
}

// Rows above `end` where a channel's curve colour appears in the first columns.
std::vector<int> RowsOfColour(const QImage& image, std::uint32_t channel, int end) {
  std::vector<int> rows;
  const QRgb colour = TrendCurveColour(channel).rgb();
  for (int y = 0; y < end; ++y) {
    if (image.pixel(2, y) == colour) rows.push_back(y);
  }
  return rows;
}

TEST_F(TrendViewTest, SwitchedOffChannelLeavesItsBandToTheOthers) {
  StartSession();
  TrendView& view = Open();
  Write(0, 10.0);  // middle of 0..20
  Write(1, 40.0);  // middle of -40..120
  Write(2, 50.0);  // middle of 0..100
  for (int i = 0; i < 10; ++i) view.SampleTick();
  TrendChart& chart = *view.Chart();
  const int plotHeight = chart.PlotHeight();
  ASSERT_GT(plotHeight, 90);

  chart.RenderNow();
  QImage picture = chart.Picture();
  const auto near = [](const std::vector<int>& rows, double want) {
    return rows.size() == 1 && std::abs(rows[0] - want) <= 1.0;
  };
  int end = plotHeight;
  const int third = plotHeight / 3;
  EXPECT_TRUE(near(RowsOfColour(picture, 0, end), (third - 1) / 2.0));
  EXPECT_TRUE(near(RowsOfColour(picture, 1, end), third + (third - 1) / 2.0));

  frame->HandleCommand(kCmdGraphChannelFirst + 1);  // off
  picture = chart.Picture();
  const int half = plotHeight / 2;
  EXPECT_TRUE(RowsOfColour(picture, 1, end).empty());
  EXPECT_TRUE(near(RowsOfColour(picture, 0, end), (half - 1) / 2.0));
  EXPECT_TRUE(near(RowsOfColour(picture, 2, end), half + (plotHeight - half - 1) / 2.0));

  frame->HandleCommand(kCmdGraphSplit);  // overlaid: every curve across the whole plot
  picture = chart.Picture();
  end = plotHeight - kTrendLegendRow;  // not the legend's names
  const double overlaidMiddle = (plotHeight - kTrendLegendRow - 1) / 2.0;
  EXPECT_TRUE(near(RowsOfColour(picture, 2, end), overlaidMiddle));  // drawn over channel 0
  frame->HandleCommand(kCmdGraphChannelFirst + 2);
  picture = chart.Picture();
  EXPECT_TRUE(near(RowsOfColour(picture, 0, end), overlaidMiddle));
}

TEST_F(TrendViewTest, ScrollsByKeysWheelAndScrollBar) {
  StartSession();
  TrendView& view = Open(QSize(500, 300));
  TrendChart& chart = *view.Chart();
  const int width = chart.PlotWidth();
  ASSERT_GT(width, 100);
  Write(0, 1.0);
  const int stored = width + 250;
  for (int i = 0; i < stored; ++i) view.SampleTick();
  const TrendBuffer& buffer = chart.Buffer();
  QScrollBar* bar = chart.horizontalScrollBar();
  EXPECT_EQ(buffer.Offset(), 250);  // followed the newest sample
  EXPECT_EQ(bar->maximum(), 250);
  EXPECT_EQ(bar->pageStep(), width);
  EXPECT_EQ(bar->value(), 250);

  chart.setFocus();
  QTest::keyClick(&chart, Qt::Key_Left);
  EXPECT_EQ(buffer.Offset(), 240);
  QTest::keyClick(&chart, Qt::Key_Down);
  EXPECT_EQ(buffer.Offset(), 250);
  QTest::keyClick(&chart, Qt::Key_Right);  // at the end already
  EXPECT_EQ(buffer.Offset(), 250);
  QTest::keyClick(&chart, Qt::Key_Home);
  EXPECT_EQ(buffer.Offset(), 0);
  QTest::keyClick(&chart, Qt::Key_Up);  // at the start already
  EXPECT_EQ(buffer.Offset(), 0);
  QTest::keyClick(&chart, Qt::Key_PageDown);
  EXPECT_EQ(buffer.Offset(), std::min(width, 250));
  QTest::keyClick(&chart, Qt::Key_End);
  EXPECT_EQ(buffer.Offset(), 250);
  QTest::keyClick(&chart, Qt::Key_PageUp);
  EXPECT_EQ(buffer.Offset(), std::max(0, 250 - width));
  EXPECT_EQ(bar->value(), buffer.Offset());

  QTest::keyClick(&chart, Qt::Key_Home);
  QWheelEvent back(QPointF(10, 10), chart.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -240),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(chart.viewport(), &back);
  EXPECT_EQ(buffer.Offset(), 20);
  QWheelEvent forward(QPointF(10, 10), chart.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(chart.viewport(), &forward);
  EXPECT_EQ(buffer.Offset(), 10);

  bar->setValue(123);  // the thumb
  EXPECT_EQ(buffer.Offset(), 123);
  view.SampleTick();  // scrolled back: the display stays
  EXPECT_EQ(buffer.Offset(), 123);
}

TEST_F(TrendViewTest, ValueCursorWhileTheLeftButtonIsHeld) {
  StartSession();
  TrendView& view = Open();
  TrendChart& chart = *view.Chart();
  Write(0, 5.0);
  for (int i = 0; i < 40; ++i) view.SampleTick();
  QWidget* canvas = chart.viewport();
  QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
  EXPECT_EQ(chart.CursorX(), 30);
  QTest::mouseMove(canvas, QPoint(300, 20));
  EXPECT_EQ(chart.CursorX(), 39);  // held on the newest sample
  chart.RenderNow();
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(300, 20));
  EXPECT_FALSE(chart.CursorX().has_value());
}

TEST_F(TrendViewTest, RightButtonAsksForThePopup) {
  TrendChart chart;
  chart.resize(300, 200);
  QSignalSpy spy(&chart, &TrendChart::ContextMenuRequested);
  QTest::mouseClick(chart.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(40, 50));
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toPoint(), chart.viewport()->mapTo(&chart, QPoint(40, 50)));
}

TEST_F(TrendViewTest, OperatingStateChangesBecomeMarkers) {
  SelectDevice(0);
  const ParameterCatalogue d00 = DriverCatalogue(0);
  StartSession(d00);
  TrendView& view = Open();
  ASSERT_GT(view.ChannelCount(), 0u);
  const std::uint32_t state = *OperatingStateItem(0);
  StoreSetShown(state, 1);
  const auto tick = [&](const char* text) {
    StoreWriteText(state, text);
    view.SampleTick();
  };
  tick("Start");
  tick("Start");
  tick("Glowing 2");
  tick("Glowing 2");
  const auto& markers = view.Chart()->Buffer().Markers();
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[0].shortName, "STA");
  EXPECT_EQ(markers[0].sample, 0u);
  EXPECT_EQ(markers[1].shortName, "VGL2");
  EXPECT_EQ(markers[1].text, "Glowing 2");
  EXPECT_EQ(markers[1].sample, 2u);
  ASSERT_NE(view.Chart()->MarkerAt(3), nullptr);
  EXPECT_EQ(view.Chart()->MarkerAt(3)->shortName, "VGL2");
  EXPECT_EQ(view.Chart()->MarkerAt(20), nullptr);
}

TEST_F(TrendViewTest, ExportsCsvAndPicture) {
  StartSession();
  TrendView& view = Open();
  Write(0, 12.5);
  for (int i = 0; i < 3; ++i) view.SampleTick();
  const auto dir =
      std::filesystem::temp_directory_path() / ("trend_view_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string error;
  const auto csv = dir / "graph.csv";
  ASSERT_TRUE(view.ExportCsv(csv.string(), false, &error)) << error;
  EXPECT_GT(std::filesystem::file_size(csv), 0u);
  ASSERT_TRUE(view.ExportCsv(csv.string(), true, &error)) << error;
  const auto png = dir / "graph.png";
  ASSERT_TRUE(view.ExportPng(png.string(), &error)) << error;
  QImage read(QString::fromStdString(png.string()));
  EXPECT_EQ(read.size(), view.Chart()->viewport()->size());
  EXPECT_FALSE(view.ExportPng((dir / "none" / "graph.png").string(), &error));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace heatdiag
