// Kept apart from serial_port.cpp: <asm/termbits.h> defines its own struct termios, which clashes
// with the one of <termios.h>.
#include "link/serial_line_linux.h"

#include <sys/stat.h>

#include <cerrno>

#if defined(__linux__)
#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#endif

namespace heatdiag::serial_detail {

#if defined(__linux__)

bool SetArbitraryBaud(int fd, std::uint32_t baud) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = baud;
  tio.c_ospeed = baud;
  return ioctl(fd, TCSETS2, &tio) == 0;
}

bool ReadLineErrorCounts(int fd, LineErrorCounts& counts) {
  struct serial_icounter_struct icount {};
  if (ioctl(fd, TIOCGICOUNT, &icount) != 0) return false;
  counts.overrun = static_cast<std::uint32_t>(icount.overrun);
  counts.bufferOverrun = static_cast<std::uint32_t>(icount.buf_overrun);
  counts.parity = static_cast<std::uint32_t>(icount.parity);
  counts.frame = static_cast<std::uint32_t>(icount.frame);
  counts.breaks = static_cast<std::uint32_t>(icount.brk);
  return true;
}

bool IsPtySlave(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned int devMajor = major(st.st_rdev);
  // Unix98 pty slaves use majors 136..143; the legacy BSD slaves (/dev/ttyp*) major 3.
  return (devMajor >= 136 && devMajor <= 143) || devMajor == 3;
}

LowLatency RequestLowLatency(int fd, int& error) {
  error = 0;
  struct serial_struct serial {};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return LowLatency::kUnsupported;
  if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return LowLatency::kAlreadyOn;
  serial.flags |= ASYNC_LOW_LATENCY;
  if (ioctl(fd, TIOCSSERIAL, &serial) != 0) {
    error = errno;
    return error == ENOTTY || error == EINVAL ? LowLatency::kUnsupported : LowLatency::kRefused;
  }
  return LowLatency::kSwitchedOn;
}

void ReleaseLowLatency(int fd) {
  struct serial_struct serial {};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags &= ~ASYNC_LOW_LATENCY;
  (void)ioctl(fd, TIOCSSERIAL, &serial);
}

std::string SysfsDevicePath(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return {};
  return "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
         std::to_string(minor(st.st_rdev));
}

#else

bool SetArbitraryBaud(int, std::uint32_t) {
  return false;
}
bool ReadLineErrorCounts(int, LineErrorCounts&) {
  return false;
}
bool IsPtySlave(int) {
  return false;
}
LowLatency RequestLowLatency(int, int& error) {
  error = 0;
  return LowLatency::kUnsupported;
}
void ReleaseLowLatency(int) {}
std::string SysfsDevicePath(int) {
  return {};
}

#endif

}  // namespace heatdiag::serial_detail
