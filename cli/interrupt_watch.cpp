#include "cli/interrupt_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace heatdiag::cli {
namespace {

constexpr char kInterrupted = 'i';
constexpr char kQuit = 'q';

// The pipe from the signal handler to the watch thread. Made once and never closed, so that a
// handler still running on another thread while a watch ends never writes into a closed (or
// reused) descriptor.
int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_writeEnd = -1;

bool SignalPipe() {
  static const bool made = [] {
    if (pipe(g_pipe) != 0) return false;
    for (const int fd : g_pipe) {
      (void)fcntl(fd, F_SETFD, FD_CLOEXEC);
      // The handler must never block, and the watch drains without blocking.
      (void)fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
  }();
  return made;
}

extern "C" void OnInterruptSignal(int) {
  const int savedErrno = errno;
  const int fd = g_writeEnd;
  if (fd >= 0) {
    const char byte = kInterrupted;
    [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
  }
  errno = savedErrno;
}

// Bytes left from an earlier watch (a signal that came while it ended).
void Drain() {
  char buffer[64];
  while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  if (!SignalPipe()) return;
  Drain();
  thread_ = std::thread([this] { Watch(); });
  g_writeEnd = g_pipe[1];
  struct sigaction action {};
  action.sa_handler = OnInterruptSignal;
  sigemptyset(&action.sa_mask);
  // The first signal is ours; the next one takes the default course and ends the program.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, &previousInt_);
  sigaction(SIGTERM, &action, &previousTerm_);
  installed_ = true;
}

InterruptWatch::~InterruptWatch() {
  if (installed_) {
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    g_writeEnd = -1;
  }
  if (thread_.joinable()) {
    // Written with a blocking retry: the quit byte must arrive even if the pipe were full.
    for (;;) {
      const char byte = kQuit;
      if (write(g_pipe[1], &byte, 1) == 1) break;
      if (errno != EAGAIN && errno != EINTR) break;
      pollfd writable{g_pipe[1], POLLOUT, 0};
      (void)poll(&writable, 1, 100);
    }
    thread_.join();
  }
}

void InterruptWatch::Watch() {
  bool interrupted = false;
  for (;;) {
    pollfd readable{g_pipe[0], POLLIN, 0};
    if (poll(&readable, 1, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    char buffer[16];
    const ssize_t count = read(g_pipe[0], buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (count <= 0) return;
    for (ssize_t i = 0; i < count; ++i) {
      if (buffer[i] == kQuit) return;
      if (buffer[i] == kInterrupted && !interrupted) {
        interrupted = true;
        if (onInterrupt_) onInterrupt_();
      }
    }
  }
}

}  // namespace heatdiag::cli
