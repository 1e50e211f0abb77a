// Line controls that the portable termios interface lacks. Linux provides them; elsewhere they
// report "not supported".
#pragma once

#include <cstdint>

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

}  // namespace heatdiag::serial_detail
