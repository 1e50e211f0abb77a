// The "Debug" window on a scripted driver record.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/frame_sink.h"
#include "base/protocol.h"
#include "base/settings.h"
#include "debug/gui/debug_window.h"
#include "drivers/device_table.h"
#include "gui/qt_app.h"
#include "shell/program_settings.h"

namespace heatdiag {
namespace {

struct Fake {
  bool session = true;
  int startResult = 1;
  std::vector<std::string> calls;
};
Fake g_fake;

std::array<DeviceDriver, kDeviceCount>& Records() {
  static std::array<DeviceDriver, kDeviceCount> records = [] {
    std::array<DeviceDriver, kDeviceCount> r{};
    r[0].IsSessionActive = [] { return g_fake.session ? 1 : 0; };
    r[0].StartDebugMode = [](DebugState*) {
      g_fake.calls.push_back("start");
      return g_fake.startResult;
    };
    r[0].PollDebugMode = [](DebugState*) { return 1; };
    r[0].EndDebugMode = [](DebugState*) { g_fake.calls.push_back("end"); };
    r[0].SendDebugCommand = [](DebugState*) { g_fake.calls.push_back("send"); };
    return r;
  }();
  return records;
}

struct Boxes : ErrorBoxPresenter {
  std::vector<std::string> texts;
  void ShowError(std::string_view, std::string_view text) override { texts.emplace_back(text); }
};

struct Lines : ProtocolSink {
  std::vector<std::string> texts;
  void Add(std::string_view text, int kind) override {
    if (kind == kProtocolStateChange) texts.emplace_back(text);
  }
};

class DebugWindowTest : public ::testing::Test {
 protected:
  DebugWindowTest() : table_(DeviceTableView(Records())) {
    test::App();
    g_fake = {};
    MemorySettingsBackend backend;
    LoadSettings(backend);
    SelectDevice(0);
    SetErrorBoxPresenter(&boxes_);
    SetProtocolSink(&lines_);
    // One file per process: ctest runs the cases of this fixture side by side.
    header_ = std::filesystem::temp_directory_path() /
              ("heatdiag_debug_window_test_" + std::to_string(::getpid()) + ".h");
    std::ofstream(header_)
        << "/* $$STATE$$ */\n#define ST_OFF 0\n#define ST_RUN 1\n#define ST_FAN 2\n"
           "end\n// $$FUNC$$\n#define F_FAN 12 // Combustion air fan\n";
  }
  ~DebugWindowTest() override {
    if (OpenDebugWindow() != nullptr) OpenDebugWindow()->ExitMode();
    test::DrainEvents();
    SetHeaderChooser(nullptr);
    SetProtocolSink(nullptr);
    SetErrorBoxPresenter(nullptr);
    SelectDevice(kNoDevice);
    std::filesystem::remove(header_);
  }

  DebugWindow& Open() {
    ToggleDebugWindow(nullptr);
    DebugWindow* window = OpenDebugWindow();
    EXPECT_NE(window, nullptr);
    window->Timer().stop();  // the test ticks by hand
    test::DrainEvents();
    return *window;
  }

  ScopedDeviceTable table_;
  Boxes boxes_;
  Lines lines_;
  std::filesystem::path header_;
};

TEST_F(DebugWindowTest, WithoutHeaderNumbersAndAnEmptyList) {
  DebugWindow& window = Open();
  EXPECT_EQ(window.NewState()->count(), 0);
  EXPECT_EQ(window.HeaderEdit()->text(), "*.H");
  // Nothing is enabled before the unit reports a mode.
  EXPECT_FALSE(window.RunButton()->isEnabled());
  EXPECT_FALSE(window.SetButton()->isEnabled());
  window.Tick();
  EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"start", "send"}));
  DebugState& state = ProgramDebugState();
  state.mode = 1;
  state.currentState = 2;
  state.lastState = 1;
  state.lastJump = 0xFD;
  window.Refresh();
  EXPECT_EQ(window.CurrentState()->text(), "<2>");
  EXPECT_EQ(window.LastState()->text(), "<1>");
  EXPECT_EQ(window.LastJump()->text(), "Diagnostic message");
  EXPECT_TRUE(window.RunButton()->isEnabled());
  EXPECT_FALSE(window.StopButton()->isEnabled());
  EXPECT_TRUE(window.StepButton()->isEnabled());
  ASSERT_EQ(lines_.texts.size(), 1u);
  EXPECT_EQ(lines_.texts[0], "             <1> ->              <2> (0s)");
}

TEST_F(DebugWindowTest, HeaderNamesTheStatesAndSetSendsTheChosenOne) {
  ProgramSettings().debugHeader = header_.string();
  DebugWindow& window = Open();
  ASSERT_EQ(window.NewState()->count(), 3);
  EXPECT_EQ(window.NewState()->itemText(2), "ST_FAN");
  DebugState& state = ProgramDebugState();
  state.mode = 2;
  state.currentState = 1;
  state.lastJump = 12;
  window.Refresh();
  EXPECT_EQ(window.CurrentState()->text(), "ST_RUN");
  EXPECT_EQ(window.LastState()->text(), "");
  EXPECT_EQ(window.LastJump()->text(), "Combustion air fan");
  EXPECT_TRUE(window.StopButton()->isEnabled());
  EXPECT_FALSE(window.RunButton()->isEnabled());
  window.NewState()->setCurrentIndex(2);
  window.SetButton()->click();
  EXPECT_EQ(state.newState.load(), 2);
  window.RunButton()->setEnabled(true);
  window.StopButton()->click();
  EXPECT_EQ(state.action.load(), kDebugStop);

  // "..." with another file empties and refills the list.
  std::filesystem::path other = header_;
  other += ".other";
  std::ofstream(other) << "$$STATE$$\n#define ONLY 0\n";
  SetHeaderChooser([&](QWidget*, const QString&) {
    return std::optional<QString>(QString::fromStdString(other.string()));
  });
  window.ChooseHeader();
  EXPECT_EQ(ProgramSettings().debugHeader, other.string());
  EXPECT_EQ(window.NewState()->count(), 1);
  test::DrainEvents();
  EXPECT_EQ(window.HeaderEdit()->text(), QString::fromStdString(other.string()));
  std::filesystem::remove(other);
}

TEST_F(DebugWindowTest, RefusedStartClosesTheWindowAndReports) {
  g_fake.startResult = 0;
  DebugWindow& window = Open();
  window.Tick();
  EXPECT_EQ(OpenDebugWindow(), nullptr);
  EXPECT_EQ(boxes_.texts, std::vector<std::string>{"Debug mode cannot be started!"});
  EXPECT_EQ(ProgramDebugState().window.load(), nullptr);
}

TEST_F(DebugWindowTest, F7AgainLeavesTheModeAndClosesIt) {
  DebugWindow& window = Open();
  window.Tick();
  EXPECT_NE(ProgramDebugState().window.load(), nullptr);
  g_fake.calls.clear();
  ToggleDebugWindow(nullptr);
  EXPECT_EQ(OpenDebugWindow(), nullptr);
  EXPECT_EQ(g_fake.calls, std::vector<std::string>{"end"});
  EXPECT_EQ(ProgramDebugState().action.load(), kDebugLeave);
  EXPECT_EQ(ProgramDebugState().window.load(), nullptr);
  test::DrainEvents();
}

TEST_F(DebugWindowTest, PositionIsSavedAndKeptOnTheScreen) {
  DebugWindow& window = Open();
  window.move(40, 30);
  test::DrainEvents();
  const DebugPosBlock saved = ProgramSettings().debugPos;
  EXPECT_EQ(saved[0], 40);
  EXPECT_EQ(saved[4], 30);
  window.ExitMode();
  test::DrainEvents();
  DebugWindow& again = Open();
  EXPECT_EQ(again.pos(), QPoint(40, 30));
  again.ExitMode();
  test::DrainEvents();
  // A position far off the screen comes back onto it.
  DebugPosBlock& pos = ProgramSettings().debugPos;
  pos = {0x10, 0x27, 0, 0, 0x10, 0x27, 0, 0};  // 10000, 10000
  DebugWindow& moved = Open();
  const QRect screen = moved.screen()->availableGeometry();
  EXPECT_LE(moved.frameGeometry().right(), screen.right());
  EXPECT_LE(moved.frameGeometry().bottom(), screen.bottom());
}

}  // namespace
}  // namespace heatdiag
