#include "link/serial_port.h"

#include <dirent.h>
#include <sys/resource.h>
#include <time.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/pty_peer.h"

namespace heatdiag {
namespace {

using linktest::Bytes;
using linktest::PtyPeer;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

int OpenDescriptors() {
  int n = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++n;
    closedir(dir);
  }
  return n;
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Ports COM1..COM9 pointed at paths that do not exist, so that no test touches real devices.
class PortPaths {
 public:
  PortPaths() {
    for (std::uint32_t n = 1; n <= 9; ++n) SetPortPath(n, "/nonexistent/tty" + std::to_string(n));
  }
  ~PortPaths() {
    for (std::uint32_t n = 1; n <= 9; ++n) SetPortPath(n, "");
  }
};

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer_.Open()) << "no pseudo-terminal available";
    // Collect raw bytes only.
    peer_.Start([](const Bytes&, int) { return linktest::Silence(); },
                [](std::span<const std::uint8_t>) -> std::size_t { return 0; });
  }
  void TearDown() override {
    ClosePort(port_);
    peer_.Stop();
  }

  PortConfig PtyConfig(std::uint32_t baud = 2400) const {
    PortConfig c;
    c.baudRate = baud;
    c.parity = kParityEven;
    c.devicePath = peer_.SlavePath();
    return c;
  }
  bool OpenPty(std::uint32_t baud = 2400) { return OpenPort(port_, PtyConfig(baud)) == 1; }

  PtyPeer peer_;
  SerialPort* port_ = nullptr;
  PortPaths paths_;
};

struct OpenCase {
  const char* name;
  std::uint32_t portNumber;
  bool usePty;       // device path of the pty, or the port number's path
  bool numberToPty;  // port number's path pointed at the pty
  std::uint32_t baud;
  std::uint8_t dataBits;
  std::uint8_t parity;
  bool opens;
};

class OpenChecks : public SerialPortTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenChecks, OpensOrFailsCleanly) {
  const auto& c = GetParam();
  PortConfig config = PtyConfig(c.baud);
  config.portNumber = c.portNumber;
  config.dataBits = c.dataBits;
  config.parity = c.parity;
  if (!c.usePty) config.devicePath.clear();
  if (c.numberToPty && c.portNumber >= 1 && c.portNumber <= 9)
    SetPortPath(c.portNumber, peer_.SlavePath());
  const int before = OpenDescriptors();
  const int result = OpenPort(port_, config);
  EXPECT_EQ(result, c.opens ? 1 : 0);
  EXPECT_EQ(port_ != nullptr, c.opens);
  EXPECT_EQ(IsPortOpen(port_), c.opens);
  if (!c.opens) {
    EXPECT_EQ(OpenDescriptors(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OpenChecks,
    ::testing::Values(OpenCase{"Port0", 0, false, true, 2400, 8, kParityEven, false},
                      OpenCase{"Port10", 10, false, true, 2400, 8, kParityEven, false},
                      OpenCase{"Port3", 3, false, true, 2400, 8, kParityEven, true},
                      OpenCase{"Port9", 9, false, true, 2400, 8, kParityEven, true},
                      OpenCase{"MissingDevice", 2, false, false, 2400, 8, kParityEven, false},
                      OpenCase{"Baud115200", 0, true, false, 115200, 8, kParityEven, true},
                      OpenCase{"Baud115201", 0, true, false, 115201, 8, kParityEven, false},
                      OpenCase{"Baud10400", 0, true, false, 10400, 8, kParityNone, true},
                      OpenCase{"Baud0", 0, true, false, 0, 8, kParityNone, false},
                      OpenCase{"NineDataBits", 0, true, false, 2400, 9, kParityNone, false},
                      OpenCase{"UnknownParity", 0, true, false, 2400, 8, 5, false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(SerialPortTest, NotATerminalFailsAndLeavesNothingOpen) {
  const int before = OpenDescriptors();
  PortConfig config = PtyConfig();
  config.devicePath = "/dev/null";
  EXPECT_EQ(OpenPort(port_, config), 0);
  EXPECT_EQ(port_, nullptr);
  EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(SerialPortTest, HeldOpenOnlyOnceAndReopensAfterClose) {
  ASSERT_TRUE(OpenPty());
  SerialPort* second = nullptr;
  EXPECT_EQ(OpenPort(second, PtyConfig()), 0);
  EXPECT_EQ(second, nullptr);
  SerialPort* first = port_;
  ClosePort(port_);
  EXPECT_FALSE(IsPortOpen(first));
  ClosePort(first);  // twice: nothing happens
  EXPECT_TRUE(OpenPty());
}

TEST_F(SerialPortTest, SettingsSwitchDuringSession) {
  ASSERT_TRUE(OpenPty());
  EXPECT_TRUE(IsPseudoTerminal(port_));
  EXPECT_EQ(PortDevice(port_), peer_.SlavePath());
  PortConfig block = PtyConfig(10400);
  block.byteTimeoutMs = 45;
  block.devicePath = "/somewhere/else";  // the open port stays on its device
  EXPECT_EQ(ConfigurePort(port_, block), 1);
  EXPECT_EQ(PortSettings(port_).baudRate, 10400u);
  EXPECT_EQ(PortByteTimeoutMs(port_), 45u);
  EXPECT_EQ(PortSettings(port_).devicePath, peer_.SlavePath());
  PortConfig bad = block;
  bad.baudRate = 200000;
  EXPECT_EQ(ConfigurePort(port_, bad), 0);
  EXPECT_EQ(PortSettings(port_).baudRate, 10400u);
  EXPECT_EQ(ConfigurePort(nullptr, block), 0);
}

TEST_F(SerialPortTest, WriteReachesTheLine) {
  ASSERT_TRUE(OpenPty());
  const std::uint8_t bytes[] = {0xF4, 0x03, 0x51, 0x0A, 0xAC};
  std::uint32_t length = sizeof bytes;
  EXPECT_EQ(WriteBytes(port_, bytes, length), 1);
  EXPECT_EQ(length, 5u);
  for (int i = 0; i < 400 && peer_.RawReceived().size() < 5; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(peer_.RawReceived(), Bytes(bytes, bytes + 5));
}

struct DeadlineCase {
  std::uint32_t byteTimeoutMs;
  std::uint32_t length;
  long deadlineMs;
};

class ReadExactDeadline : public SerialPortTest,
                          public ::testing::WithParamInterface<DeadlineCase> {};

TEST_P(ReadExactDeadline, LengthPlusOneByteTimes) {
  const auto& c = GetParam();
  PortConfig config = PtyConfig();
  config.byteTimeoutMs = c.byteTimeoutMs;
  ASSERT_EQ(OpenPort(port_, config), 1);
  std::uint8_t buffer[64];
  std::uint32_t length = c.length;
  const auto t0 = Clock::now();
  EXPECT_EQ(ReadExact(port_, buffer, length), 0);
  const long elapsed = ElapsedMs(t0);
  EXPECT_EQ(length, 0u);
  EXPECT_GE(elapsed, c.deadlineMs - 1);
  EXPECT_LT(elapsed, c.deadlineMs + 2000);
}

INSTANTIATE_TEST_SUITE_P(Table, ReadExactDeadline,
                         ::testing::Values(DeadlineCase{30, 1, 60}, DeadlineCase{30, 20, 630},
                                           DeadlineCase{10, 4, 50}));

TEST_F(SerialPortTest, ReadExactPartialAndComplete) {
  ASSERT_TRUE(OpenPty());
  std::uint8_t buffer[8] = {};
  peer_.Inject({1, 2, 3});
  std::uint32_t length = 5;
  EXPECT_EQ(ReadExact(port_, buffer, length), 0);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{1, 2, 3}));

  // Bytes that trickle in within the deadline are collected.
  std::thread writer([this] {
    peer_.Inject({4, 5});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    peer_.Inject({6, 7, 8});
  });
  length = 5;
  EXPECT_EQ(ReadExact(port_, buffer, length), 1);
  writer.join();
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{4, 5, 6, 7, 8}));
}

TEST_F(SerialPortTest, ReadSomeShortReadIsSuccess) {
  ASSERT_TRUE(OpenPty());
  std::uint8_t buffer[10];
  peer_.Inject({0x4F, 0x03});
  std::uint32_t length = 10;
  EXPECT_EQ(ReadSome(port_, buffer, length), 1);
  EXPECT_EQ(length, 2u);
  length = 4;
  EXPECT_EQ(ReadSome(port_, buffer, length), 1);  // nothing came: still success
  EXPECT_EQ(length, 0u);
}

TEST_F(SerialPortTest, PurgeDropsWhatWasReceived) {
  ASSERT_TRUE(OpenPty());
  peer_.Inject({9, 9, 9});
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(PurgeReceive(port_), 1);
  std::uint8_t b;
  std::uint32_t length = 1;
  EXPECT_EQ(ReadWithin(port_, &b, length, 20), 1);
  EXPECT_EQ(length, 0u);
}

TEST_F(SerialPortTest, CloseWakesAWaitingReader) {
  ASSERT_TRUE(OpenPty());
  int result = -1;
  std::thread reader([&] {
    std::uint8_t b;
    std::uint32_t length = 1;
    result = ReadWithin(port_, &b, length, 20000);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto t0 = Clock::now();
  ClosePort(port_);
  reader.join();
  EXPECT_LT(ElapsedMs(t0), 5000);
  EXPECT_EQ(result, 0);
}

TEST_F(SerialPortTest, HungUpLineFailsWithoutSpinning) {
  ASSERT_TRUE(OpenPty());
  peer_.Stop();
  peer_.HangUp();
  std::uint8_t buffer[4];
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  int failures = 0;
  for (int i = 0; i < 5; ++i) {
    std::uint32_t length = 1;
    failures += ReadWithin(port_, buffer, length, 60) == 0 ? 1 : 0;
  }
  std::uint32_t length = 4;
  EXPECT_EQ(ReadExact(port_, buffer, length), 0);
  const long elapsed = ElapsedMs(t0);
  const double cpu = CpuSeconds() - cpu0;
  EXPECT_EQ(failures, 5);
  EXPECT_GE(elapsed, 5 * 60 + 150 - 5);  // each read waited its time-out
  EXPECT_LT(cpu, 0.5 * static_cast<double>(elapsed) / 1000.0);
  const std::uint8_t byte = 0x55;
  length = 1;
  EXPECT_EQ(WriteBytes(port_, &byte, length), 0);
}

TEST_F(SerialPortTest, BreakAndErrorsOnAPseudoTerminal) {
  EXPECT_EQ(SetBreak(nullptr, true), 0);
  EXPECT_EQ(ClearPortErrors(nullptr), -1);
  EXPECT_EQ(PurgeReceive(nullptr), 0);
  ASSERT_TRUE(OpenPty());
  EXPECT_EQ(SetBreak(port_, true), 1);
  EXPECT_EQ(SetBreak(port_, false), 1);
  EXPECT_EQ(ClearPortErrors(port_), 0);
  SerialPort* closed = port_;
  ClosePort(port_);
  EXPECT_EQ(SetBreak(closed, true), 0);
  EXPECT_EQ(ClearPortErrors(closed), -1);
  std::uint32_t length = 1;
  const std::uint8_t byte = 0;
  EXPECT_EQ(WriteBytes(closed, &byte, length), 0);
}

TEST_F(SerialPortTest, ListPortsCountsHeldAndOpenable) {
  SetPortPath(2, peer_.SlavePath());
  PortFlags flags{};
  flags.fill(7);
  EXPECT_EQ(ListPorts(flags), 1);
  EXPECT_EQ(flags[0], 0);
  EXPECT_EQ(flags[2], 1);
  EXPECT_EQ(flags[3], 0);
  // Held open by this program (exclusively): still usable.
  PortConfig config = PtyConfig();
  config.devicePath.clear();
  config.portNumber = 2;
  ASSERT_EQ(OpenPort(port_, config), 1);
  EXPECT_EQ(ListPorts(flags), 1);
  EXPECT_EQ(flags[2], 1);
  // A path that is not a terminal is not offered.
  SetPortPath(5, "/dev/null");
  EXPECT_EQ(ListPorts(flags), 1);
  EXPECT_EQ(flags[5], 0);
}

TEST(PortPathTable, DefaultsAndOverrides) {
  const char* defaults[] = {
      "",           "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyACM1",
      "/dev/ttyS0", "/dev/ttyS1",   "/dev/ttyS2",   "/dev/ttyS3",   "/dev/ttyS4"};
  for (std::uint32_t n = 0; n <= 9; ++n) {
    EXPECT_EQ(DefaultPortPath(n), defaults[n]) << n;
    EXPECT_EQ(PortPath(n), defaults[n]) << n;
  }
  EXPECT_EQ(PortPath(10), "");
  SetPortPath(7, "/dev/ttyUSB3");
  SetPortPath(0, "/dev/x");
  SetPortPath(10, "/dev/y");
  EXPECT_EQ(PortPath(7), "/dev/ttyUSB3");
  EXPECT_EQ(PortPath(0), "");
  SetPortPath(7, "");
  EXPECT_EQ(PortPath(7), "/dev/ttyS2");
  EXPECT_EQ(PortName(7), "COM7");
}

}  // namespace
}  // namespace heatdiag
