#include "shell/gui/help_controller.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>
#include <set>

#include "base/settings.h"
#include "gui/frame_fakes.h"
#include "gui/qt_app.h"
#include "shell/gui/commands.h"
#include "shell/gui/dialogs.h"
#include "shell/gui/frame_window.h"
#include "shell/gui/view_kind.h"

namespace heatdiag {
namespace {

using test::DrainEvents;

class HelpTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ProgramSettings() = Settings{};
    frame = std::make_unique<FrameWindow>(core, dialogs);
    for (int i = 0; i < kViewCount; ++i) {
      const auto kind = static_cast<ViewKind>(i);
      frame->SetViewFactory(kind, [kind] { return new test::PlainView(kind, FrameMenu::kMain); });
    }
    help = RegisterHelp(*frame);
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
  }
  void TearDown() override {
    frame.reset();
    DrainEvents();
  }

  void Trigger(std::uint32_t command) { frame->CommandAction(command)->trigger(); }
  void Arm() {
    Trigger(kCmdHelpMode);
    DrainEvents();
    ASSERT_EQ(help->Mode(), HelpMode::kArmed);
  }
  // The help browser took the activation: the frame gets it back, as a user's click would.
  void Reactivate() {
    if (QWidget* browser = help->Browser()) browser->hide();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  }
  QToolButton* ToolButton(std::uint32_t command) {
    return qobject_cast<QToolButton*>(
        frame->CommandBar()->widgetForAction(frame->CommandAction(command)));
  }

  test::FakeCore core;
  test::FakeDialogs dialogs;
  std::unique_ptr<FrameWindow> frame;
  HelpController* help = nullptr;
};

// Every id that a command, a view or a dialog can answer leads to a page that holds its anchor,
// so that a command added later without a topic fails here.
TEST_F(HelpTest, EveryContextIdHasATopicOnItsPage) {
  std::set<std::uint32_t> ids;
  for (std::uint32_t id = kFirstCommand; id <= kCmdHelpContents; ++id)
    if (frame->CommandAction(id) != nullptr) ids.insert(HelpContextOfCommand(id));
  ids.insert(HelpContextOfCommand(kCmdHelpContents));
  for (int i = 0; i < kViewCount; ++i) ids.insert(InfoOf(static_cast<ViewKind>(i)).helpContext);
  for (std::uint32_t dialog : kHelpDialogIds) ids.insert(HelpContextOfDialog(dialog));
  for (std::uint32_t part = 0; part < kFramePartCount; ++part)
    ids.insert(HelpContextOfFramePart(part));
  for (std::uint32_t command : kHelpSystemCommands) ids.insert(HelpContextOfSystemCommand(command));
  ids.insert(ComPortDialog::kHelpContext);
  ids.insert(DeviceSelectionDialog::kHelpContext);
  EXPECT_EQ(ids.size(), HelpTopics().size()) << "a topic that nothing in the program names";

  for (std::uint32_t id : ids) {
    SCOPED_TRACE(testing::Message() << std::hex << id);
    const auto topic = FindHelpTopic(id);
    ASSERT_TRUE(topic.has_value());
    QFile page(QStringLiteral(":/heatdiag/help/%1").arg(QString::fromLatin1(topic->page)));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    EXPECT_TRUE(html.contains(QByteArray("name=\"") + HelpAnchor(id).c_str() + "\""));
  }
  QFile contents(QStringLiteral(":/heatdiag/help/%1").arg(kHelpContentsPage));
  EXPECT_TRUE(contents.open(QIODevice::ReadOnly));
}

TEST(HelpContextTest, IdsOfTheirSources) {
  EXPECT_EQ(HelpContextOfDialog(155), 0x2009Bu);
  EXPECT_EQ(HelpContextOfCommand(kCmdStartDiagnosis), 0x18007u);
  EXPECT_EQ(HelpContextOfSystemCommand(kSysClose), 0x1EF06u);
  EXPECT_EQ(HelpContextOfFramePart(kPartCaption), 0x40002u);
  EXPECT_FALSE(FindHelpTopic(0x12345).has_value());
  EXPECT_EQ(HelpUrl(0x12345).fileName(), QStringLiteral("contents.html"));
  EXPECT_EQ(HelpUrl(0x18007).fragment(), QStringLiteral("x18007"));

  MenuSelection selection;
  EXPECT_EQ(selection.Context(0), 0u);
  EXPECT_EQ(selection.Context(141), 0x2008Du);
  selection.SelectSystemCommand(kSysMove);
  EXPECT_EQ(selection.Context(141), HelpContextOfSystemCommand(kSysMove));
  selection.Select(kCmdOverview);
  EXPECT_EQ(selection.Context(0), HelpContextOfCommand(kCmdOverview));
}

TEST_F(HelpTest, EscapeEndsHelpModeWithoutATopic) {
  Arm();
  QTest::keyClick(frame.get(), Qt::Key_Escape);
  EXPECT_EQ(help->Mode(), HelpMode::kOff);
  EXPECT_EQ(help->ShownCount(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(HelpTest, ClickOnAToolbarButtonOpensItsCommandsTopic) {
  core.selected = 0;
  Arm();
  QToolButton* start = ToolButton(kCmdStartDiagnosis);
  ASSERT_NE(start, nullptr);
  QTest::mouseClick(start, Qt::LeftButton, {}, start->rect().center());
  EXPECT_EQ(help->Mode(), HelpMode::kOff);
  EXPECT_EQ(help->LastContext(), HelpContextOfCommand(kCmdStartDiagnosis));
  EXPECT_TRUE(core.calls.empty()) << "the command must not run";
}

TEST_F(HelpTest, CommandChosenInHelpModeNamesItsTopicInsteadOfRunning) {
  Arm();
  Trigger(kCmdClearFaults);  // as a menu item or its key would
  EXPECT_EQ(help->LastContext(), HelpContextOfCommand(kCmdClearFaults));
  EXPECT_EQ(help->Mode(), HelpMode::kOff);
  Trigger(kCmdClearFaults);  // help mode is over: the command runs again
  EXPECT_EQ(help->ShownCount(), 1);
}

TEST_F(HelpTest, ClickOnAViewAndOnADocumentWindowFrame) {
  frame->OpenView(ViewKind::kFaultList);
  DrainEvents();
  DocumentWindow* window = frame->ViewWindow(ViewKind::kFaultList);
  ASSERT_NE(window, nullptr);
  Arm();
  QWidget* view = frame->View(ViewKind::kFaultList);
  QTest::mouseClick(view, Qt::LeftButton, {}, view->rect().center());
  EXPECT_EQ(help->LastContext(), kHelpFaultList);

  Reactivate();
  Arm();
  const QPoint title(window->width() / 2, window->widget()->geometry().top() / 2);
  QTest::mouseClick(window, Qt::LeftButton, {}, title);
  EXPECT_EQ(help->LastContext(), HelpContextOfFramePart(kPartCaption));
}

TEST_F(HelpTest, F1ShowsTheFocusedViewOrElseTheContents) {
  Trigger(kCmdHelpOnFocus);
  EXPECT_EQ(help->ShownCount(), 1);
  EXPECT_EQ(help->LastContext(), 0u) << "nothing answers: the contents";

  frame->OpenView(ViewKind::kOverview);
  DrainEvents();
  Reactivate();
  QWidget* overview = frame->View(ViewKind::kOverview);
  overview->setFocusPolicy(Qt::StrongFocus);
  overview->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([overview] { return overview->hasFocus(); }));
  Trigger(kCmdHelpOnFocus);
  EXPECT_EQ(help->LastContext(), kHelpOverview);
}

TEST_F(HelpTest, EnteringTwiceArmsOnce) {
  Trigger(kCmdHelpMode);
  EXPECT_EQ(help->Mode(), HelpMode::kEntering);
  Trigger(kCmdHelpMode);
  DrainEvents();
  EXPECT_EQ(help->Mode(), HelpMode::kArmed);
  EXPECT_TRUE(help->FilterCommand(kCmdHelpContents));
  EXPECT_EQ(help->Mode(), HelpMode::kOff);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(help->LastContext(), 0u);
}

}  // namespace
}  // namespace heatdiag
