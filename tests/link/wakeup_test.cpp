#include "link/wakeup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "link/pty_peer.h"
#include "link/serial_port.h"

namespace heatdiag {
namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

struct Line {
  linktest::PtyPeer peer;
  SerialPort* port = nullptr;
  Line() {
    if (!peer.Open()) return;
    PortConfig config;
    config.baudRate = 2400;
    config.devicePath = peer.SlavePath();
    OpenPort(port, config);
  }
  ~Line() { ClosePort(port); }
};

struct PulseCase {
  const char* name;
  std::function<int(SerialPort*)> pulse;
  long minimumMs;
};

class WakePatterns : public ::testing::TestWithParam<PulseCase> {};

TEST_P(WakePatterns, TakeTheirTimeAndPurgeTheLine) {
  Line line;
  ASSERT_NE(line.port, nullptr);
  EXPECT_EQ(GetParam().pulse(nullptr), 0);
  // What was on the line before and during the pulse is not taken for an answer.
  line.peer.Inject({0x00, 0xFF, 0x00});
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto t0 = Clock::now();
  EXPECT_EQ(GetParam().pulse(line.port), 1);
  EXPECT_GE(ElapsedMs(t0), GetParam().minimumMs - 1);
  std::uint8_t b;
  std::uint32_t length = 1;
  EXPECT_EQ(ReadWithin(line.port, &b, length, 10), 1);
  EXPECT_EQ(length, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WakePatterns,
    ::testing::Values(PulseCase{"Short", WakeShortPulse, 50},
                      PulseCase{"Double", WakeKeywordPulses, 400},
                      PulseCase{"Pulse120", [](SerialPort* p) { return WakePulse(p, 120); }, 120},
                      PulseCase{"FiveBaud", [](SerialPort* p) { return WakeFiveBaud(p, 0x51); },
                                2000}),
    [](const auto& test) { return std::string(test.param.name); });

struct LineChange {
  bool breakOn;
  Clock::time_point done;
};
std::mutex g_changesMutex;
std::vector<LineChange> g_changes;
void RecordChange(bool breakOn, Clock::time_point done) {
  std::lock_guard lock(g_changesMutex);
  g_changes.push_back({breakOn, done});
}

struct StepsCase {
  const char* name;
  std::function<int(SerialPort*)> pulse;
  std::vector<bool> states;   // the line after each change: true = break
  std::vector<long> afterMs;  // the least time from each change to the next
  // The steps keep a schedule from the pattern's start (the five-baud bits) instead of counting
  // from the previous change.
  bool fromStart = false;
};

class WakeSteps : public ::testing::TestWithParam<StepsCase> {};

TEST_P(WakeSteps, ChangeTheLineInOrder) {
  Line line;
  ASSERT_NE(line.port, nullptr);
  g_changes.clear();
  SetLineChangeObserver(RecordChange);
  const auto before = Clock::now();
  EXPECT_EQ(GetParam().pulse(line.port), 1);
  SetLineChangeObserver(nullptr);
  const auto& c = GetParam();
  ASSERT_EQ(g_changes.size(), c.states.size());
  for (std::size_t i = 0; i < c.states.size(); ++i) {
    EXPECT_EQ(g_changes[i].breakOn, c.states[i]) << i;
    if (i + 1 < c.states.size() && !c.fromStart) {
      const auto gap = std::chrono::duration_cast<std::chrono::microseconds>(g_changes[i + 1].done -
                                                                             g_changes[i].done);
      // A change is asked early by as long as the last one took, 3 ms at the most, so its
      // report never comes sooner than that before its time.
      EXPECT_GE(gap.count(), (c.afterMs[i] - 3) * 1000) << i;
    }
  }
  if (c.fromStart) {
    // Every step is due a whole number of steps after a start that lies after `before`; a late
    // step shortens the next gap but never moves the schedule. The deadline counts whole
    // milliseconds, hence 1 ms.
    long dueMs = 0;
    for (std::size_t i = 1; i < c.states.size(); ++i) {
      dueMs += c.afterMs[i - 1];
      const auto since =
          std::chrono::duration_cast<std::chrono::microseconds>(g_changes[i].done - before);
      EXPECT_GE(since.count(), (dueMs - 1) * 1000) << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, WakeSteps,
    ::testing::Values(
        StepsCase{"Short", WakeShortPulse, {true, false}, {25}},
        StepsCase{"Double", WakeKeywordPulses, {true, false, true, false}, {300, 50, 25}},
        StepsCase{
            "Pulse120", [](SerialPort* p) { return WakePulse(p, 120); }, {true, false}, {120}},
        // 0x51 from the lowest bit: 1 0 0 0 1 0 1 0; a 0 bit is break. Start bit first, stop bit
        // last; changes to the state the line is in already count as steps.
        StepsCase{"FiveBaud",
                  [](SerialPort* p) { return WakeFiveBaud(p, 0x51); },
                  {true, false, true, true, true, false, true, false, true, false},
                  {200, 200, 200, 200, 200, 200, 200, 200, 200},
                  true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(WakeLock, PulsesOfTwoDriversDoNotOverlap) {
  Line a;
  Line b;
  ASSERT_NE(a.port, nullptr);
  ASSERT_NE(b.port, nullptr);
  const auto t0 = Clock::now();
  std::thread first([&] { WakeShortPulse(a.port); });
  std::thread second([&] { WakeShortPulse(b.port); });
  first.join();
  second.join();
  EXPECT_GE(ElapsedMs(t0), 100 - 1);
}

}  // namespace
}  // namespace heatdiag
