// Millisecond time for the link: a free-running 32-bit counter, deadlines that survive its
// wrap-around, and a delay precise to about a millisecond for line pulses.
#pragma once

#include <chrono>
#include <cstdint>

namespace heatdiag {

// Milliseconds of the monotonic clock, wrapping after about 49 days.
std::uint32_t NowMs();

struct Deadline {
  std::int32_t durationMs = 0;
  std::uint32_t startMs = 0;
};

// Sets the duration and starts the deadline now.
void StartDeadline(Deadline& deadline, std::int32_t ms);
// True once (now - start), taken as a signed 32-bit difference, has reached the duration.
bool DeadlineExpired(const Deadline& deadline);
bool DeadlineExpiredAt(const Deadline& deadline, std::uint32_t nowMs);
// Milliseconds until the deadline expires; 0 or less once it has.
std::int32_t DeadlineRemainingMs(const Deadline& deadline);
// Moves the start on by ms: a periodic timer that does not drift.
void AdvanceDeadline(Deadline& deadline, std::int32_t ms);

// A deadline on the steady clock itself rather than on the millisecond counter, for a gap that
// must never come out short: a Deadline started late in a millisecond expires up to 1 ms early.
class SteadyDeadline {
 public:
  void Start(std::uint32_t ms);
  bool Expired() const;
  // Whole milliseconds until it expires, rounded up; 0 once it has.
  std::uint32_t RemainingMs() const;

 private:
  std::chrono::steady_clock::time_point end_{};
};

// Waits ms milliseconds (0 returns at once). Sleeps to an absolute point in time and spins only
// over the last fraction of a millisecond, so a pulse keeps millisecond accuracy without
// occupying a core.
void DelayMs(std::uint32_t ms);
// Waits, with the same precision, until the deadline expires.
void DelayUntilExpired(const Deadline& deadline);
// Waits, with the same precision, until the point on the monotonic clock.
void DelayUntil(std::chrono::steady_clock::time_point target);

// Plain sleep for polling loops where precision does not matter.
void SleepMs(std::uint32_t ms);

}  // namespace heatdiag
