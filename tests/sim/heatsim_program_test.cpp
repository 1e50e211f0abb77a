// heatsim as a front end starts it: the terminal's path on the first line, serving until a
// signal, a clear message and a failing exit status for a bad scenario.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim_test_support.h"

extern char** environ;

namespace heatsim {
namespace {

using testing::Hex;

class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    args.insert(args.begin(), HEATSIM_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (pipe(out_) != 0 || pipe(err_) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_[1], 2);
    posix_spawn_file_actions_addclose(&actions, out_[0]);
    posix_spawn_file_actions_addclose(&actions, err_[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out_[1]);
    close(err_[1]);
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_[0]);
    close(err_[0]);
  }

  // Everything the program wrote to `fd` until the line end or end of file, waiting at most 5 s.
  static std::string ReadLine(int fd) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char c = 0;
      if (read(fd, &c, 1) != 1 || c == '\n') break;
      line += c;
    }
    return line;
  }
  std::string Out() { return ReadLine(out_[0]); }
  std::string Err() { return ReadLine(err_[0]); }

  // The exit status, or -1 when the program has not ended within 5 s.
  int Wait() {
    for (int i = 0; i < 500; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  void Signal(int signal) { kill(pid_, signal); }
  bool Started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  int out_[2] = {-1, -1};
  int err_[2] = {-1, -1};
};

TEST(HeatsimProgram, ServesOnThePrintedPathUntilSignalled) {
  for (const int signal : {SIGTERM, SIGINT}) {
    Program heatsim({"--version", "3.0", "--nak", "51.0A=22", "-v"});
    ASSERT_TRUE(heatsim.Started());
    const std::string path = heatsim.Out();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << path;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    const Bytes request = {0xF4, 0x03, 0x51, 0x0A, 0xAC};
    ASSERT_EQ(write(fd, request.data(), request.size()), 5);
    Bytes got;
    for (int i = 0; i < 50 && got.size() < 10; ++i) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      std::uint8_t buffer[16];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    EXPECT_EQ(Hex(got), "F4 03 51 0A AC 4F 03 7F 22 11");
    EXPECT_NE(heatsim.Err().find("<- F4 03 51 0A AC"), std::string::npos);
    heatsim.Signal(signal);
    EXPECT_EQ(heatsim.Wait(), 0);
    close(fd);
  }
}

TEST(HeatsimProgram, ServesTheKeywordUnitOfD06) {
  Program heatsim({"--device", "d06", "--nak", "21.36=22"});
  ASSERT_TRUE(heatsim.Started());
  const std::string path = heatsim.Out();
  ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0) << path;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  const Bytes start = testing::KeywordRequest({0x81});
  const Bytes co2 = testing::KeywordRequest({0x21, 0x36});
  Bytes both = start;
  both.insert(both.end(), co2.begin(), co2.end());
  ASSERT_EQ(write(fd, both.data(), both.size()), static_cast<ssize_t>(both.size()));
  Bytes got;
  const std::size_t expected = both.size() + 7 + 7;
  for (int i = 0; i < 50 && got.size() < expected; ++i) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    std::uint8_t buffer[32];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) got.insert(got.end(), buffer, buffer + n);
  }
  // Both echoes come first (the second request followed the first at once), then the answers.
  EXPECT_EQ(Hex(got), Hex(both) + " 83 F1 51 C1 E9 8F FE 83 F1 51 7F 21 22 87");
  heatsim.Signal(SIGTERM);
  EXPECT_EQ(heatsim.Wait(), 0);
  close(fd);
}

TEST(HeatsimProgram, DeviceMustFitTheUnitAskedFor) {
  {
    Program heatsim({"--device", "D06", "--version", "3.2"});
    ASSERT_TRUE(heatsim.Started());
    EXPECT_NE(heatsim.Err().find("--version"), std::string::npos);
    EXPECT_EQ(heatsim.Wait(), 2);
  }
  {
    Program heatsim({"--device", "D06", "--scenario", "v3.1"});
    ASSERT_TRUE(heatsim.Started());
    EXPECT_NE(heatsim.Err().find("is a D00 unit, not D06"), std::string::npos);
    EXPECT_EQ(heatsim.Wait(), 1);
  }
  {
    Program heatsim({"--device", "D07"});
    ASSERT_TRUE(heatsim.Started());
    EXPECT_EQ(heatsim.Wait(), 2);
  }
}

TEST(HeatsimProgram, BadScenarioEndsWithItsReason) {
  Program heatsim({"--scenario", "/nonexistent/unit.json"});
  ASSERT_TRUE(heatsim.Started());
  EXPECT_NE(heatsim.Err().find("/nonexistent/unit.json"), std::string::npos);
  EXPECT_EQ(heatsim.Wait(), 1);
  EXPECT_EQ(heatsim.Out(), "");
}

}  // namespace
}  // namespace heatsim
