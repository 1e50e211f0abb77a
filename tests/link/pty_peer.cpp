#include "link/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace heatdiag::linktest {
namespace {

std::uint8_t Xor(const Bytes& bytes) {
  std::uint8_t x = 0;
  for (auto b : bytes) x = static_cast<std::uint8_t>(x ^ b);
  return x;
}

}  // namespace

std::size_t TelegramFramer(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 2) return 0;
  return static_cast<std::size_t>(bytes[1]) + 2;
}

Bytes Telegram(std::uint8_t header, const Bytes& body) {
  // Built byte by byte: GCC 12 misreads an insert behind an initializer list at -O2.
  Bytes t;
  t.reserve(body.size() + 3);
  t.push_back(header);
  t.push_back(static_cast<std::uint8_t>(body.size() + 1));
  for (auto b : body) t.push_back(b);
  t.push_back(Xor(t));
  return t;
}

Bytes Telegram(std::uint8_t header, std::initializer_list<std::uint8_t> body) {
  return Telegram(header, Bytes(body));
}

Bytes BlockFrame(std::initializer_list<std::uint8_t> bytes) {
  Bytes f(bytes);
  f.push_back(Xor(f));
  return f;
}

PeerAnswer EchoOnly(const Bytes& frame) {
  return {{{0, frame}}, false};
}

PeerAnswer EchoThen(const Bytes& frame, Bytes reply, std::uint32_t delayMs) {
  return {{{0, frame}, {delayMs, std::move(reply)}}, false};
}

PeerAnswer Silence() {
  return {};
}

PtyPeer::PtyPeer() = default;

PtyPeer::~PtyPeer() {
  Stop();
  CloseMaster();
}

bool PtyPeer::Open() {
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  if (grantpt(fd) != 0 || unlockpt(fd) != 0) {
    close(fd);
    return false;
  }
  char name[128];
  if (ptsname_r(fd, name, sizeof name) != 0) {
    close(fd);
    return false;
  }
  // No echo, no translation on the master's side: bytes pass as they are.
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  master_ = fd;
  slavePath_ = name;
  return true;
}

void PtyPeer::Start(Script script, Framer framer) {
  Stop();
  script_ = std::move(script);
  framer_ = std::move(framer);
  stop_.store(false);
  thread_ = std::thread([this] { Run(); });
}

void PtyPeer::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void PtyPeer::CloseMaster() {
  std::lock_guard lock(mutex_);
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void PtyPeer::HangUp() {
  CloseMaster();
}

void PtyPeer::Inject(const Bytes& bytes) {
  WriteAll(bytes);
}

void PtyPeer::WriteAll(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = -1;
    {
      std::lock_guard lock(mutex_);
      if (master_ < 0) return;
      n = write(master_, bytes.data() + done, bytes.size() - done);
    }
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else {
      usleep(1000);
    }
  }
}

void PtyPeer::Run() {
  Bytes pending;
  int number = 0;
  while (!stop_.load()) {
    int fd = -1;
    {
      std::lock_guard lock(mutex_);
      fd = master_;
    }
    if (fd < 0) return;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    std::uint8_t buffer[512];
    ssize_t n = -1;
    {
      std::lock_guard lock(mutex_);
      if (master_ < 0) return;
      n = read(master_, buffer, sizeof buffer);
    }
    if (n <= 0) {
      // EIO while no slave is open: wait for the tester to open it.
      usleep(5000);
      continue;
    }
    {
      std::lock_guard lock(mutex_);
      raw_.insert(raw_.end(), buffer, buffer + n);
    }
    pending.insert(pending.end(), buffer, buffer + n);
    for (;;) {
      const std::size_t size = framer_(pending);
      if (size == 0 || pending.size() < size) break;
      Bytes frame(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      ++number;
      {
        std::lock_guard lock(mutex_);
        frames_.push_back(frame);
        times_.push_back(std::chrono::steady_clock::now());
      }
      arrived_.notify_all();
      const PeerAnswer answer = script_ ? script_(frame, number) : EchoOnly(frame);
      for (const Chunk& chunk : answer.chunks) {
        if (chunk.delayMs > 0) usleep(chunk.delayMs * 1000);
        WriteAll(chunk.bytes);
      }
      if (answer.hangUp) {
        CloseMaster();
        return;
      }
    }
  }
}

std::vector<Bytes> PtyPeer::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::vector<SteadyTime> PtyPeer::FrameTimes() const {
  std::lock_guard lock(mutex_);
  return times_;
}

int PtyPeer::FrameCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(frames_.size());
}

Bytes PtyPeer::RawReceived() const {
  std::lock_guard lock(mutex_);
  return raw_;
}

bool PtyPeer::WaitForFrames(int count, std::uint32_t timeoutMs) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return static_cast<int>(frames_.size()) >= count; });
}

}  // namespace heatdiag::linktest
