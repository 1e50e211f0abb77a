// H-Bus exchanges over a pseudo-terminal whose far end (a child process, so that its CPU time is
// not counted) echoes every request and answers after a fixed delay.
//
// Reported per exchange:
//   overhead_ms  measured time minus the unit's reply delay and the 40 ms quiet line that the
//                sender waits for before each request: what the transport itself adds;
//   cpu_ms       CPU time of this process (requester, sender and receiver threads).
// Idle: CPU time per second of a running session with nothing to send.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "link/hbus_transport.h"
#include "link/pty_peer.h"
#include "link/serial_port.h"

namespace heatdiag {
namespace {

using linktest::Bytes;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The far end in a child process; ends with the object.
class PeerProcess {
 public:
  explicit PeerProcess(std::uint32_t replyDelayMs) {
    if (!peer_.Open()) return;
    pid_ = fork();
    if (pid_ == 0) {
      peer_.Start([replyDelayMs](const Bytes& frame, int) {
        const std::uint8_t command = frame.size() > 2 ? frame[2] : 0;
        return linktest::EchoThen(
            frame, linktest::Telegram(0x4F, {static_cast<std::uint8_t>(command | 0x80), 0x0A}),
            replyDelayMs);
      });
      for (;;) pause();
    }
  }
  ~PeerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ok() const { return pid_ > 0; }
  const std::string& path() const { return peer_.SlavePath(); }

 private:
  linktest::PtyPeer peer_;
  pid_t pid_ = -1;
};

struct Session {
  SerialPort* port = nullptr;
  HBusTransport transport;
  explicit Session(const std::string& path) {
    PortConfig config = HBusLineConfig(0);
    config.devicePath = path;
    if (OpenPort(port, config) == 0) return;
    transport.SetPort(port);
    transport.StartThreads();
    transport.SetReceiverMode(kRxHeader);
    transport.BusIdle().Set();
    transport.SessionRunning().Set();
  }
  ~Session() {
    transport.SessionRunning().Reset();
    transport.StopThreads();
    ClosePort(port);
  }
};

void BM_HBusExchange(benchmark::State& state) {
  const auto replyDelayMs = static_cast<std::uint32_t>(state.range(0));
  PeerProcess peer(replyDelayMs);
  if (!peer.ok()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  Session session(peer.path());
  const std::uint8_t request[] = {0x50, 0x05};
  if (session.transport.SendTelegram(request, sizeof request) != 1) {
    state.SkipWithError("no answer");
    return;
  }
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  for (auto _ : state) {
    if (session.transport.SendTelegram(request, sizeof request) != 1) {
      state.SkipWithError("exchange failed");
      break;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const auto n = static_cast<double>(state.iterations());
  state.counters["overhead_ms"] = seconds * 1000.0 / n - kBusIdleMs - replyDelayMs;
  state.counters["cpu_ms"] = cpu * 1000.0 / n;
}
BENCHMARK(BM_HBusExchange)
    ->Arg(0)
    ->Arg(20)
    ->Iterations(200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_IdleSession(benchmark::State& state) {
  PeerProcess peer(0);
  if (!peer.ok()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  Session session(peer.path());
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  for (auto _ : state) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  state.counters["cpu_ms_per_s"] = (CpuSeconds() - cpu0) * 1000.0 / seconds;
}
BENCHMARK(BM_IdleSession)->Iterations(30)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace heatdiag

BENCHMARK_MAIN();
