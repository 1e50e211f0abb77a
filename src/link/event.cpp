#include "link/event.h"

#include <chrono>

namespace heatdiag {

Event::Event(EventReset reset, bool initiallySet) : reset_(reset), set_(initiallySet) {}

void Event::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  // An auto-reset event releases one waiter; a manual-reset event releases them all.
  if (reset_ == EventReset::kAuto)
    changed_.notify_one();
  else
    changed_.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool Event::Wait(std::uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; }))
    return false;
  if (reset_ == EventReset::kAuto) set_ = false;
  return true;
}

void Event::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return set_; });
  if (reset_ == EventReset::kAuto) set_ = false;
}

bool Event::WaitUnless(std::uint32_t timeoutMs, const std::atomic<bool>& abandon) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                    [&] { return set_ || abandon.load(); });
  if (!set_) return false;
  if (reset_ == EventReset::kAuto) set_ = false;
  return true;
}

void Event::Wake() {
  // Taking the lock orders the flag before any waiter's next look at it.
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

}  // namespace heatdiag
