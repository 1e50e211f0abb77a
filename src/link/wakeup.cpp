#include "link/wakeup.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "link/serial_port.h"
#include "link/timing.h"

namespace heatdiag {
namespace {

// Serialises the pulses of all drivers for the life of the program.
std::mutex& WakeupLock() {
  static std::mutex lock;
  return lock;
}

using Clock = std::chrono::steady_clock;

std::atomic<LineChangeObserver> g_observer{nullptr};

// A driver that takes longer than this for a change is having a hiccup; it is not taken as the
// measure for the next one.
constexpr auto kMaxLead = std::chrono::milliseconds(3);

// The line's changes on the caller's clock.
class LineSteps {
 public:
  explicit LineSteps(SerialPort* port) : port_(port) {}

  // Changes the line now.
  void Change(bool breakOn) {
    const Clock::time_point asked = Clock::now();
    SetBreak(port_, breakOn);
    done_ = Clock::now();
    lead_ = std::min<Clock::duration>(done_ - asked, kMaxLead);
    if (LineChangeObserver observer = g_observer.load()) observer(breakOn, done_);
  }
  // Keeps the line as it is for ms, then changes it, so that the change is done ms after the
  // last one.
  void HoldThenChange(std::uint32_t ms, bool breakOn) {
    DelayUntil(done_ + std::chrono::milliseconds(ms) - lead_);
    Change(breakOn);
  }
  // Keeps the line as it is for ms after the last change.
  void Hold(std::uint32_t ms) { DelayUntil(done_ + std::chrono::milliseconds(ms)); }

 private:
  SerialPort* port_;
  Clock::time_point done_;
  Clock::duration lead_{};
};

// For the length of a pattern the calling thread asks for real-time scheduling, so that a busy
// machine does not wake it milliseconds late; where the system does not allow it (no
// CAP_SYS_NICE, no RLIMIT_RTPRIO) the thread keeps its scheduling and the pulses their
// ordinary accuracy.
class RealTimeScope {
 public:
  RealTimeScope() {
    if (pthread_getschedparam(pthread_self(), &policy_, &param_) != 0) return;
    sched_param fifo{};
    fifo.sched_priority = sched_get_priority_min(SCHED_FIFO);
    raised_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0;
  }
  ~RealTimeScope() {
    if (raised_) (void)pthread_setschedparam(pthread_self(), policy_, &param_);
  }
  RealTimeScope(const RealTimeScope&) = delete;
  RealTimeScope& operator=(const RealTimeScope&) = delete;

 private:
  int policy_ = SCHED_OTHER;
  sched_param param_{};
  bool raised_ = false;
};

template <typename Pattern>
int RunPattern(SerialPort* port, Pattern pattern) {
  if (!IsPortOpen(port)) return 0;
  {
    std::lock_guard lock(WakeupLock());
    RealTimeScope realTime;
    LineSteps line(port);
    pattern(line);
  }
  PurgeReceive(port);
  return 1;
}

}  // namespace

int WakeShortPulse(SerialPort* port) {
  return RunPattern(port, [](LineSteps& line) {
    line.Change(true);
    line.HoldThenChange(25, false);
    line.Hold(25);
  });
}

int WakeKeywordPulses(SerialPort* port) {
  return RunPattern(port, [](LineSteps& line) {
    line.Change(true);
    line.HoldThenChange(300, false);
    line.HoldThenChange(50, true);
    line.HoldThenChange(25, false);
    line.Hold(25);
  });
}

int WakePulse(SerialPort* port, std::uint32_t ms) {
  return RunPattern(port, [ms](LineSteps& line) {
    line.Change(true);
    line.HoldThenChange(ms, false);
  });
}

int WakeFiveBaud(SerialPort* port, std::uint8_t address) {
  return RunPattern(port, [address](LineSteps& line) {
    constexpr std::int32_t kBitMs = 200;
    Deadline step;
    StartDeadline(step, kBitMs);
    line.Change(true);  // start bit
    DelayUntilExpired(step);
    for (int bit = 0; bit < 8; ++bit) {
      AdvanceDeadline(step, kBitMs);
      line.Change(((address >> bit) & 1) == 0);
      DelayUntilExpired(step);
    }
    AdvanceDeadline(step, kBitMs);
    line.Change(false);  // stop bit
    DelayUntilExpired(step);
  });
}

void SetLineChangeObserver(LineChangeObserver observer) {
  g_observer.store(observer);
}

}  // namespace heatdiag
