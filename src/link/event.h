// A signalling event shared by the link's threads: manual reset (stays set until Reset) or auto
// reset (one successful Wait consumes the signal).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace heatdiag {

enum class EventReset { kManual, kAuto };

class Event {
 public:
  explicit Event(EventReset reset = EventReset::kAuto, bool initiallySet = false);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Waits up to timeoutMs; true when the event was signalled (an auto-reset event is then
  // reset again). A timeout of 0 only tests.
  bool Wait(std::uint32_t timeoutMs);
  // Waits without limit.
  void Wait();
  // As Wait(timeoutMs), but ends early once `abandon` is true: Wake() makes every waiter look at
  // it again. True only when the event was signalled.
  bool WaitUnless(std::uint32_t timeoutMs, const std::atomic<bool>& abandon);
  // Wakes every waiter of WaitUnless without signalling; call it after setting their flag.
  void Wake();
  // Looks at the state without consuming an auto-reset signal.
  bool IsSet() const;

 private:
  const EventReset reset_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool set_;
};

}  // namespace heatdiag
