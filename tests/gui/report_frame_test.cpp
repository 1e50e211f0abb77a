// The debug and report commands in the frame: menu items, enabling and the F7 toggle.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <memory>

#include "base/settings.h"
#include "debug/gui/debug_window.h"
#include "gui/frame_fakes.h"
#include "gui/qt_app.h"
#include "report/gui/report_window.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_window.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kPopupPrint = 32003;

class ReportFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ProgramSettings() = Settings{};
    ProgramSettings().debugHeader = "*.H";
    core.selected = 0;
    frame = std::make_unique<FrameWindow>(core, dialogs);
    RegisterDebugMode(*frame);
    RegisterReport(*frame);
  }
  void TearDown() override {
    if (OpenDebugWindow() != nullptr) OpenDebugWindow()->ExitMode();
    frame.reset();
    test::DrainEvents();
  }

  test::FakeCore core;
  test::FakeDialogs dialogs;
  std::unique_ptr<FrameWindow> frame;
};

TEST_F(ReportFrameTest, PrintMenuOffersThePdfBesidePrinting) {
  QMenu* print = frame->PopupOf(kPopupPrint);
  ASSERT_NE(print, nullptr);
  ASSERT_EQ(print->actions().size(), 2);
  EXPECT_EQ(print->actions()[0]->data().toUInt(), kCmdPrintSummary);
  EXPECT_EQ(print->actions()[1]->data().toUInt(), kCmdSaveSummaryPdf);
  EXPECT_EQ(print->actions()[1]->text(), "Save summary as &PDF...");
  frame->UpdateCommandUI();
  EXPECT_FALSE(frame->CommandAction(kCmdSaveSummaryPdf)->isEnabled());
  core.session = true;
  core.dataValid = true;
  frame->UpdateCommandUI();
  EXPECT_TRUE(frame->CommandAction(kCmdSaveSummaryPdf)->isEnabled());
}

TEST_F(ReportFrameTest, DebugCommandTogglesTheWindowAndItsCheckMark) {
  core.session = true;
  core.dataValid = true;
  core.available[kFnDebugMode] = 1;
  ASSERT_TRUE(frame->HandleCommand(kCmdDebugMode));
  ASSERT_NE(OpenDebugWindow(), nullptr);
  OpenDebugWindow()->Timer().stop();
  EXPECT_TRUE(frame->CommandAction(kCmdDebugMode)->isChecked());
  frame->HandleCommand(kCmdDebugMode);
  EXPECT_EQ(OpenDebugWindow(), nullptr);
  EXPECT_FALSE(frame->CommandAction(kCmdDebugMode)->isChecked());
}

}  // namespace
}  // namespace heatdiag
