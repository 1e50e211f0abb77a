#include "link/timing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/event.h"

namespace heatdiag {
namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

struct ExpiryCase {
  std::uint32_t start;
  std::int32_t duration;
  std::uint32_t now;
  bool expired;
};

class DeadlineExpiry : public ::testing::TestWithParam<ExpiryCase> {};

TEST_P(DeadlineExpiry, SignedDifferenceAcrossWrap) {
  const auto& c = GetParam();
  const Deadline d{c.duration, c.start};
  EXPECT_EQ(DeadlineExpiredAt(d, c.now), c.expired);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeadlineExpiry,
    ::testing::Values(ExpiryCase{1000, 60, 1059, false}, ExpiryCase{1000, 60, 1060, true},
                      ExpiryCase{1000, 0, 1000, true},
                      // The counter wraps between start and now.
                      ExpiryCase{0xFFFFFFF0u, 0x20, 0x0000000Fu, false},
                      ExpiryCase{0xFFFFFFF0u, 0x20, 0x00000010u, true},
                      // A start that lies ahead (advanced periodic timer) is not expired.
                      ExpiryCase{2000, 0, 1990, false}, ExpiryCase{5, 10, 0xFFFFFFFBu, false}));

TEST(Deadline, AdvanceKeepsThePeriod) {
  Deadline d{200, 1000};
  AdvanceDeadline(d, 200);
  EXPECT_EQ(d.startMs, 1200u);
  EXPECT_FALSE(DeadlineExpiredAt(d, 1399));
  EXPECT_TRUE(DeadlineExpiredAt(d, 1400));
  Deadline wrapping{10, 0xFFFFFFFFu};
  AdvanceDeadline(wrapping, 2);
  EXPECT_EQ(wrapping.startMs, 1u);
}

TEST(Deadline, StartAndRemaining) {
  Deadline d;
  StartDeadline(d, 10000);
  EXPECT_FALSE(DeadlineExpired(d));
  EXPECT_GT(DeadlineRemainingMs(d), 9000);
  StartDeadline(d, 0);
  EXPECT_TRUE(DeadlineExpired(d));
  EXPECT_LE(DeadlineRemainingMs(d), 0);
}

// The quiet gap before a request is measured on the steady clock: it never comes out a fraction
// of a millisecond short, wherever in a millisecond it was started.
TEST(SteadyDeadline, NeverExpiresEarly) {
  for (int i = 0; i < 20; ++i) {
    SteadyDeadline d;
    const auto t0 = Clock::now();
    d.Start(3);
    EXPECT_LE(d.RemainingMs(), 3u);
    while (!d.Expired()) std::this_thread::yield();
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(3));
    EXPECT_EQ(d.RemainingMs(), 0u);
  }
  SteadyDeadline later;
  later.Start(10000);
  EXPECT_FALSE(later.Expired());
  EXPECT_GT(later.RemainingMs(), 9000u);
  EXPECT_LE(later.RemainingMs(), 10000u);
  SteadyDeadline never;  // not started: expired from the start
  EXPECT_TRUE(never.Expired());
}

TEST(Delay, WaitsAtLeastTheTime) {
  for (std::uint32_t ms : {1u, 7u, 30u}) {
    const auto t0 = Clock::now();
    DelayMs(ms);
    EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(ms)) << ms;
  }
  const auto t0 = Clock::now();
  DelayMs(0);
  EXPECT_LT(ElapsedMs(t0), 1000);
}

TEST(Delay, UntilDeadlineOnItsSchedule) {
  Deadline step;
  StartDeadline(step, 20);
  const auto t0 = Clock::now();
  for (int i = 0; i < 3; ++i) {
    DelayUntilExpired(step);
    EXPECT_TRUE(DeadlineExpired(step));
    AdvanceDeadline(step, 20);
  }
  // Three steps of 20 ms from one start; the first may begin up to 1 ms into its millisecond.
  EXPECT_GE(ElapsedMs(t0), 59);
}

TEST(EventTest, AutoResetReleasesOneWait) {
  Event e(EventReset::kAuto);
  EXPECT_FALSE(e.Wait(0));
  e.Set();
  EXPECT_TRUE(e.IsSet());  // looking does not consume
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(0));
  EXPECT_FALSE(e.IsSet());
}

TEST(EventTest, ManualResetStaysUntilReset) {
  Event e(EventReset::kManual, true);
  EXPECT_TRUE(e.Wait(0));
  EXPECT_TRUE(e.Wait(0));
  e.Reset();
  EXPECT_FALSE(e.Wait(10));
}

TEST(EventTest, SetFromAnotherThreadWakesWaiters) {
  Event manual(EventReset::kManual);
  Event autoReset(EventReset::kAuto);
  std::atomic<int> woken{0};
  std::thread a([&] {
    manual.Wait();
    ++woken;
  });
  std::thread b([&] {
    if (manual.Wait(10000)) ++woken;
  });
  std::thread c([&] {
    if (autoReset.Wait(10000)) ++woken;
  });
  manual.Set();
  autoReset.Set();
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_FALSE(autoReset.IsSet());
}

TEST(EventTest, WaitTimesOut) {
  Event e;
  const auto t0 = Clock::now();
  EXPECT_FALSE(e.Wait(30));
  EXPECT_GE(ElapsedMs(t0), 29);
}

}  // namespace
}  // namespace heatdiag
