// Line controls that the portable termios interface lacks. Linux provides them; elsewhere they
// report "not supported".
#pragma once

#include <cstdint>
#include <string>

namespace heatdiag::serial_detail {

// Sets an arbitrary baud rate in both directions (termios2, BOTHER). False when the device or the
// platform refuses.
bool SetArbitraryBaud(int fd, std::uint32_t baud);

struct LineErrorCounts {
  std::uint32_t overrun = 0;
  std::uint32_t bufferOverrun = 0;
  std::uint32_t parity = 0;
  std::uint32_t frame = 0;
  std::uint32_t breaks = 0;
};
// The device's running error counters; false when it keeps none (pseudo-terminals, most USB
// adapters).
bool ReadLineErrorCounts(int fd, LineErrorCounts& counts);

// True when fd is the slave side of a pseudo-terminal.
bool IsPtySlave(int fd);

// The driver's low-latency mode (ASYNC_LOW_LATENCY): it hands each received byte on at once
// instead of collecting them.
enum class LowLatency {
  kUnsupported,  // the device has no such setting (or is not a serial port)
  kAlreadyOn,
  kSwitchedOn,
  kRefused,  // the driver has the setting but refused to change it
};
LowLatency RequestLowLatency(int fd, int& error);
// Switches the mode off again (after kSwitchedOn).
void ReleaseLowLatency(int fd);

// The sysfs folder of the character device behind fd ("/sys/dev/char/<major>:<minor>"); empty
// when fd is no character device.
std::string SysfsDevicePath(int fd);

}  // namespace heatdiag::serial_detail
