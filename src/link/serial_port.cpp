#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

#include "base/protocol.h"
#include "link/fill_in.h"
#include "link/link_texts.h"
#include "link/port_access.h"
#include "link/port_discovery.h"
#include "link/serial_line_linux.h"
#include "link/timing.h"

namespace heatdiag {

// One port record. Records are never freed, so a pointer handed out stays valid; a closed record
// is taken again by the next open.
class SerialPort {
 public:
  mutable std::mutex mutex;
  std::condition_variable left;  // signalled when the last operation leaves a closing port
  int fd = -1;
  int wakeRead = -1;  // readable once the port is being closed: wakes every waiting operation
  int wakeWrite = -1;
  bool closing = false;
  int users = 0;
  bool pty = false;
  PortConfig config;
  std::string device;
  std::string resolved;  // the device behind `device`, stable names followed
  serial_detail::LineErrorCounts errorCounts;
  // What the open changed for low latency, to be put back on closing.
  bool lowLatencySwitched = false;
  std::string latencyTimerFile;
  std::string latencyTimerBefore;
};

namespace {

using serial_detail::LineErrorCounts;

std::mutex g_tableMutex;
std::deque<SerialPort> g_table;  // guarded by g_tableMutex (the records themselves by their own)

std::mutex g_pathMutex;
std::string g_paths[kLastPortNumber + 1];  // empty: the default path

// An operation in progress on an open port: keeps the descriptor from being closed under it.
class PortUse {
 public:
  explicit PortUse(SerialPort* port) : port_(port) {
    if (port_ == nullptr) return;
    std::lock_guard lock(port_->mutex);
    if (port_->fd < 0 || port_->closing) return;
    ++port_->users;
    fd_ = port_->fd;
    wake_ = port_->wakeRead;
    config_ = port_->config;
    pty_ = port_->pty;
  }
  ~PortUse() {
    if (fd_ < 0) return;
    std::lock_guard lock(port_->mutex);
    if (--port_->users == 0) port_->left.notify_all();
  }
  PortUse(const PortUse&) = delete;
  PortUse& operator=(const PortUse&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  int wake() const { return wake_; }
  bool pty() const { return pty_; }
  const PortConfig& config() const { return config_; }

 private:
  SerialPort* port_;
  int fd_ = -1;
  int wake_ = -1;
  bool pty_ = false;
  PortConfig config_;
};

enum class WaitResult { kReady, kTimeout, kWoken, kError };

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point end) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// Waits until fd is ready for events, the port's close wakes us, or end passes.
WaitResult WaitReady(int fd, short events, int wake, Clock::time_point end, short* revents) {
  for (;;) {
    pollfd fds[2] = {{wake, POLLIN, 0}, {fd, events, 0}};
    const nfds_t count = fd >= 0 ? 2 : 1;
    const int n = poll(fds, count, MsUntil(end));
    if (n < 0) {
      if (errno == EINTR) continue;
      return WaitResult::kError;
    }
    if (fds[0].revents != 0) return WaitResult::kWoken;
    if (n == 0) {
      if (Clock::now() < end) continue;
      return WaitResult::kTimeout;
    }
    if (revents != nullptr) *revents = fds[1].revents;
    return WaitResult::kReady;
  }
}

// Waits out the rest of a time-out on a line that has failed, so that callers which retry do
// not poll a dead descriptor in a tight loop. Closing the port ends the wait.
void WaitOutFailedLine(int wake, Clock::time_point end) {
  WaitReady(-1, 0, wake, end, nullptr);
}

speed_t StandardSpeed(std::uint32_t baud) {
  switch (baud) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 200:
      return B200;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

bool LineSettingsValid(const PortConfig& config) {
  return config.baudRate > 0 && config.baudRate <= kMaxBaudRate && config.dataBits >= 5 &&
         config.dataBits <= 8 && config.parity <= kParitySpace && config.stopBits <= kTwoStopBits;
}

void SetModemLine(int fd, int line, bool on) {
  // Pseudo-terminals and some adapters have no modem lines; the link does not depend on them.
  (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

bool ApplyLineSettings(int fd, bool pty, const PortConfig& config) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;

  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR);
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
  tio.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
  tio.c_cflag |= CREAD | CLOCAL;
  // Reads never block (O_NONBLOCK); VMIN 1 makes an empty line report EAGAIN rather than 0.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;

  switch (config.dataBits) {
    case 5:
      tio.c_cflag |= CS5;
      break;
    case 6:
      tio.c_cflag |= CS6;
      break;
    case 7:
      tio.c_cflag |= CS7;
      break;
    default:
      tio.c_cflag |= CS8;
      break;
  }
  switch (config.parity) {
    case kParityOdd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case kParityEven:
      tio.c_cflag |= PARENB;
      break;
#ifdef CMSPAR
    case kParityMark:
      tio.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case kParitySpace:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
#else
    case kParityMark:
    case kParitySpace:
      return false;
#endif
    default:
      break;
  }
  // A byte received with a parity or framing error is dropped rather than handed on: the
  // telegram it belonged to then fails its length or checksum check. The break that a wake-up
  // pulse puts on the single wire comes back to us and is ignored likewise.
  if (config.parity != kParityNone) tio.c_iflag |= INPCK;
  if (pty) {
    // A pseudo-terminal carries bytes, not bits: it drops the parity flags, and the C library
    // reports a setting that did not stick as a failure.
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
#ifdef CMSPAR
    tio.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
  }
  tio.c_iflag |= IGNPAR | IGNBRK;
  if (config.stopBits != kOneStopBit) tio.c_cflag |= CSTOPB;

  switch (config.handshake) {
    case kHandshakeXonXoff:
      tio.c_iflag |= IXON | IXOFF;
      break;
    case kHandshakeRts:
      tio.c_cflag |= CRTSCTS;
      break;
    default:
      break;
  }

  const speed_t standard = StandardSpeed(config.baudRate);
  const speed_t placeholder = standard != B0 ? standard : B38400;
  cfsetispeed(&tio, placeholder);
  cfsetospeed(&tio, placeholder);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) return false;
  if (standard == B0 && !serial_detail::SetArbitraryBaud(fd, config.baudRate) && !pty) return false;

  // Adapters that draw their supply from the modem lines expect RTS on; DTR stays off unless
  // a handshake that leaves it alone is chosen.
  if (config.handshake == kHandshakeNone || config.handshake == kHandshakeXonXoff) {
    SetModemLine(fd, TIOCM_DTR, false);
    SetModemLine(fd, TIOCM_RTS, true);
  }
  return true;
}

// Low latency for a USB adapter: the driver's low-latency mode, and the latency timer of the
// FTDI-style adapters (16 ms by default, which lumps received bytes together) turned down to
// 1 ms where the system lets us. Returns a note for the protocol when the port stays slow.
std::string LowerLatency(SerialPort& port) {
  std::string note;
  int error = 0;
  switch (serial_detail::RequestLowLatency(port.fd, error)) {
    case serial_detail::LowLatency::kSwitchedOn:
      port.lowLatencySwitched = true;
      break;
    case serial_detail::LowLatency::kRefused:
      note = FillIn(kTextLowLatencyRefused, {port.device, std::strerror(error)});
      break;
    case serial_detail::LowLatency::kAlreadyOn:
    case serial_detail::LowLatency::kUnsupported:
      break;
  }
  const std::string sysfs = serial_detail::SysfsDevicePath(port.fd);
  if (sysfs.empty()) return note;
  const std::string timer = sysfs + "/device/latency_timer";
  std::string before;
  switch (LowerLatencyTimer(timer, before)) {
    case LatencyTimer::kLowered:
      port.latencyTimerFile = timer;
      port.latencyTimerBefore = before;
      break;
    case LatencyTimer::kStaysSlow:
      if (note.empty()) note = FillIn(kTextLatencyTimerSlow, {port.device, before});
      break;
    case LatencyTimer::kNone:
    case LatencyTimer::kFastAlready:
      break;
  }
  return note;
}

void RestoreLatency(SerialPort& port) {
  if (port.lowLatencySwitched) serial_detail::ReleaseLowLatency(port.fd);
  if (!port.latencyTimerFile.empty())
    RestoreLatencyTimer(port.latencyTimerFile, port.latencyTimerBefore);
  port.lowLatencySwitched = false;
  port.latencyTimerFile.clear();
  port.latencyTimerBefore.clear();
}

void CloseRecordLocked(SerialPort& port, std::unique_lock<std::mutex>& lock) {
  if (port.fd < 0 || port.closing) return;
  port.closing = true;
  const char wake = 1;
  (void)!write(port.wakeWrite, &wake, 1);
  port.left.wait(lock, [&port] { return port.users == 0; });
  // An adapter that has gone refuses this; nothing is left to restore then.
  RestoreLatency(port);
  // The exclusive mode outlives the descriptor on a terminal that stays in use (a pseudo-terminal
  // whose far end is still open) and would keep the next open out.
  (void)ioctl(port.fd, TIOCNXCL);
  close(port.fd);
  close(port.wakeRead);
  close(port.wakeWrite);
  port.fd = port.wakeRead = port.wakeWrite = -1;
  port.device.clear();
  port.resolved.clear();
  port.pty = false;
  port.closing = false;
}

bool MakeWakePipe(int& readEnd, int& writeEnd) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  for (int fd : fds) {
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  readEnd = fds[0];
  writeEnd = fds[1];
  return true;
}

std::atomic<DeviceOpener> g_opener{nullptr};
std::atomic<BreakControl> g_breakControl{nullptr};

int BreakIoctl(int fd, bool on) {
  if (BreakControl control = g_breakControl.load()) return control(fd, on);
  return ioctl(fd, on ? TIOCSBRK : TIOCCBRK);
}

int OpenDevice(const std::string& path) {
  constexpr int kFlags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  if (DeviceOpener opener = g_opener.load()) return opener(path.c_str(), kFlags);
  return open(path.c_str(), kFlags);
}

// Held open by this program: a record open on the same device, under whatever name.
bool HeldOpenLocked(const std::string& resolved) {
  for (auto& record : g_table) {
    std::lock_guard lock(record.mutex);
    if (record.fd >= 0 && record.resolved == resolved) return true;
  }
  return false;
}

int Fail(PortOpenError& why, PortFailure failure, int error = 0) {
  why.failure = failure;
  why.error = error;
  return 0;
}

// Opens the device for us alone; -1 with `why` filled in when that is not possible.
int OpenExclusively(const std::string& device, const std::string& resolved, PortOpenError& why) {
  const int fd = OpenDevice(device);
  if (fd < 0) {
    const int error = errno;
    Fail(why, ClassifyOpenError(error), error);
    if (why.failure == PortFailure::kInUse) FindHolder(resolved, why);
    return -1;
  }
  if (isatty(fd) == 0) {
    close(fd);
    Fail(why, PortFailure::kNotATerminal);
    return -1;
  }
  if (!ClaimDevice(fd, resolved, why)) {
    close(fd);
    return -1;
  }
  // No sharing: programs that open the device after us are refused by the terminal itself.
  (void)ioctl(fd, TIOCEXCL);
  return fd;
}

}  // namespace

int OpenPort(SerialPort*& port, const PortConfig& config) {
  PortOpenError why;
  return OpenPort(port, config, why);
}

int OpenPort(SerialPort*& port, const PortConfig& config, PortOpenError& why) {
  port = nullptr;
  why = {};
  std::string device = config.devicePath;
  if (device.empty() && config.portNumber >= kFirstPortNumber &&
      config.portNumber <= kLastPortNumber)
    device = PortPath(config.portNumber);
  why.device = device;
  if (device.empty() || !LineSettingsValid(config)) return Fail(why, PortFailure::kBadSettings);
  const std::string resolved = ResolvePortDevice(device);

  std::string note;
  {
    std::lock_guard tableLock(g_tableMutex);
    if (HeldOpenLocked(resolved)) return Fail(why, PortFailure::kHeldHere);
    const int fd = OpenExclusively(device, resolved, why);
    if (fd < 0) return 0;
    const bool pty = serial_detail::IsPtySlave(fd);
    if (!ApplyLineSettings(fd, pty, config)) {
      const int error = errno;
      (void)ioctl(fd, TIOCNXCL);
      close(fd);
      return Fail(why, PortFailure::kConfiguration, error);
    }
    int wakeRead = -1;
    int wakeWrite = -1;
    if (!MakeWakePipe(wakeRead, wakeWrite)) {
      const int error = errno;
      (void)ioctl(fd, TIOCNXCL);
      close(fd);
      return Fail(why, PortFailure::kOther, error);
    }

    SerialPort* record = nullptr;
    for (auto& candidate : g_table) {
      std::lock_guard lock(candidate.mutex);
      if (candidate.fd < 0 && candidate.users == 0 && !candidate.closing) {
        record = &candidate;
        break;
      }
    }
    if (record == nullptr) record = &g_table.emplace_back();

    std::lock_guard lock(record->mutex);
    record->fd = fd;
    record->wakeRead = wakeRead;
    record->wakeWrite = wakeWrite;
    record->pty = pty;
    record->config = config;
    record->device = device;
    record->resolved = resolved;
    record->errorCounts = {};
    serial_detail::ReadLineErrorCounts(fd, record->errorCounts);
    // A pseudo-terminal has no adapter to hurry.
    if (!pty) note = LowerLatency(*record);
    port = record;
  }
  if (!note.empty()) ProtocolAdd(note, kProtocolMessage);
  return 1;
}

int ConfigurePort(SerialPort* port, const PortConfig& config) {
  if (!LineSettingsValid(config)) return 0;
  PortUse use(port);
  if (!use.ok()) return 0;
  if (!ApplyLineSettings(use.fd(), use.pty(), config)) return 0;
  std::lock_guard lock(port->mutex);
  const std::uint32_t number = port->config.portNumber;
  const std::string path = port->config.devicePath;
  port->config = config;
  port->config.portNumber = number;
  port->config.devicePath = path;
  return 1;
}

void ClosePort(SerialPort* port) {
  if (port == nullptr) return;
  std::unique_lock lock(port->mutex);
  CloseRecordLocked(*port, lock);
}

void ClearPortTable() {
  std::lock_guard tableLock(g_tableMutex);
  for (auto& record : g_table) {
    std::unique_lock lock(record.mutex);
    CloseRecordLocked(record, lock);
  }
}

int ClearPortErrors(SerialPort* port) {
  PortUse use(port);
  if (!use.ok()) return -1;
  LineErrorCounts now;
  if (!serial_detail::ReadLineErrorCounts(use.fd(), now)) return 0;
  std::lock_guard lock(port->mutex);
  const LineErrorCounts& before = port->errorCounts;
  int mask = 0;
  if (now.bufferOverrun != before.bufferOverrun) mask |= 0x1;
  if (now.overrun != before.overrun) mask |= 0x2;
  if (now.parity != before.parity) mask |= 0x4;
  if (now.frame != before.frame) mask |= 0x8;
  if (now.breaks != before.breaks) mask |= 0x10;
  port->errorCounts = now;
  return mask;
}

int PurgeReceive(SerialPort* port) {
  PortUse use(port);
  if (!use.ok()) return 0;
  return tcflush(use.fd(), TCIFLUSH) == 0 ? 1 : 0;
}

int WriteBytes(SerialPort* port, const std::uint8_t* bytes, std::uint32_t& length) {
  PortUse use(port);
  if (!use.ok() || bytes == nullptr) {
    length = 0;
    return 0;
  }
  const auto end = Clock::now() + std::chrono::milliseconds(use.config().writeTimeoutMs);
  std::uint32_t written = 0;
  while (written < length) {
    const ssize_t n = write(use.fd(), bytes + written, length - written);
    if (n > 0) {
      written += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      short revents = 0;
      if (WaitReady(use.fd(), POLLOUT, use.wake(), end, &revents) != WaitResult::kReady) break;
      if ((revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (revents & POLLOUT) == 0) break;
      continue;
    }
    break;
  }
  const bool complete = written == length;
  length = written;
  return complete ? 1 : 0;
}

int ReadWithin(SerialPort* port, std::uint8_t* buffer, std::uint32_t& length,
               std::uint32_t timeoutMs) {
  PortUse use(port);
  if (!use.ok() || buffer == nullptr) {
    length = 0;
    return 0;
  }
  if (length == 0) return 1;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    // With VMIN 1 and O_NONBLOCK an empty line gives EAGAIN; 0 means end of file.
    const ssize_t n = read(use.fd(), buffer, length);
    if (n > 0) {
      length = static_cast<std::uint32_t>(n);
      return 1;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      // Hung up (adapter unplugged, far end of a pseudo-terminal gone) or failed.
      WaitOutFailedLine(use.wake(), end);
      length = 0;
      return 0;
    }
    if (Clock::now() >= end) {
      length = 0;
      return 1;
    }
    short revents = 0;
    switch (WaitReady(use.fd(), POLLIN, use.wake(), end, &revents)) {
      case WaitResult::kReady:
        if ((revents & POLLIN) == 0) {
          WaitOutFailedLine(use.wake(), end);
          length = 0;
          return 0;
        }
        continue;
      case WaitResult::kTimeout:
        length = 0;
        return 1;
      case WaitResult::kWoken:
      case WaitResult::kError:
        length = 0;
        return 0;
    }
  }
}

int ReadSome(SerialPort* port, std::uint8_t* buffer, std::uint32_t& length) {
  if (!IsPortOpen(port) || buffer == nullptr) {
    length = 0;
    return 0;
  }
  const std::uint32_t byteMs = PortByteTimeoutMs(port);
  const auto total = std::chrono::milliseconds(static_cast<std::uint64_t>(length + 1) * byteMs);
  const auto end = Clock::now() + total;
  std::uint32_t got = 0;
  while (got < length) {
    const int left = MsUntil(end);
    const std::uint32_t wait =
        got == 0 ? static_cast<std::uint32_t>(left)
                 : std::min<std::uint32_t>(byteMs, static_cast<std::uint32_t>(left));
    std::uint32_t n = length - got;
    if (!ReadWithin(port, buffer + got, n, wait)) {
      if (got == 0) {
        length = 0;
        return 0;
      }
      break;
    }
    if (n == 0) break;
    got += n;
  }
  length = got;
  return 1;
}

int ReadExact(SerialPort* port, std::uint8_t* buffer, std::uint32_t& length) {
  if (!IsPortOpen(port) || buffer == nullptr) {
    length = 0;
    return 0;
  }
  Deadline deadline;
  StartDeadline(deadline, static_cast<std::int32_t>((length + 1) * PortByteTimeoutMs(port)));
  const std::uint32_t wanted = length;
  std::uint32_t total = 0;
  for (;;) {
    std::uint32_t n = wanted - total;
    const std::int32_t left = std::max(DeadlineRemainingMs(deadline), 0);
    if (!ReadWithin(port, buffer + total, n, static_cast<std::uint32_t>(left))) {
      if (!IsPortOpen(port)) break;
      SleepMs(1);
    } else {
      total += n;
    }
    if (total >= wanted) {
      length = total;
      return 1;
    }
    if (DeadlineExpired(deadline)) break;
  }
  length = total;
  return 0;
}

int SetBreak(SerialPort* port, bool on) {
  PortUse use(port);
  if (!use.ok()) return 0;
  if (BreakIoctl(use.fd(), on) != 0) {
    ClearPortErrors(port);
    (void)BreakIoctl(use.fd(), on);
  }
  return 1;
}

PortConfig PortSettings(const SerialPort* port) {
  if (port == nullptr) return {};
  std::lock_guard lock(port->mutex);
  if (port->fd < 0) return {};
  return port->config;
}

bool IsPortOpen(const SerialPort* port) {
  if (port == nullptr) return false;
  std::lock_guard lock(port->mutex);
  return port->fd >= 0 && !port->closing;
}

std::uint32_t PortByteTimeoutMs(const SerialPort* port) {
  if (port == nullptr) return 0;
  std::lock_guard lock(port->mutex);
  return port->fd >= 0 ? port->config.byteTimeoutMs : 0;
}

bool IsPseudoTerminal(const SerialPort* port) {
  if (port == nullptr) return false;
  std::lock_guard lock(port->mutex);
  return port->fd >= 0 && port->pty;
}

std::string PortDevice(const SerialPort* port) {
  if (port == nullptr) return {};
  std::lock_guard lock(port->mutex);
  return port->fd >= 0 ? port->device : std::string();
}

bool ProbePort(const std::string& device, PortOpenError& why) {
  why = {};
  why.device = device;
  if (device.empty()) return Fail(why, PortFailure::kBadSettings) != 0;
  const std::string resolved = ResolvePortDevice(device);
  std::lock_guard tableLock(g_tableMutex);
  if (HeldOpenLocked(resolved)) {
    Fail(why, PortFailure::kHeldHere);
    return true;
  }
  const int fd = OpenExclusively(device, resolved, why);
  if (fd < 0) return false;
  (void)ioctl(fd, TIOCNXCL);
  close(fd);
  return true;
}

int ListPorts(PortFlags& flags) {
  flags.fill(0);
  int usable = 0;
  for (std::uint32_t n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
    PortOpenError why;
    if (ProbePort(PortPath(n), why)) {
      flags[n] = 1;
      ++usable;
    }
  }
  return usable;
}

std::string DefaultPortPath(std::uint32_t portNumber) {
  switch (portNumber) {
    case 1:
      return "/dev/ttyUSB0";
    case 2:
      return "/dev/ttyUSB1";
    case 3:
      return "/dev/ttyACM0";
    case 4:
      return "/dev/ttyACM1";
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
      return "/dev/ttyS" + std::to_string(portNumber - 5);
    default:
      return {};
  }
}

void SetPortPath(std::uint32_t portNumber, const std::string& path) {
  if (portNumber < kFirstPortNumber || portNumber > kLastPortNumber) return;
  std::lock_guard lock(g_pathMutex);
  g_paths[portNumber] = path;
}

std::string PortPath(std::uint32_t portNumber) {
  if (portNumber < kFirstPortNumber || portNumber > kLastPortNumber) return {};
  {
    std::lock_guard lock(g_pathMutex);
    if (!g_paths[portNumber].empty()) return g_paths[portNumber];
  }
  return DefaultPortPath(portNumber);
}

std::string PortName(std::uint32_t portNumber) {
  return "COM" + std::to_string(portNumber);
}

void SetDeviceOpener(DeviceOpener opener) {
  g_opener.store(opener);
}

void SetBreakControl(BreakControl control) {
  g_breakControl.store(control);
}

}  // namespace heatdiag
