#include "shell/gui/frame_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "base/settings.h"
#include "gui/frame_fakes.h"
#include "gui/qt_app.h"
#include "shell/gui/mdi_client.h"

namespace heatdiag {
namespace {

using test::DrainEvents;
using test::FakeCore;
using test::FakeDialogs;
using test::PlainView;

constexpr std::uint32_t kSep = 0;

class FrameTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ProgramSettings() = Settings{};
    ProgramSettings().windowRight = 698;
    ProgramSettings().windowBottom = 644;
    core.selected = 0;
    frame = std::make_unique<FrameWindow>(core, dialogs);
  }
  void TearDown() override {
    frame.reset();
    DrainEvents();
  }

  // Registers plain views for the kinds other modules build, recording the order of opening.
  void RegisterPlainViews() {
    for (int i = 0; i < kViewCount; ++i) {
      const auto kind = static_cast<ViewKind>(i);
      const FrameMenu menu = kind == ViewKind::kProtocol ? FrameMenu::kProtocol
                             : kind == ViewKind::kGraph  ? FrameMenu::kGraph
                                                         : FrameMenu::kMain;
      frame->SetViewFactory(kind, [this, kind, menu] {
        opened.push_back(kind);
        return new PlainView(kind, menu);
      });
    }
  }

  std::vector<std::uint32_t> PopupIds(std::uint32_t titleId) const {
    std::vector<std::uint32_t> ids;
    QMenu* popup = frame->PopupOf(titleId);
    if (popup == nullptr) return ids;
    for (QAction* action : popup->actions()) {
      if (action->isSeparator()) {
        ids.push_back(kSep);
      } else if (action->menu() != nullptr) {
        ids.push_back(1);  // a sub-popup
      } else {
        ids.push_back(action->data().toUInt());
      }
    }
    return ids;
  }

  QStringList VisibleMenuTitles() const {
    QStringList titles;
    for (QAction* action : frame->menuBar()->actions())
      if (action->isVisible()) titles << action->text();
    return titles;
  }

  FakeCore core;
  FakeDialogs dialogs;
  std::unique_ptr<FrameWindow> frame;
  std::vector<ViewKind> opened;
};

// --- Menus, toolbar, accelerators -------------------------------------------------------------

TEST_F(FrameTest, MenuBarHasThePopupsInOrder) {
  EXPECT_EQ(VisibleMenuTitles(),
            QStringList({"&Diagnosis", "&View", "&Faults", "&Print", "&Control", "Ca&libration",
                         "Data&set", "&Extras", "&Window", "&Help"}));
}

TEST_F(FrameTest, PopupsHoldTheirCommandsAndSeparators) {
  const struct {
    std::uint32_t title;
    std::vector<std::uint32_t> ids;
  } popups[] = {
      {32000,
       {kCmdDeviceSelection, kSep, kCmdStartDiagnosis, kCmdStopDiagnosis, kSep, kCmdComponentTest,
        kCmdFuelPrime, kSep, kCmdSaveSummary, kCmdOpenSummary, kSep, kCmdStartMeasurementLog,
        kCmdStopMeasurementLog, kSep, kCmdClose}},
      {32001,
       {kCmdOverview, kCmdOperatingData, kCmdDeviceInfo, kCmdGraph, kCmdParameterList,
        kCmdProtocol}},
      {32002, {kCmdViewFaults, kCmdClearFaults}},
      {32003, {kCmdPrintSummary}},
      {32004,
       {kCmdModeOff, kCmdModeOn, kCmdModeParking, kCmdModeSupplemental, kCmdModeVentilating, kSep,
        kCmdModeBoost, kCmdModePump}},
      {32005,
       {kCmdCo2Adjustment, kCmdCo2AdjustmentCold, kCmdVoltageAdjustment,
        kCmdFlameSensorAdjustment}},
      {32006, {1, 1, 1, kCmdEolCell, kCmdEolBackup}},
      {32012, {kCmdFileIntoDevice, kCmdFileIntoEditor, kCmdFileIntoStorage}},
      {32013, {kCmdDeviceIntoFile, kCmdDeviceIntoEditor, kCmdDeviceIntoStorage}},
      {32014,
       {kCmdStorageIntoFile, kCmdStorageIntoEditor, kCmdStorageIntoDevice, kCmdStorageClear}},
      {32007,
       {kCmdComPort, kSep, kCmdAutoStart, kSep, kCmdBlockMode, kCmdBlockBaud, kSep,
        kCmdFreeTelegram, kSep, kCmdDebugMode, kCmdLoadHeader}},
      {32008, {kCmdCascade, kCmdTile, kCmdArrangeIcons, kCmdCloseAll}},
      {32009, {kCmdHelp, kSep, kCmdAbout}},
      {32010,
       {kCmdProtocolRecord, kCmdProtocolClear, kSep, kCmdProtocolStates, kCmdProtocolTelegrams,
        kSep, kCmdProtocolStore, kCmdProtocolFile}},
  };
  for (const auto& popup : popups) EXPECT_EQ(PopupIds(popup.title), popup.ids) << popup.title;

  std::vector<std::uint32_t> graph = {kCmdGraphSplit, kSep};
  for (std::uint32_t id = kCmdGraphChannelFirst; id <= kCmdGraphChannelLast; ++id)
    graph.push_back(id);
  EXPECT_EQ(PopupIds(32011), graph);
}

TEST_F(FrameTest, MenuItemTextsAreTheProgramsOwn) {
  const struct {
    std::uint32_t id;
    const char* text;
  } items[] = {
      {kCmdAbout, "About HDG..."},
      {kCmdStartDiagnosis, "&Start diagnosis\tF2"},
      {kCmdStopDiagnosis, "Sto&p diagnosis\tF3"},
      {kCmdModeOff, "O&ff\tF4"},
      {kCmdClearFaults, "&Clear faults\tF5"},
      {kCmdEolCell, "read/write single cell...\tF6"},
      {kCmdDebugMode, "Debug mode...\tF7"},
      {kCmdFreeTelegram, "&Free choice of telegram input\tF8"},
      {kCmdPrintSummary, "Print &summary\tF12"},
      {kCmdCloseAll, "c&lose all"},
      {kCmdGraphSplit, "Splitted view"},
      {kCmdGraphChannelFirst + 7, "."},
      {kCmdClose, "Close\tAlt+F4"},
  };
  for (const auto& item : items) {
    ASSERT_NE(frame->CommandAction(item.id), nullptr) << item.id;
    EXPECT_EQ(frame->CommandAction(item.id)->text().toStdString(), item.text);
  }
}

TEST_F(FrameTest, AcceleratorsReachTheirCommands) {
  const struct {
    std::uint32_t id;
    QKeySequence key;
  } keys[] = {
      {kCmdStartDiagnosis, QKeySequence(Qt::Key_F2)},
      {kCmdStopDiagnosis, QKeySequence(Qt::Key_F3)},
      {kCmdModeOff, QKeySequence(Qt::Key_F4)},
      {kCmdClearFaults, QKeySequence(Qt::Key_F5)},
      {kCmdEolCell, QKeySequence(Qt::Key_F6)},
      {kCmdDebugMode, QKeySequence(Qt::Key_F7)},
      {kCmdFreeTelegram, QKeySequence(Qt::Key_F8)},
      {kCmdPrintSummary, QKeySequence(Qt::Key_F12)},
      {kCmdAbout, QKeySequence(Qt::ALT | Qt::Key_Slash)},
      {kCmdHelpMode, QKeySequence(Qt::SHIFT | Qt::Key_F1)},
      {kCmdHelpOnFocus, QKeySequence(Qt::Key_F1)},
  };
  for (const auto& key : keys) {
    QAction* action = frame->CommandAction(key.id);
    ASSERT_NE(action, nullptr) << key.id;
    EXPECT_TRUE(action->shortcuts().contains(key.key)) << key.id;
  }
  EXPECT_TRUE(frame->CommandAction(kCmdAbout)->shortcuts().contains(
      QKeySequence(Qt::ALT | Qt::Key_Question)));
}

TEST_F(FrameTest, ToolBarHasItsThirtySixEntriesWithAnImageEach) {
  const std::uint32_t expected[] = {kCmdDeviceSelection,
                                    kSep,
                                    kCmdStartDiagnosis,
                                    kCmdStopDiagnosis,
                                    kSep,
                                    kCmdComponentTest,
                                    kCmdFuelPrime,
                                    kSep,
                                    kCmdOverview,
                                    kCmdParameterList,
                                    kCmdOperatingData,
                                    kCmdDeviceInfo,
                                    kCmdGraph,
                                    kCmdProtocol,
                                    kSep,
                                    kCmdViewFaults,
                                    kCmdClearFaults,
                                    kSep,
                                    kCmdPrintSummary,
                                    kSep,
                                    kCmdModeOff,
                                    kCmdModeOn,
                                    kCmdModeParking,
                                    kCmdModeSupplemental,
                                    kCmdModeVentilating,
                                    kSep,
                                    kCmdCo2Adjustment,
                                    kSep,
                                    kCmdEolCell,
                                    kSep,
                                    kCmdFreeTelegram,
                                    kSep,
                                    kCmdDebugMode,
                                    kSep,
                                    kCmdAbout,
                                    kCmdHelpMode};
  const QList<QAction*> actions = frame->CommandBar()->actions();
  ASSERT_EQ(actions.size(), 36);
  for (int i = 0; i < 36; ++i) {
    QAction* action = actions[i];
    if (expected[i] == kSep) {
      EXPECT_TRUE(action->isSeparator()) << i;
      continue;
    }
    EXPECT_EQ(action->data().toUInt(), expected[i]) << i;
    const QImage image = action->icon().pixmap(QSize(16, 16)).toImage();
    ASSERT_FALSE(image.isNull()) << expected[i];
    EXPECT_EQ(image.size(), QSize(16, 16)) << expected[i];
    int opaque = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    EXPECT_GT(opaque, 12) << "image of " << expected[i] << " is nearly empty";
  }
}

// --- Status bar --------------------------------------------------------------------------------

TEST_F(FrameTest, MenuHoverShowsTheHintAndClosingRestoresTheText) {
  QMenu* diagnosis = frame->PopupOf(32000);
  ASSERT_NE(diagnosis, nullptr);
  frame->SetStatusText(std::string_view("Fuel prime started"));
  // A toolbar button's hover reaches the menus too; without an open menu it is no hint.
  frame->CommandAction(kCmdStartDiagnosis)->hover();
  EXPECT_EQ(frame->StatusBarText(), "Fuel prime started");

  frame->show();
  diagnosis->popup(frame->mapToGlobal(QPoint(0, 0)));
  ASSERT_TRUE(diagnosis->isVisible());
  emit diagnosis->hovered(frame->CommandAction(kCmdStartDiagnosis));
  EXPECT_EQ(frame->StatusBarText(), "Start communication with device");
  // A string without a line feed is all hint.
  emit diagnosis->hovered(frame->CommandAction(kCmdStartMeasurementLog));
  EXPECT_EQ(frame->StatusBarText(), "Start storing of measured values into file");
  // A command without a string leaves the bar as it is.
  emit diagnosis->hovered(frame->CommandAction(kCmdSaveSummary));
  EXPECT_EQ(frame->StatusBarText(), "Start storing of measured values into file");

  diagnosis->hide();
  EXPECT_EQ(frame->StatusBarText(), "Fuel prime started");
}

TEST_F(FrameTest, StatusTextHoldsTenSecondsOfTicks) {
  EXPECT_EQ(frame->StatusBarText(), "Ready...");
  frame->SetStatusText(std::string_view("Please wait...\nsecond line"));
  EXPECT_EQ(frame->StatusBarText(), "Please wait...");
  for (int tick = 1; tick < 50; ++tick) frame->FrameTick();
  EXPECT_EQ(frame->StatusBarText(), "Please wait...");
  frame->FrameTick();
  EXPECT_EQ(frame->StatusBarText(), "Ready...");

  frame->SetStatusTextById(kCmdStopDiagnosis);
  EXPECT_EQ(frame->StatusBarText(), "Stop communication with device");
  frame->SetStatusTextById(0);
  EXPECT_EQ(frame->StatusBarText(), "Ready...");
}

TEST_F(FrameTest, TitleNamesTheSelectedDevice) {
  core.selected = 3;
  frame->UpdateWindowTitle();
  EXPECT_EQ(frame->windowTitle().toStdString(),
            std::string(HEATDIAG_PRODUCT_NAME) + " V" + HEATDIAG_PRODUCT_VERSION + " - [Device 3]");
}

// --- Command state on the actions --------------------------------------------------------------

TEST_F(FrameTest, ActionsFollowTheCoreOnEveryTick) {
  core.selected = 19;
  frame->FrameTick();
  EXPECT_FALSE(frame->CommandAction(kCmdModeOn)->isEnabled());
  EXPECT_TRUE(frame->CommandAction(kCmdStartDiagnosis)->isEnabled());
  EXPECT_TRUE(frame->CommandAction(kCmdStopDiagnosis)->isChecked());

  core.selected = 0;
  core.session = true;
  core.dataValid = true;
  core.available.fill(1);
  core.mode = 2;
  frame->FrameTick();
  EXPECT_TRUE(frame->CommandAction(kCmdModeOn)->isEnabled());
  EXPECT_TRUE(frame->CommandAction(kCmdModeParking)->isChecked());
  EXPECT_FALSE(frame->CommandAction(kCmdModeOn)->isChecked());
  EXPECT_FALSE(frame->CommandAction(kCmdStartDiagnosis)->isEnabled());
  EXPECT_TRUE(frame->CommandAction(kCmdStartDiagnosis)->isChecked());

  core.search = true;
  core.session = false;
  frame->FrameTick();
  EXPECT_FALSE(frame->CommandAction(kCmdDeviceSelection)->isEnabled());
  EXPECT_TRUE(frame->CommandAction(kCmdStopDiagnosis)->isEnabled());
}

TEST_F(FrameTest, NoDriverCallWithoutADevice) {
  core.selected = 19;
  core.session = true;  // a stale flag must not lead to a call
  for (std::uint32_t id : {kCmdModeOn, kCmdModeOff, kCmdStartDiagnosis, kCmdComponentTest}) {
    frame->HandleCommand(id);
  }
  dialogs.yes = true;
  frame->HandleCommand(kCmdClearFaults);
  frame->FrameTick();
  for (const std::string& call : core.calls) {
    EXPECT_NE(call.rfind("SetOperatingMode", 0), 0U) << call;
    EXPECT_NE(call, "StartDiagnosis");
    EXPECT_NE(call, "ClearFaults");
    EXPECT_NE(call, "RunOwnComponentTest");
  }
}

// --- Commands ----------------------------------------------------------------------------------

TEST_F(FrameTest, CommandHandlerTakesOnlyItsRange) {
  EXPECT_FALSE(frame->HandleCommand(32770));
  EXPECT_FALSE(frame->HandleCommand(32872));
  EXPECT_FALSE(frame->HandleCommand(32873));
  EXPECT_FALSE(frame->HandleCommand(32870));  // help comes before the command handler
  EXPECT_TRUE(frame->HandleCommand(kCmdOverview));
  EXPECT_TRUE(frame->HandleCommand(kCmdFileIntoDevice));  // a later module's command
  EXPECT_TRUE(frame->HandleCommand(kCmdCascade));
}

TEST_F(FrameTest, OperatingModesReachTheDriverDuringASession) {
  core.session = true;
  const std::pair<std::uint32_t, std::uint32_t> modes[] = {
      {kCmdModeOff, 0},         {kCmdModeOn, 1},    {kCmdModeParking, 2}, {kCmdModeSupplemental, 3},
      {kCmdModeVentilating, 4}, {kCmdModeBoost, 5}, {kCmdModePump, 6}};
  for (const auto& [command, mode] : modes) {
    core.calls.clear();
    frame->HandleCommand(command);
    EXPECT_EQ(core.calls, std::vector<std::string>{"SetOperatingMode " + std::to_string(mode)});
  }
  core.session = false;
  core.calls.clear();
  frame->HandleCommand(kCmdModeOn);
  EXPECT_TRUE(core.calls.empty());
}

TEST_F(FrameTest, StartAndStopDiagnosis) {
  frame->HandleCommand(kCmdStartDiagnosis);
  EXPECT_EQ(core.calls, std::vector<std::string>{"StartDiagnosis"});

  core.calls.clear();
  core.session = true;
  frame->HandleCommand(kCmdStartDiagnosis);
  EXPECT_TRUE(core.calls.empty());

  ProgramSettings().autoStart = 1;
  frame->HandleCommand(kCmdStopDiagnosis);
  EXPECT_EQ(ProgramSettings().autoStart, 0);
  EXPECT_EQ(core.calls, std::vector<std::string>{"FinishDiagnosis"});

  core.calls.clear();
  core.search = true;
  frame->HandleCommand(kCmdStopDiagnosis);
  EXPECT_EQ(core.calls, (std::vector<std::string>{"CancelSearch", "FinishDiagnosis"}));
}

TEST_F(FrameTest, ClearFaultsAsksFirst) {
  const struct {
    bool session;
    bool yes;
    bool cleared;
  } cases[] = {{true, true, true}, {true, false, false}, {false, true, false}};
  for (const auto& c : cases) {
    core.session = c.session;
    core.calls.clear();
    dialogs.shown.clear();
    dialogs.yes = c.yes;
    frame->HandleCommand(kCmdClearFaults);
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0], "YesNo Clear errors|Do you really want to clear all errors?");
    EXPECT_EQ(core.calls == std::vector<std::string>{"ClearFaults"}, c.cleared);
  }
}

TEST_F(FrameTest, SettingTogglesAndComPort) {
  const struct {
    std::uint32_t command;
    std::int32_t Settings::*setting;
  } toggles[] = {{kCmdAutoStart, &Settings::autoStart},
                 {kCmdBlockMode, &Settings::hbusBlock},
                 {kCmdEolBackup, &Settings::eolBackup}};
  for (const auto& t : toggles) {
    frame->HandleCommand(t.command);
    EXPECT_EQ(ProgramSettings().*(t.setting), 1) << t.command;
    EXPECT_TRUE(frame->CommandAction(t.command)->isChecked()) << t.command;
    frame->HandleCommand(t.command);
    EXPECT_EQ(ProgramSettings().*(t.setting), 0) << t.command;
  }

  ProgramSettings().comPort = 1;
  dialogs.portResult = 4;
  frame->HandleCommand(kCmdComPort);
  EXPECT_EQ(ProgramSettings().comPort, 4);
  EXPECT_EQ(dialogs.shown.back(), "SelectComPort 1");
  dialogs.portResult = 0;  // Cancel
  frame->HandleCommand(kCmdComPort);
  EXPECT_EQ(ProgramSettings().comPort, 4);
}

TEST_F(FrameTest, ComponentTestUsesTheDriversOwnTest) {
  core.available[kFnOwnComponentTest] = 1;
  frame->HandleCommand(kCmdComponentTest);
  EXPECT_EQ(core.calls, std::vector<std::string>{"RunOwnComponentTest"});
  core.calls.clear();
  core.available[kFnOwnComponentTest] = 0;
  frame->HandleCommand(kCmdComponentTest);
  EXPECT_TRUE(core.calls.empty());
}

struct SelectionCase {
  const char* name;
  std::uint32_t selected;
  bool session;
  int result;
  bool confirmSearch;
  std::vector<std::string> calls;
};

class DeviceSelection : public FrameTest, public testing::WithParamInterface<SelectionCase> {};

TEST_P(DeviceSelection, FollowsTheDialogsResult) {
  const SelectionCase& c = GetParam();
  core.selected = c.selected;
  core.session = c.session;
  dialogs.deviceResult = c.result;
  dialogs.ok = c.confirmSearch;
  frame->HandleCommand(kCmdDeviceSelection);
  EXPECT_EQ(core.calls, c.calls) << c.name;
  EXPECT_EQ(dialogs.shown.front(), "SelectDevice " + std::to_string(c.selected)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Results, DeviceSelection,
    testing::Values(SelectionCase{"same device while its session runs", 3, true, 3, true, {}},
                    SelectionCase{"same device without a session restarts",
                                  3,
                                  false,
                                  3,
                                  true,
                                  {"ResetTemporaryStorage", "SelectDevice 3", "StartDiagnosis"}},
                    SelectionCase{"another device ends the running session",
                                  3,
                                  true,
                                  5,
                                  true,
                                  {"ResetTemporaryStorage", "FinishDiagnosis", "SelectDevice 5",
                                   "StartDiagnosis"}},
                    SelectionCase{"cancel keeps everything", 3, true, 19, true, {}},
                    SelectionCase{
                        "automatic search",
                        3,
                        true,
                        -1,
                        true,
                        {"ResetTemporaryStorage", "FinishDiagnosis", "StartAutomaticSearch"}},
                    SelectionCase{"automatic search declined at the warning",
                                  3,
                                  false,
                                  -1,
                                  false,
                                  {"ResetTemporaryStorage"}},
                    SelectionCase{"from no device",
                                  19,
                                  false,
                                  0,
                                  true,
                                  {"ResetTemporaryStorage", "SelectDevice 0", "StartDiagnosis"}}),
    [](const testing::TestParamInfo<SelectionCase>& param) {
      return "case" + std::to_string(param.index);
    });

TEST_F(FrameTest, DeviceSelectionIsRefusedWhileSearching) {
  core.search = true;
  frame->HandleCommand(kCmdDeviceSelection);
  EXPECT_TRUE(dialogs.shown.empty());
}

// --- Timer and messages ------------------------------------------------------------------------

TEST_F(FrameTest, AutomaticStartTriesOnEveryTickOnceDue) {
  ProgramSettings().autoStart = 1;
  int starts = 0;
  const auto countStarts = [this] {
    int n = 0;
    for (const auto& call : core.calls) n += call == "StartDiagnosis" ? 1 : 0;
    return n;
  };
  frame->FrameTick();
  EXPECT_EQ(countStarts(), 0);
  frame->FrameTick();
  EXPECT_EQ(countStarts(), 1);
  frame->FrameTick();
  starts = countStarts();
  EXPECT_EQ(starts, 2);

  // Not while the automatic search holds the port.
  core.search = true;
  frame->FrameTick();
  EXPECT_EQ(countStarts(), starts);
}

TEST_F(FrameTest, LinkEndedFinishesARunningDiagnosis) {
  frame->HandleFrameMessage(UM_LINKENDED, 0, 0);
  EXPECT_TRUE(core.calls.empty());
  core.session = true;
  frame->HandleFrameMessage(UM_LINKENDED, 0, 0);
  EXPECT_EQ(core.calls, std::vector<std::string>{"FinishDiagnosis"});
}

TEST_F(FrameTest, MessagesPostedFromAWorkerArriveOnTheGuiThread) {
  core.session = true;
  std::thread worker([this] { frame->Target().Post(UM_LINKENDED, 0, 0); });
  worker.join();
  EXPECT_TRUE(core.calls.empty());  // queued, not handled on the worker
  DrainEvents();
  EXPECT_EQ(core.calls, std::vector<std::string>{"FinishDiagnosis"});
}

TEST_F(FrameTest, StartupSubscribesAndReopensSavedViewsInOrder) {
  RegisterPlainViews();
  Settings& settings = ProgramSettings();
  settings.protViewOpen = 1;
  settings.overviewOpen = 1;
  settings.parViewOpen = 1;
  settings.workViewOpen = 1;
  frame->HandleFrameMessage(UM_STARTUP, 0, 0);
  EXPECT_EQ(core.subscriber, &frame->Target());
  EXPECT_EQ(core.subscribedMask, 0U);
  EXPECT_EQ(opened, (std::vector<ViewKind>{ViewKind::kParameterList, ViewKind::kOverview,
                                           ViewKind::kOperatingData, ViewKind::kProtocol}));
}

TEST_F(FrameTest, DataReadyOpensTheOverviewUnlessItReopensAtStartup) {
  RegisterPlainViews();
  frame->SetStatusText(std::string_view("Please wait..."));
  frame->HandleFrameMessage(UM_DATAREADY, 0, 0);
  EXPECT_EQ(frame->StatusBarText(), "Ready...");
  EXPECT_TRUE(frame->IsViewOpen(ViewKind::kOverview));

  frame->CloseView(ViewKind::kOverview);
  DrainEvents();
  ProgramSettings().overviewOpen = 1;
  frame->HandleFrameMessage(UM_DATAREADY, 0, 0);
  EXPECT_FALSE(frame->IsViewOpen(ViewKind::kOverview));
}

TEST_F(FrameTest, MenuBarFollowsTheActiveView) {
  RegisterPlainViews();
  frame->show();
  frame->OpenView(ViewKind::kProtocol);
  EXPECT_EQ(frame->CurrentMenuBar(), FrameMenu::kProtocol);
  QStringList titles = VisibleMenuTitles();
  EXPECT_EQ(titles.indexOf("P&rotocol") + 1, titles.indexOf("&Window"));
  EXPECT_FALSE(titles.contains("Actual values &graph"));

  frame->OpenView(ViewKind::kGraph);
  EXPECT_EQ(frame->CurrentMenuBar(), FrameMenu::kGraph);
  titles = VisibleMenuTitles();
  EXPECT_EQ(titles.indexOf("Actual values &graph") + 1, titles.indexOf("&Window"));
  EXPECT_FALSE(titles.contains("P&rotocol"));

  frame->OpenView(ViewKind::kParameterList);
  EXPECT_EQ(frame->CurrentMenuBar(), FrameMenu::kMain);

  frame->CloseAllViews();
  DrainEvents();
  EXPECT_EQ(frame->MdiArea()->subWindowList().size(), 0);
  EXPECT_EQ(frame->CurrentMenuBar(), FrameMenu::kMain);
  for (int i = 0; i < kViewCount; ++i) EXPECT_FALSE(frame->IsViewOpen(static_cast<ViewKind>(i)));
}

TEST_F(FrameTest, ViewCommandsToggleAndViewsReopenWhereTheyWere) {
  RegisterPlainViews();
  frame->resize(900, 700);
  frame->show();
  DrainEvents();
  frame->HandleCommand(kCmdDeviceInfo);
  ASSERT_TRUE(frame->IsViewOpen(ViewKind::kDeviceInfo));
  EXPECT_TRUE(frame->CommandAction(kCmdDeviceInfo)->isChecked());
  frame->ViewWindow(ViewKind::kDeviceInfo)->setGeometry(40, 30, 320, 220);

  frame->HandleCommand(kCmdDeviceInfo);
  DrainEvents();
  EXPECT_FALSE(frame->IsViewOpen(ViewKind::kDeviceInfo));
  EXPECT_FALSE(frame->CommandAction(kCmdDeviceInfo)->isChecked());
  const WindowPlacement saved = UnpackPlacement(ProgramSettings().infoViewPos);
  EXPECT_EQ(saved.length, 44U);
  EXPECT_EQ(saved.showCommand, 1U);
  EXPECT_EQ(saved.left, 40);
  EXPECT_EQ(saved.top, 30);
  EXPECT_EQ(saved.right, 360);
  EXPECT_EQ(saved.bottom, 250);

  frame->HandleCommand(kCmdDeviceInfo);
  ASSERT_TRUE(frame->IsViewOpen(ViewKind::kDeviceInfo));
  EXPECT_EQ(frame->ViewWindow(ViewKind::kDeviceInfo)->geometry(), QRect(40, 30, 320, 220));
}

TEST_F(FrameTest, MaximisedViewKeepsItsNormalRectangle) {
  RegisterPlainViews();
  frame->resize(900, 700);
  frame->show();
  frame->OpenView(ViewKind::kOperatingData);
  DocumentWindow* window = frame->ViewWindow(ViewKind::kOperatingData);
  window->setGeometry(10, 20, 300, 200);
  window->showMaximized();
  DrainEvents();
  frame->CloseView(ViewKind::kOperatingData);
  DrainEvents();
  const WindowPlacement saved = UnpackPlacement(ProgramSettings().workViewPos);
  EXPECT_EQ(saved.showCommand, 3U);
  EXPECT_EQ(QRect(saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top),
            QRect(10, 20, 300, 200));
  frame->OpenView(ViewKind::kOperatingData);
  EXPECT_TRUE(frame->ViewWindow(ViewKind::kOperatingData)->isMaximized());
}

TEST(PlacementRect, UnusablePlacementsFallBackToTheDefault) {
  const QSize area(800, 600);
  const auto rect = [&area](std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
                            std::uint32_t length = 44) {
    WindowPlacement p;
    p.length = length;
    p.left = l;
    p.top = t;
    p.right = r;
    p.bottom = b;
    return UsablePlacementRect(p, area);
  };
  EXPECT_EQ(rect(10, 10, 310, 210), QRect(10, 10, 300, 200));
  EXPECT_FALSE(rect(10, 10, 310, 210, 0).isValid());    // never saved
  EXPECT_FALSE(rect(10, 10, 10, 10).isValid());         // empty
  EXPECT_FALSE(rect(300, 300, 10, 10).isValid());       // inverted
  EXPECT_FALSE(rect(0, 0, 2000000000, 100).isValid());  // absurd
  // Off the area: moved back so that the title bar can be reached.
  EXPECT_EQ(rect(5000, 4000, 5300, 4200), QRect(760, 580, 300, 200));
  EXPECT_EQ(rect(-1000, -50, -700, 150), QRect(-260, 0, 300, 200));
}

TEST_F(FrameTest, ClosingRecordsOpenFlagsOfBuiltViewsOnly) {
  // Only the list views are built in this program; the others keep their saved flags.
  for (ViewKind kind : {ViewKind::kParameterList, ViewKind::kDeviceInfo, ViewKind::kOperatingData})
    frame->SetViewFactory(kind, [kind] { return new PlainView(kind, FrameMenu::kMain); });
  Settings& settings = ProgramSettings();
  settings.overviewOpen = 1;
  settings.infoViewOpen = 1;
  frame->HandleFrameMessage(UM_STARTUP, 0, 0);
  frame->show();
  frame->OpenView(ViewKind::kParameterList);
  frame->CloseView(ViewKind::kDeviceInfo);
  DrainEvents();
  core.session = true;
  frame->close();
  EXPECT_EQ(settings.parViewOpen, 1);
  EXPECT_EQ(settings.infoViewOpen, 0);
  EXPECT_EQ(settings.workViewOpen, 0);
  EXPECT_EQ(settings.overviewOpen, 1);
  EXPECT_EQ(core.calls, (std::vector<std::string>{"Subscribe", "Unsubscribe", "FinishDiagnosis"}));
  EXPECT_EQ(UnpackPlacement(settings.parViewPos).length, 44U);
}

// --- Worker error boxes ------------------------------------------------------------------------

TEST_F(FrameTest, WorkerErrorBoxBlocksTheWorkerUntilShown) {
  std::atomic<bool> returned{false};
  std::thread worker([this, &returned] {
    frame->ErrorBoxes().ShowError("Error!", "The selected COM port cannot be used!");
    returned = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!returned && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  worker.join();
  ASSERT_TRUE(returned);
  EXPECT_EQ(dialogs.shown,
            std::vector<std::string>{"Error Error!|The selected COM port cannot be used!"});
}

TEST_F(FrameTest, WorkerErrorBoxIsSkippedWithAutoStart) {
  ProgramSettings().autoStart = 1;
  std::atomic<bool> returned{false};
  std::thread worker([this, &returned] {
    frame->ErrorBoxes().ShowError("Error!", "Timeout!");
    returned = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!returned && std::chrono::steady_clock::now() < deadline)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  worker.join();
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FrameTest, ClosedTargetsReleaseAWaitingWorker) {
  frame->CloseMessageTargets();
  // Nobody runs the GUI loop: the worker must still come back.
  std::thread worker([this] {
    frame->ErrorBoxes().ShowError("Error!", "Timeout!");
    frame->Target().Send(UM_LINKENDED, 0, 0);
  });
  worker.join();
  DrainEvents();
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_TRUE(core.calls.empty());
}

TEST_F(FrameTest, ShowErrorMessageFormatsItsTextAndArgument) {
  frame->HandleFrameMessage(UM_SHOWERROR, 31000, 0);
  ASSERT_EQ(dialogs.shown.size(), 1U);
  EXPECT_EQ(dialogs.shown[0], "Error Error!|Insufficient free memory!");
  frame->HandleFrameMessage(UM_SHOWERROR, 0, 0);       // no text
  frame->HandleFrameMessage(UM_SHOWERROR, 987654, 0);  // unknown text
  EXPECT_EQ(dialogs.shown.size(), 1U);
}

// --- Background --------------------------------------------------------------------------------

TEST(MdiBackground, BandArcAndFieldColours) {
  test::App();
  MdiClient client;
  client.resize(600, 400);
  client.show();
  const QImage image = client.viewport()->grab().toImage();
  ASSERT_FALSE(image.isNull());
  const auto colour = [&image](int x, int y) {
    const QColor c = image.pixelColor(x * image.width() / 600, y * image.height() / 400);
    return std::array<int, 3>{c.red(), c.green(), c.blue()};
  };
  EXPECT_EQ(colour(5, 200), (std::array<int, 3>{0, 74, 255}));       // the band at the left edge
  EXPECT_EQ(colour(300, 200), (std::array<int, 3>{222, 222, 222}));  // the field
  EXPECT_EQ(colour(300, 398), (std::array<int, 3>{255, 0, 0}));      // the arc at the bottom
  EXPECT_EQ(colour(150, 398), (std::array<int, 3>{222, 222, 222}));  // left of the arc
  // The band's right edge bows inward: w/15 at the top, nearer the edge in the middle.
  EXPECT_EQ(colour(600 / 15 - 3, 2), (std::array<int, 3>{0, 74, 255}));
  EXPECT_EQ(colour(600 / 15 - 3, 200), (std::array<int, 3>{222, 222, 222}));
}

}  // namespace
}  // namespace heatdiag
