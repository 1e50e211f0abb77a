// The serial port under every link: one open tty (a real adapter or a pseudo-terminal), its line
// settings and time-outs, break control and the enumeration of usable ports.
//
// Ports are known to the user by their number 1..9 ("COM1".."COM9"); each number resolves to a
// device path that the settings may override. A PortConfig may instead name a device path
// directly (command-line tools, the virtual heater, tests).
//
// One thread may read while another writes on the same port. ClosePort wakes any read or write
// that is waiting on the port and returns once they have left it. The SerialPort records stay
// valid for the life of the program; operations on a closed record fail cleanly.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace heatdiag {

// Parity codes of the line settings.
inline constexpr std::uint8_t kParityNone = 0;
inline constexpr std::uint8_t kParityOdd = 1;
inline constexpr std::uint8_t kParityEven = 2;
inline constexpr std::uint8_t kParityMark = 3;
inline constexpr std::uint8_t kParitySpace = 4;
// Stop-bit codes.
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOneAndHalfStopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;
// Handshake codes.
inline constexpr std::uint8_t kHandshakeNone = 0;
inline constexpr std::uint8_t kHandshakeXonXoff = 1;
inline constexpr std::uint8_t kHandshakeRts = 2;
inline constexpr std::uint8_t kHandshakeRtsToggle = 3;

inline constexpr std::uint32_t kMaxBaudRate = 115200;
inline constexpr std::uint32_t kFirstPortNumber = 1;
inline constexpr std::uint32_t kLastPortNumber = 9;

struct PortConfig {
  std::uint32_t portNumber = 0;  // 1..9; not used when devicePath is set
  std::uint32_t baudRate = 0;    // at most 115200
  std::uint8_t dataBits = 8;     // 5..8
  std::uint8_t parity = kParityNone;
  std::uint8_t stopBits = kOneStopBit;
  std::uint8_t handshake = kHandshakeNone;
  std::uint32_t byteTimeoutMs = 30;    // read time-out per byte (0: take only what is there)
  std::uint32_t writeTimeoutMs = 100;  // total time-out of one write (0: only what fits now)
  std::string devicePath;              // when not empty, opened instead of the numbered port
};

class SerialPort;

// Why a port could not be opened.
enum class PortFailure {
  kNone,
  kBadSettings,       // port number outside 1..9, baud rate or line settings out of range
  kNoSuchDevice,      // the path does not exist (adapter not plugged in, wrong name)
  kPermissionDenied,  // the user may not open the device
  kInUse,             // another program holds the device
  kHeldHere,          // this program holds it open already
  kNotATerminal,      // the path is not a serial port
  kConfiguration,     // the device refused the line settings
  kOther,             // any other system error
};

struct PortOpenError {
  PortFailure failure = PortFailure::kNone;
  std::string device;  // the path that was tried
  int error = 0;       // the system's error number, 0 when there was none
  std::string holder;  // kInUse: the name of the program that holds the device, when known
  int holderPid = 0;   // and its process id
};

// Opens the port that the config names and configures it. Fails (port = nullptr, nothing left
// open) when the port number is outside 1..9 without a device path, when the baud rate exceeds
// 115200, when this program already holds the device open, when another program holds it (the
// port is taken exclusively: TIOCEXCL, an advisory lock on the device and the UUCP lock file of
// other programs are all respected), or when the device cannot be opened or configured.
// On a USB serial adapter the driver is asked for low latency (and the adapter's latency timer
// turned down where the system lets us); ClosePort restores what was there before. A port that
// stays slow is noted in the protocol; pseudo-terminals and ports without the setting are left
// alone.
int OpenPort(SerialPort*& port, const PortConfig& config);
// The same, saying why it failed.
int OpenPort(SerialPort*& port, const PortConfig& config, PortOpenError& why);
// The reason of a failed open and what the user can do about it, one or more lines of text.
std::string DescribePortError(const PortOpenError& why);
// Applies line settings and time-outs; also used during a session to switch baud rates. The
// device path and port number of an open port stay as they are.
int ConfigurePort(SerialPort* port, const PortConfig& config);
// Closes the port (nullptr or a closed port: nothing happens).
void ClosePort(SerialPort* port);
// Closes every port that is still open (program start and exit).
void ClearPortTable();

// Line errors (overrun 0x1/0x2, parity 0x4, framing 0x8, break 0x10) counted since the last
// call, as far as the device reports them; -1 without an open port.
int ClearPortErrors(SerialPort* port);
// Discards what has been received and not yet read; transmission is not touched.
int PurgeReceive(SerialPort* port);

// Writes length bytes within the write time-out. On failure length is the count written.
int WriteBytes(SerialPort* port, const std::uint8_t* bytes, std::uint32_t& length);
// Reads up to length bytes: returns when length bytes have arrived, when the line stays quiet for
// one byte time-out after a byte, or after (length + 1) x byte time-out without a byte. A short
// read is success; length returns the count. 0 only when the port is closed or has failed.
int ReadSome(SerialPort* port, std::uint8_t* buffer, std::uint32_t& length);
// Reads exactly length bytes within (length + 1) x byte time-out. Returns 1 when all arrived;
// otherwise 0 with length = the count received.
int ReadExact(SerialPort* port, std::uint8_t* buffer, std::uint32_t& length);
// Waits up to timeoutMs for the first byte, then takes what has arrived, up to length bytes,
// without waiting further. Returns 1 with length = the count (0 when nothing came in time);
// 0 when the port is closed or has failed (after waiting out the time-out, so that a dead line
// is not polled in a tight loop).
int ReadWithin(SerialPort* port, std::uint8_t* buffer, std::uint32_t& length,
               std::uint32_t timeoutMs);

// Holds the line in the break (space) state, or releases it; returns once the driver has done
// so. A pseudo-terminal takes the request and does nothing.
int SetBreak(SerialPort* port, bool on);

// The settings of an open port (a default config when port is nullptr or closed).
PortConfig PortSettings(const SerialPort* port);
bool IsPortOpen(const SerialPort* port);
// The byte time-out of an open port (0 when closed).
std::uint32_t PortByteTimeoutMs(const SerialPort* port);
// True when the open port is a pseudo-terminal.
bool IsPseudoTerminal(const SerialPort* port);
// The device path the open port was opened on (empty when closed).
std::string PortDevice(const SerialPort* port);

// flags[n] = 1 when port n (1..9) is usable: held open by this program, or it can be opened now
// (it is closed again at once). flags[0] is always 0. Returns the number of usable ports.
using PortFlags = std::array<std::uint8_t, 10>;
int ListPorts(PortFlags& flags);
// Whether the device could be opened now (it is closed again at once), or is held open by this
// program (then why.failure is kHeldHere); otherwise false with the reason in `why`.
bool ProbePort(const std::string& device, PortOpenError& why);

// Device paths of the port numbers. An empty path restores the default; numbers outside 1..9
// are ignored (PortPath returns an empty string for them).
void SetPortPath(std::uint32_t portNumber, const std::string& path);
std::string PortPath(std::uint32_t portNumber);
std::string DefaultPortPath(std::uint32_t portNumber);
// "COMn", the user-facing name of a port number.
std::string PortName(std::uint32_t portNumber);

// Stands in for open(2) of the device (tests fake failures through it); nullptr restores the
// system call. Returns a descriptor or -1 with errno set.
using DeviceOpener = int (*)(const char* path, int flags);
void SetDeviceOpener(DeviceOpener opener);
// Stands in for the break ioctl (benchmarks model the latency of a USB adapter through it);
// nullptr restores the ioctl. Returns 0 on success, -1 with errno set.
using BreakControl = int (*)(int fd, bool on);
void SetBreakControl(BreakControl control);

}  // namespace heatdiag
