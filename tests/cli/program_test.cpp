// heatdiag-cli as a program: Ctrl-C ends a run cleanly (the settings are still saved), and the
// settings come from the user's store that the desktop program shares. Every run has a
// configuration folder of its own, never the user's.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_test_support.h"
#include "shell/qt/qt_settings_backend.h"
#include "virtual_heater.h"

extern char** environ;

namespace heatdiag::cli {
namespace {

using testing::SilentLine;

// A configuration folder for one test, removed afterwards.
class ConfigFolder {
 public:
  ConfigFolder() {
    char pattern[] = "/tmp/heatdiag-cli-test-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~ConfigFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  // Where QSettings keeps the program's settings under this folder.
  QString SettingsFile() const {
    return QString::fromStdString(path_ + "/Kelvar/Kelvar Heatdiag.conf");
  }

 private:
  std::string path_;
};

class Program {
 public:
  Program(const std::vector<std::string>& args, const ConfigFolder& config) {
    std::vector<std::string> strings = {HEATDIAG_CLI_PROGRAM};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + config.Path(),
                                            "HOME=" + config.Path()};
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (entry.rfind("XDG_CONFIG_HOME=", 0) != 0 && entry.rfind("HOME=", 0) != 0)
        environment.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (pipe(out_) != 0 || pipe(err_) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_[1], 2);
    posix_spawn_file_actions_addclose(&actions, out_[0]);
    posix_spawn_file_actions_addclose(&actions, err_[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
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
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return pid_ > 0; }
  void Signal(int signal) { kill(pid_, signal); }

  // Collects the output until the program ends; its exit status, or -1 when it has not ended
  // within `limit`.
  int Finish(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    bool outOpen = true;
    bool errOpen = true;
    while ((outOpen || errOpen) && std::chrono::steady_clock::now() < end) {
      pollfd fds[2] = {{outOpen ? out_[0] : -1, POLLIN, 0}, {errOpen ? err_[0] : -1, POLLIN, 0}};
      if (poll(fds, 2, 100) <= 0) continue;
      outOpen = outOpen && Drain(fds[0], out_[0], out);
      errOpen = errOpen && Drain(fds[1], err_[0], err);
    }
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

  std::string out;
  std::string err;

 private:
  // False at the end of the stream.
  static bool Drain(const pollfd& polled, int fd, std::string& text) {
    if ((polled.revents & (POLLIN | POLLHUP)) == 0) return true;
    char buffer[4096];
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count <= 0) return false;
    text.append(buffer, static_cast<std::size_t>(count));
    return true;
  }

  pid_t pid_ = -1;
  int out_[2] = {-1, -1};
  int err_[2] = {-1, -1};
};

TEST(CliProgram, InterruptEndsTheRunCleanly) {
  struct Case {
    std::vector<std::string> args;  // the silent line's path follows
    const char* out;                // part of the result
    const char* err;                // part of the messages
  };
  const Case cases[] = {
      {{"search", "--port"}, "No control unit found.", "Search cancelled"},
      {{"diagnose", "--device", "D00", "--json", "--port"},
       "\"complete\":false",
       "Interrupted before the connection pass was complete."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    ConfigFolder config;
    ASSERT_FALSE(config.Path().empty());
    SilentLine line;
    std::vector<std::string> args = c.args;
    args.push_back(line.Path());
    Program program(args, config);
    ASSERT_TRUE(program.Started());
    // The tester talks on the line: it is in the middle of its run.
    ASSERT_TRUE(line.WaitForTraffic(std::chrono::seconds(60)));
    program.Signal(SIGINT);
    // A probe that is running finishes first (some seconds on a silent line).
    EXPECT_EQ(program.Finish(std::chrono::seconds(120)), 1) << program.err;
    EXPECT_NE(program.out.find(c.out), std::string::npos) << program.out;
    EXPECT_NE(program.err.find(c.err), std::string::npos) << program.err;
    // The settings were saved at the end, as after any run.
    QtSettingsBackend saved(config.SettingsFile());
    EXPECT_EQ(saved.ReadText("Setting", "LastDevice").value_or("(missing)"), "0");
  }
}

TEST(CliProgram, DiagnosisTakesDeviceAndPortFromTheUsersSettings) {
  ConfigFolder config;
  ASSERT_FALSE(config.Path().empty());
  std::string error;
  const auto heater = heatsim::VirtualHeater::Start({}, &error);
  ASSERT_NE(heater, nullptr) << error;
  {
    QtSettingsBackend store(config.SettingsFile());
    store.WriteText("Setting", "COM Port", "4");
    store.WriteText("Setting", "LastDevice", "0");
    store.WriteText("Ports", "COM4", heater->PtyPath());
    ASSERT_TRUE(store.Sync());
  }
  Program program({"diagnose", "--json", "--seconds", "0"}, config);
  ASSERT_TRUE(program.Started());
  ASSERT_EQ(program.Finish(std::chrono::seconds(120)), 0) << program.err;
  const auto result = nlohmann::json::parse(program.out);
  EXPECT_EQ(result["device"], "D00");
  EXPECT_EQ(result["port"], "COM4");
  EXPECT_EQ(result["path"], heater->PtyPath());
  EXPECT_EQ(result["complete"], true);
  QtSettingsBackend saved(config.SettingsFile());
  EXPECT_EQ(saved.ReadText("Setting", "COM Port").value_or("(missing)"), "4");
  EXPECT_EQ(saved.ReadText("Ports", "COM4").value_or("(missing)"), heater->PtyPath());
  // Everything else of the table is there now, as after a run of the desktop program.
  EXPECT_EQ(saved.ReadText("Window", "Right").value_or("(missing)"), "698");
  heater->Stop();
}

}  // namespace
}  // namespace heatdiag::cli
