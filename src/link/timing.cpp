#include "link/timing.h"

#include <chrono>
#include <thread>

namespace heatdiag {
namespace {

using Clock = std::chrono::steady_clock;

// The last stretch before a deadline is spun rather than slept: the scheduler's wake-up latency
// is well below this on Linux, and spinning longer would only burn the core.
constexpr auto kSpinMargin = std::chrono::microseconds(300);

void WaitUntil(Clock::time_point target) {
  if (Clock::now() + kSpinMargin < target) std::this_thread::sleep_until(target - kSpinMargin);
  // No yield here: on a busy machine a yield hands the core to whoever waits, for as long as
  // the scheduler likes, and the pulse comes out milliseconds long.
  while (Clock::now() < target) {
  }
}

}  // namespace

std::uint32_t NowMs() {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

void StartDeadline(Deadline& deadline, std::int32_t ms) {
  deadline.durationMs = ms;
  deadline.startMs = NowMs();
}

bool DeadlineExpiredAt(const Deadline& deadline, std::uint32_t nowMs) {
  const auto elapsed = static_cast<std::int32_t>(nowMs - deadline.startMs);
  return elapsed >= deadline.durationMs;
}

bool DeadlineExpired(const Deadline& deadline) {
  return DeadlineExpiredAt(deadline, NowMs());
}

std::int32_t DeadlineRemainingMs(const Deadline& deadline) {
  const auto elapsed = static_cast<std::int32_t>(NowMs() - deadline.startMs);
  return deadline.durationMs - elapsed;
}

void AdvanceDeadline(Deadline& deadline, std::int32_t ms) {
  deadline.startMs += static_cast<std::uint32_t>(ms);
}

void SteadyDeadline::Start(std::uint32_t ms) {
  end_ = Clock::now() + std::chrono::milliseconds(ms);
}

bool SteadyDeadline::Expired() const {
  return Clock::now() >= end_;
}

std::uint32_t SteadyDeadline::RemainingMs() const {
  const auto left = end_ - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  return static_cast<std::uint32_t>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

void DelayMs(std::uint32_t ms) {
  if (ms == 0) return;
  WaitUntil(Clock::now() + std::chrono::milliseconds(ms));
}

void DelayUntilExpired(const Deadline& deadline) {
  // The deadline lies on the millisecond grid of NowMs; rebuild its point on the clock from the
  // current millisecond so that the wait ends on that grid, not up to 1 ms later.
  const auto now = Clock::now();
  const auto nowMs = std::chrono::floor<std::chrono::milliseconds>(now);
  const auto nowCount = static_cast<std::uint32_t>(nowMs.time_since_epoch().count());
  const auto elapsed = static_cast<std::int32_t>(nowCount - deadline.startMs);
  const std::int32_t remaining = deadline.durationMs - elapsed;
  if (remaining <= 0) return;
  WaitUntil(nowMs + std::chrono::milliseconds(remaining));
}

void DelayUntil(Clock::time_point target) {
  WaitUntil(target);
}

void SleepMs(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace heatdiag
