#include "link/wakeup.h"

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

template <typename Pattern>
int RunPattern(SerialPort* port, Pattern pattern) {
  if (!IsPortOpen(port)) return 0;
  {
    std::lock_guard lock(WakeupLock());
    pattern();
  }
  PurgeReceive(port);
  return 1;
}

}  // namespace

int WakeShortPulse(SerialPort* port) {
  return RunPattern(port, [port] {
    SetBreak(port, true);
    DelayMs(25);
    SetBreak(port, false);
    DelayMs(25);
  });
}

int WakeDoublePulse(SerialPort* port) {
  return RunPattern(port, [port] {
    SetBreak(port, true);
    DelayMs(300);
    SetBreak(port, false);
    DelayMs(50);
    SetBreak(port, true);
    DelayMs(25);
    SetBreak(port, false);
    DelayMs(25);
  });
}

int WakePulse(SerialPort* port, std::uint32_t ms) {
  return RunPattern(port, [port, ms] {
    SetBreak(port, true);
    DelayMs(ms);
    SetBreak(port, false);
  });
}

int WakeFiveBaud(SerialPort* port, std::uint8_t address) {
  return RunPattern(port, [port, address] {
    constexpr std::int32_t kBitMs = 200;
    Deadline step;
    StartDeadline(step, kBitMs);
    SetBreak(port, true);  // start bit
    DelayUntilExpired(step);
    for (int bit = 0; bit < 8; ++bit) {
      AdvanceDeadline(step, kBitMs);
      SetBreak(port, ((address >> bit) & 1) == 0);
      DelayUntilExpired(step);
    }
    AdvanceDeadline(step, kBitMs);
    SetBreak(port, false);  // stop bit
    DelayUntilExpired(step);
  });
}

}  // namespace heatdiag
