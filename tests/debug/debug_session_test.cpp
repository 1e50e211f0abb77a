// The debug window's logic on a scripted driver record: starting, polling, buttons, refresh
// texts and the protocol lines of state changes.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/protocol.h"
#include "debug/debug_session.h"
#include "drivers/device_table.h"

namespace heatdiag {
namespace {

struct FakeDebugDriver {
  bool session = true;
  int startResult = 1;
  int pollResult = 1;
  std::vector<std::string> calls;
};
FakeDebugDriver g_fake;

struct RecordedProtocol : ProtocolSink {
  std::vector<std::pair<std::string, int>> entries;
  void Add(std::string_view text, int kind) override { entries.emplace_back(text, kind); }
};

class DebugSessionTest : public ::testing::Test {
 protected:
  DebugSessionTest() : table_(Table()) {
    g_fake = {};
    SelectDevice(0);
    SetProtocolSink(&protocol_);
  }
  ~DebugSessionTest() override {
    SetProtocolSink(nullptr);
    SelectDevice(kNoDevice);
  }

  static DeviceTableView Table() {
    static std::array<DeviceDriver, kDeviceCount> records = [] {
      std::array<DeviceDriver, kDeviceCount> r{};
      r[0].IsSessionActive = [] { return g_fake.session ? 1 : 0; };
      r[0].StartDebugMode = [](DebugState*) {
        g_fake.calls.push_back("start");
        return g_fake.startResult;
      };
      r[0].PollDebugMode = [](DebugState*) {
        g_fake.calls.push_back("poll");
        return g_fake.pollResult;
      };
      r[0].EndDebugMode = [](DebugState*) { g_fake.calls.push_back("end"); };
      r[0].SendDebugCommand = [](DebugState*) { g_fake.calls.push_back("send"); };
      return r;
    }();
    return DeviceTableView(records);
  }

  ScopedDeviceTable table_;
  RecordedProtocol protocol_;
  DebugState state_;
  SequenceNames names_;
  std::int64_t now_ = 1000;
  DebugSession session_{state_, names_, [this] { return now_; }};
};

TEST_F(DebugSessionTest, FirstTickStartsTheModeThenPolls) {
  session_.Open(nullptr, "/nonexistent.h");
  EXPECT_EQ(session_.Tick(), DebugSession::TickOutcome::kRefresh);
  EXPECT_EQ(state_.action.load(), kDebugStop);
  EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"start", "send", "poll"}));
  state_.mode = 1;  // the driver reports the unit halted
  g_fake.calls.clear();
  EXPECT_EQ(session_.Tick(), DebugSession::TickOutcome::kNothing);
  EXPECT_EQ(g_fake.calls, std::vector<std::string>{"poll"});
}

TEST_F(DebugSessionTest, RefusedStartOrLostPollFails) {
  session_.Open(nullptr, "");
  g_fake.startResult = 0;
  EXPECT_EQ(session_.Tick(), DebugSession::TickOutcome::kFailed);
  EXPECT_EQ(g_fake.calls, std::vector<std::string>{"start"});

  session_.Open(nullptr, "");
  g_fake.startResult = 1;
  g_fake.pollResult = 0;
  EXPECT_EQ(session_.Tick(), DebugSession::TickOutcome::kFailed);
}

TEST_F(DebugSessionTest, LosingTheSessionResetsTheBlock) {
  session_.Open(nullptr, "");
  session_.Tick();
  state_.mode = 2;
  state_.currentState = 7;
  g_fake.session = false;
  g_fake.calls.clear();
  EXPECT_EQ(session_.Tick(), DebugSession::TickOutcome::kRefresh);
  EXPECT_EQ(state_.mode.load(), 0);
  EXPECT_EQ(state_.action.load(), kDebugLeave);
  EXPECT_EQ(state_.currentState.load(), kDebugNone);
  EXPECT_TRUE(g_fake.calls.empty());
  EXPECT_EQ(session_.Tick(), DebugSession::TickOutcome::kNothing);
  // With the session back, the next tick starts the mode again.
  g_fake.session = true;
  EXPECT_EQ(session_.Tick(), DebugSession::TickOutcome::kRefresh);
  EXPECT_EQ(g_fake.calls.front(), "start");
}

TEST_F(DebugSessionTest, ButtonsPassTheActionOnOnlyWithASession) {
  session_.Open(nullptr, "");
  session_.RequestAction(kDebugRun);
  EXPECT_EQ(state_.action.load(), kDebugRun);
  session_.SetNewState(4);
  EXPECT_EQ(state_.newState.load(), 4);
  EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"send", "send"}));
  g_fake.session = false;
  g_fake.calls.clear();
  session_.RequestAction(kDebugStep);
  EXPECT_EQ(state_.action.load(), kDebugStep);
  EXPECT_TRUE(g_fake.calls.empty());
}

TEST_F(DebugSessionTest, ExitLeavesTheModeAndClearsTheWindow) {
  struct NullTarget : MessageTarget {
    void Post(std::uint32_t, std::intptr_t, std::intptr_t) override {}
    void Send(std::uint32_t, std::intptr_t, std::intptr_t) override {}
  } window;
  session_.Open(&window, "");
  EXPECT_EQ(state_.window.load(), &window);
  session_.Tick();
  g_fake.calls.clear();
  session_.Exit();
  EXPECT_EQ(state_.action.load(), kDebugLeave);
  EXPECT_EQ(state_.window.load(), nullptr);
  EXPECT_EQ(g_fake.calls, std::vector<std::string>{"end"});
  EXPECT_FALSE(session_.IsOpen());
  EXPECT_EQ(session_.Tick(), DebugSession::TickOutcome::kNothing);
}

TEST_F(DebugSessionTest, RefreshShowsNamesAndLogsEachStateChange) {
  session_.Open(nullptr, "");
  // Without a header: numbers in angle brackets, an empty list, nothing for unknown states.
  EXPECT_TRUE(session_.StateList().empty());
  DebugDisplay display = session_.Refresh();
  EXPECT_EQ(display.current, "");
  EXPECT_FALSE(display.stateChange);

  state_.currentState = 7;
  state_.lastState = 4;
  state_.lastJump = kJumpDiagnosticMessage;
  state_.runTimeSet = 150;
  state_.runTimeActual = 12;
  state_.mode = 1;
  now_ += 2600;  // since the window opened
  display = session_.Refresh();
  EXPECT_EQ(display.current, "<7>");
  EXPECT_EQ(display.last, "<4>");
  EXPECT_EQ(display.lastJump, "Diagnostic message");
  EXPECT_EQ(display.runTimeSet, "150");
  EXPECT_EQ(display.runTimeActual, "12");
  EXPECT_EQ(display.buttons, DebugButtonsForMode(1));
  ASSERT_TRUE(display.stateChange);
  EXPECT_EQ(*display.stateChange, "             <4> ->              <7> (3s)");

  now_ += 400;
  EXPECT_FALSE(session_.Refresh().stateChange);  // no change
  state_.lastState = 7;
  state_.currentState = 8;
  now_ += 1100;
  EXPECT_EQ(*session_.Refresh().stateChange, "             <7> ->              <8> (2s)");
  ASSERT_EQ(protocol_.entries.size(), 2u);
  EXPECT_EQ(protocol_.entries[0].second, kProtocolStateChange);
}

TEST(DebugTexts, LastJumpAndLongNames) {
  SequenceNames names;
  names.functionNames[0xFD] = "F_253";
  names.functionNames[12] = "Combustion air fan";
  names.stateNames[3] = "A_VERY_LONG_STATE_NAME_INDEED";
  const std::pair<std::uint16_t, const char*> cases[] = {
      {0, ""},
      {0xFF, "Restart"},
      {0xFE, "t"},
      {0xFD, "Diagnostic message"},
      {0xFC, "Special function"},
      {12, "Combustion air fan"},
      {40, "<40>"},
      {300, "<300>"},
  };
  for (const auto& [jump, text] : cases) EXPECT_EQ(LastJumpText(jump, names), text) << jump;
  EXPECT_EQ(DebugStateText(kDebugNone, names), "");
  EXPECT_EQ(DebugStateText(3, names), "A_VERY_LONG_STATE_NAME_INDEED");
}

TEST(DebugButtons, EnableTableByMode) {
  const std::pair<std::uint16_t, DebugButtons> cases[] = {
      {0, {false, false, false, false, false}}, {1, {true, false, true, true, true}},
      {2, {false, true, false, false, true}},   {3, {true, true, false, true, true}},
      {4, {false, false, false, false, true}},  {5, {false, false, false, false, false}},
  };
  for (const auto& [mode, buttons] : cases) EXPECT_EQ(DebugButtonsForMode(mode), buttons) << mode;
}

}  // namespace
}  // namespace heatdiag
