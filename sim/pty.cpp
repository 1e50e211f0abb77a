#include "pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

namespace heatsim {
namespace {

std::string Describe(const std::string& what, int error) {
  return what + " failed: " + std::strerror(error);
}

bool MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string SlaveName(int master) {
#if defined(__linux__)
  char name[128];
  if (ptsname_r(master, name, sizeof name) != 0) return {};
  return name;
#else
  // ptsname() shares one buffer between all callers.
  static std::mutex mutex;
  const std::lock_guard<std::mutex> lock(mutex);
  const char* name = ptsname(master);
  return name ? name : "";
#endif
}

}  // namespace

PseudoTerminal::PseudoTerminal(PseudoTerminal&& other) noexcept
    : master_(std::exchange(other.master_, -1)),
      slave_(std::exchange(other.slave_, -1)),
      path_(std::move(other.path_)) {}

PseudoTerminal& PseudoTerminal::operator=(PseudoTerminal&& other) noexcept {
  if (this != &other) {
    Close();
    master_ = std::exchange(other.master_, -1);
    slave_ = std::exchange(other.slave_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

PseudoTerminal::~PseudoTerminal() {
  Close();
}

bool PseudoTerminal::Open(std::string* error) {
  Close();
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) {
    *error = Describe("posix_openpt", errno);
    return false;
  }
  master_ = master;
  if (fcntl(master_, F_SETFD, FD_CLOEXEC) != 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    *error = Describe("preparing the pseudo-terminal", errno);
    Close();
    return false;
  }
  path_ = SlaveName(master_);
  if (path_.empty()) {
    *error = Describe("ptsname", errno);
    Close();
    return false;
  }
  slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    *error = Describe("opening " + path_, errno);
    Close();
    return false;
  }
  // Raw on both sides: a line discipline that echoed or translated would corrupt telegrams
  // before the tester has set its own line settings.
  const int flags = fcntl(master_, F_GETFL);
  if (!MakeRaw(master_) || !MakeRaw(slave_) || flags < 0 ||
      fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
    *error = Describe("setting the pseudo-terminal raw", errno);
    Close();
    return false;
  }
  return true;
}

void PseudoTerminal::ForgetLineSpeed() {
  termios t{};
  if (slave_ < 0 || tcgetattr(slave_, &t) != 0 || cfgetospeed(&t) == B38400) return;
  cfsetispeed(&t, B38400);
  cfsetospeed(&t, B38400);
  tcsetattr(slave_, TCSANOW, &t);
}

void PseudoTerminal::Close() {
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
  slave_ = -1;
  master_ = -1;
}

}  // namespace heatsim
