#include "link/wakeup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

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
                      PulseCase{"Double", WakeDoublePulse, 400},
                      PulseCase{"Pulse120", [](SerialPort* p) { return WakePulse(p, 120); }, 120},
                      PulseCase{"FiveBaud", [](SerialPort* p) { return WakeFiveBaud(p, 0x51); },
                                2000}),
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
