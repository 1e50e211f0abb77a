// Why a port cannot be opened, as the user is told: missing device, permission, a port in use
// by another program or by this one, and the stable names that stand for a device.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "link/port_access.h"
#include "link/port_discovery.h"
#include "link/pty_peer.h"
#include "link/recorders.h"
#include "link/serial_port.h"

namespace heatdiag {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The error that the faked open(2) reports.
std::atomic<int> g_fakeErrno{0};
int FailingOpen(const char*, int) {
  errno = g_fakeErrno.load();
  return -1;
}

class FakedOpen {
 public:
  explicit FakedOpen(int error) {
    g_fakeErrno = error;
    SetDeviceOpener(FailingOpen);
  }
  ~FakedOpen() { SetDeviceOpener(nullptr); }
};

class PortAccessTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(peer_.Open()) << "no pseudo-terminal available"; }
  void TearDown() override {
    ClosePort(port_);
    if (!link_.empty()) fs::remove(link_);
  }

  PortConfig Config(const std::string& path) const {
    PortConfig config;
    config.baudRate = 2400;
    config.parity = kParityEven;
    config.devicePath = path;
    return config;
  }
  // Opens `path` expecting a failure; its description for the user.
  std::string RefusedOpen(const std::string& path, PortFailure expected) {
    SerialPort* port = nullptr;
    PortOpenError why;
    EXPECT_EQ(OpenPort(port, Config(path), why), 0) << path;
    EXPECT_EQ(port, nullptr);
    EXPECT_EQ(why.failure, expected) << path;
    EXPECT_EQ(why.device, path);
    return DescribePortError(why);
  }
  // A stable name of the pty, as udev makes them: a symbolic link to the device.
  const std::string& StableLink() {
    link_ = (fs::temp_directory_path() / ("heatdiag-by-id-" + std::to_string(getpid()))).string();
    fs::remove(link_);
    fs::create_symlink(peer_.SlavePath(), link_);
    return link_;
  }

  linktest::PtyPeer peer_;
  SerialPort* port_ = nullptr;
  std::string link_;
};

TEST_F(PortAccessTest, MissingDeviceNamesThePortsThatExist) {
  const std::string text = RefusedOpen("/nonexistent/ttyUSB7", PortFailure::kNoSuchDevice);
  EXPECT_EQ(text.rfind("/nonexistent/ttyUSB7: no such device.\n", 0), 0u) << text;
  EXPECT_TRUE(Contains(text, "Serial ports present: ") ||
              Contains(text, "No serial port is present: is the diagnosis adapter plugged in?"))
      << text;
}

TEST_F(PortAccessTest, PermissionDeniedNamesTheGroupAndTheCure) {
  struct stat st {};
  ASSERT_EQ(stat(peer_.SlavePath().c_str(), &st), 0);
  const group* owner = getgrgid(st.st_gid);
  ASSERT_NE(owner, nullptr);
  const std::string groupName = owner->gr_name;
  FakedOpen denied(EACCES);
  const std::string text = RefusedOpen(peer_.SlavePath(), PortFailure::kPermissionDenied);
  EXPECT_EQ(text.rfind(peer_.SlavePath() + ": permission denied.", 0), 0u) << text;
  if (st.st_gid == 0) {
    EXPECT_TRUE(Contains(text, "Only the administrator")) << text;
  } else {
    EXPECT_TRUE(Contains(text, "\"" + groupName + "\"")) << text;
    EXPECT_TRUE(Contains(text, "log out and in again")) << text;
    // Unless the user is in the group already and only has to log in again, the command that
    // puts the user into it is given.
    if (!Contains(text, "You are a member")) {
      EXPECT_TRUE(Contains(text, "sudo usermod -aG " + groupName + " $USER")) << text;
    }
  }
}

TEST_F(PortAccessTest, SystemErrorsOfTheOpen) {
  const struct {
    int error;
    PortFailure failure;
    const char* says;
  } cases[] = {
      {ENOENT, PortFailure::kNoSuchDevice, ": no such device."},
      {ENXIO, PortFailure::kNoSuchDevice, ": no such device."},
      {EPERM, PortFailure::kPermissionDenied, ": permission denied."},
      {EBUSY, PortFailure::kInUse, " is in use by another program"},
      {EIO, PortFailure::kOther, " cannot be opened: Input/output error."},
  };
  for (const auto& c : cases) {
    FakedOpen failing(c.error);
    const std::string text = RefusedOpen(peer_.SlavePath(), c.failure);
    EXPECT_TRUE(Contains(text, peer_.SlavePath() + c.says)) << text;
  }
}

TEST_F(PortAccessTest, OpenedTwiceTheSecondIsRefusedUnderAnyName) {
  ASSERT_EQ(OpenPort(port_, Config(peer_.SlavePath())), 1);
  EXPECT_EQ(RefusedOpen(peer_.SlavePath(), PortFailure::kHeldHere),
            peer_.SlavePath() +
                " is already open in this program (another diagnosis or the device search).");
  RefusedOpen(StableLink(), PortFailure::kHeldHere);
  // Held here counts as usable for the port list.
  PortOpenError why;
  EXPECT_TRUE(ProbePort(link_, why));
  EXPECT_EQ(why.failure, PortFailure::kHeldHere);
}

TEST_F(PortAccessTest, AnotherProgramsLockKeepsUsOff) {
  const int other = open(peer_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  const std::string text = RefusedOpen(peer_.SlavePath(), PortFailure::kInUse);
  // The holder is this very process here, which is never named as "another program".
  EXPECT_EQ(text,
            peer_.SlavePath() + " is in use by another program. Close that program and try again.");
  PortOpenError why;
  EXPECT_FALSE(ProbePort(peer_.SlavePath(), why));
  EXPECT_EQ(why.failure, PortFailure::kInUse);
  close(other);
  ASSERT_EQ(OpenPort(port_, Config(peer_.SlavePath())), 1);
}

TEST_F(PortAccessTest, TheProgramHoldingThePortIsNamed) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(peer_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
    (void)!write(ready[1], &ok, 1);
    for (;;) pause();
  }
  close(ready[1]);
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  close(ready[0]);
  EXPECT_EQ(ok, 1);
  SerialPort* port = nullptr;
  PortOpenError why;
  EXPECT_EQ(OpenPort(port, Config(peer_.SlavePath()), why), 0);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(why.failure, PortFailure::kInUse);
  EXPECT_EQ(why.holderPid, child);
  EXPECT_TRUE(
      Contains(DescribePortError(why), " (link_tests, process " + std::to_string(child) + ")"))
      << DescribePortError(why);
}

TEST_F(PortAccessTest, OtherRefusals) {
  EXPECT_EQ(RefusedOpen("/dev/null", PortFailure::kNotATerminal),
            "/dev/null is not a serial port.");
  PortConfig badBaud = Config(peer_.SlavePath());
  badBaud.baudRate = 115201;
  SerialPort* port = nullptr;
  PortOpenError why;
  EXPECT_EQ(OpenPort(port, badBaud, why), 0);
  EXPECT_EQ(why.failure, PortFailure::kBadSettings);
  PortConfig noNumber = Config("");
  noNumber.portNumber = 10;
  EXPECT_EQ(OpenPort(port, noNumber, why), 0);
  EXPECT_EQ(why.failure, PortFailure::kBadSettings);
  EXPECT_EQ(DescribePortError(why),
            "No such port or line settings (ports COM1 to COM9, at most 115200 baud).");
}

TEST_F(PortAccessTest, StableNameOpensItsDevice) {
  EXPECT_EQ(ResolvePortDevice(StableLink()), peer_.SlavePath());
  EXPECT_EQ(ResolvePortDevice(peer_.SlavePath()), peer_.SlavePath());
  ASSERT_EQ(OpenPort(port_, Config(link_)), 1);
  EXPECT_EQ(PortDevice(port_), link_);
}

TEST_F(PortAccessTest, LowLatencyIsNotAskedOfAPseudoTerminal) {
  linktest::RecordingProtocol protocol;
  ASSERT_EQ(OpenPort(port_, Config(peer_.SlavePath())), 1);
  ClosePort(port_);
  port_ = nullptr;
  EXPECT_TRUE(protocol.Entries().empty());
}

TEST(LatencyTimerTest, LoweredToOneAndRestored) {
  const std::string file =
      (fs::temp_directory_path() / ("heatdiag-latency-" + std::to_string(getpid()))).string();
  const struct {
    const char* content;  // nullptr: no such attribute
    LatencyTimer result;
    const char* after;
  } cases[] = {
      {"16\n", LatencyTimer::kLowered, "1\n"},
      {"1\n", LatencyTimer::kFastAlready, "1\n"},
      {nullptr, LatencyTimer::kNone, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content != nullptr ? c.content : "none");
    fs::remove(file);
    if (c.content != nullptr) {
      std::FILE* f = std::fopen(file.c_str(), "w");
      ASSERT_NE(f, nullptr);
      std::fputs(c.content, f);
      std::fclose(f);
    }
    std::string before;
    EXPECT_EQ(LowerLatencyTimer(file, before), c.result);
    if (c.after == nullptr) {
      EXPECT_FALSE(fs::exists(file));
      continue;
    }
    char read[16] = {};
    std::FILE* f = std::fopen(file.c_str(), "r");
    ASSERT_NE(f, nullptr);
    ASSERT_NE(std::fgets(read, sizeof read, f), nullptr);
    std::fclose(f);
    EXPECT_STREQ(read, c.after);
    if (c.result == LatencyTimer::kLowered) {
      RestoreLatencyTimer(file, before);
      f = std::fopen(file.c_str(), "r");
      ASSERT_NE(f, nullptr);
      ASSERT_NE(std::fgets(read, sizeof read, f), nullptr);
      std::fclose(f);
      EXPECT_STREQ(read, c.content);
    }
  }
  fs::remove(file);
}

}  // namespace
}  // namespace heatdiag
