// The break on the diagnosis line as the caller's clock sees it, on a pseudo-terminal.
//
//   BM_BreakChange      one change of the line through SetBreak (ioctl and our layer): us
//   BM_WakeShortPulse   the 25 ms pulse, BM_WakeKeywordPulses the 300 ms and 25 ms pulses: how far
//                       each came out from its length (error_us: mean, worst_us: largest
//                       deviation), each pulse measured from the moment the driver reported the
//                       break set to the moment it reported it cleared. The argument is the time
//                       a modelled USB adapter takes per change (0: the pseudo-terminal alone;
//                       1500: a control transfer of 1.5 ms in front of each ioctl).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_port.h"
#include "link/thread_priority.h"
#include "link/wakeup.h"

namespace heatdiag {
namespace {

using Clock = std::chrono::steady_clock;

class PtyPort {
 public:
  PtyPort() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) return;
    PortConfig config;
    config.baudRate = 2400;
    config.parity = kParityEven;
    config.devicePath = name;
    OpenPort(port_, config);
  }
  ~PtyPort() {
    ClosePort(port_);
    if (master_ >= 0) close(master_);
  }
  SerialPort* port() const { return port_; }

 private:
  int master_ = -1;
  SerialPort* port_ = nullptr;
};

std::atomic<long> g_adapterLatencyUs{0};
int SlowAdapterBreak(int fd, bool on) {
  std::this_thread::sleep_for(std::chrono::microseconds(g_adapterLatencyUs.load()));
  return ioctl(fd, on ? TIOCSBRK : TIOCCBRK);
}

std::mutex g_mutex;
std::vector<std::pair<bool, Clock::time_point>> g_changes;
void Record(bool breakOn, Clock::time_point done) {
  std::lock_guard lock(g_mutex);
  g_changes.emplace_back(breakOn, done);
}

void BM_BreakChange(benchmark::State& state) {
  PtyPort pty;
  if (pty.port() == nullptr) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  bool on = true;
  for (auto _ : state) {
    SetBreak(pty.port(), on);
    on = !on;
  }
  SetBreak(pty.port(), false);
}
BENCHMARK(BM_BreakChange)->Unit(benchmark::kMicrosecond);

// Runs the pattern and reports how far its break pulses (break set to break cleared) came out
// from the given lengths.
template <typename Pattern>
void PulseLengths(benchmark::State& state, Pattern pattern, std::vector<long> lengthsMs) {
  PtyPort pty;
  if (pty.port() == nullptr) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  // As the link worker that sends the pulses does.
  RaiseThreadPriority();
  g_adapterLatencyUs = state.range(0);
  SetBreakControl(state.range(0) > 0 ? SlowAdapterBreak : nullptr);
  SetLineChangeObserver(Record);
  double sum = 0;
  double worst = 0;
  long pulses = 0;
  for (auto _ : state) {
    {
      std::lock_guard lock(g_mutex);
      g_changes.clear();
    }
    pattern(pty.port());
    std::lock_guard lock(g_mutex);
    std::size_t next = 0;
    for (std::size_t i = 0; i + 1 < g_changes.size() && next < lengthsMs.size(); ++i) {
      if (!g_changes[i].first || g_changes[i + 1].first) continue;
      const double us =
          std::chrono::duration<double, std::micro>(g_changes[i + 1].second - g_changes[i].second)
              .count();
      const double error = us - static_cast<double>(lengthsMs[next++]) * 1000.0;
      sum += error;
      worst = std::max(worst, std::fabs(error));
      ++pulses;
    }
  }
  SetLineChangeObserver(nullptr);
  SetBreakControl(nullptr);
  state.counters["error_us"] = pulses > 0 ? sum / static_cast<double>(pulses) : 0.0;
  state.counters["worst_us"] = worst;
}

void BM_WakeShortPulse(benchmark::State& state) {
  PulseLengths(state, WakeShortPulse, {25});
}
BENCHMARK(BM_WakeShortPulse)
    ->Arg(0)
    ->Arg(1500)
    ->Iterations(40)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_WakeKeywordPulses(benchmark::State& state) {
  PulseLengths(state, WakeKeywordPulses, {300, 25});
}
BENCHMARK(BM_WakeKeywordPulses)
    ->Arg(0)
    ->Arg(1500)
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace heatdiag

BENCHMARK_MAIN();
