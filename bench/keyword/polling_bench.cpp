// A D06 diagnosis against the virtual keyword-link water heater running in a child process
// (heatsim), with every byte paced at its line time at 10400 baud and a fixed reply latency: how
// close the polling comes to what the line allows, and what it costs in CPU.
//
// Reported:
//   telegrams_per_s  exchanges per second while polling;
//   ratio            measured time per exchange / the least the line allows, that is request
//                    and reply bytes at 10 bits each (8N1) at 10400 baud, plus the reply
//                    latency, plus the 40 ms of quiet line before each request;
//   cpu_s_per_min    CPU seconds of this process (link worker, sender, receiver) per minute.
// HEATDIAG_BENCH_SECONDS sets the polling window (default 60).
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "base/frame_sink.h"
#include "base/protocol.h"
#include "base/settings.h"
#include "drivers/diag_store.h"
#include "drivers/keyword/d06_driver.h"
#include "shell/program_settings.h"

extern char** environ;

namespace heatdiag {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLatencyMs = 20;
constexpr double kBitsPerByte = 10.0;
constexpr double kBaud = 10400.0;
// The virtual heater's D06 unit.
constexpr const char* kScenario = "d06";
constexpr double kQuietLineS = 0.040;

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// heatsim in a child process, so that its CPU time is not counted; stopped with the object.
class HeaterProcess {
 public:
  HeaterProcess() {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string latency = std::to_string(kLatencyMs);
    const char* argv[] = {HEATSIM_PATH,    "--scenario",  kScenario, "--latency-ms",
                          latency.c_str(), "--line-rate", nullptr};
    if (posix_spawn(&pid_, HEATSIM_PATH, &actions, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (FILE* stream = fdopen(out[0], "r")) {
      char line[256] = {};
      if (std::fgets(line, sizeof line, stream) != nullptr) {
        path_ = line;
        while (!path_.empty() && (path_.back() == '\n' || path_.back() == '\r')) path_.pop_back();
      }
      output_ = stream;
    } else {
      close(out[0]);
    }
  }
  ~HeaterProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ != nullptr) std::fclose(output_);
  }
  HeaterProcess(const HeaterProcess&) = delete;
  HeaterProcess& operator=(const HeaterProcess&) = delete;
  const std::string& Path() const { return path_; }

 private:
  pid_t pid_ = -1;
  std::string path_;
  FILE* output_ = nullptr;
};

// Counts the exchanges from the protocol's telegram entries ("Tx: 82 51 F1 21 81 16 ").
class TelegramCounter : public ProtocolSink, public MessageTarget {
 public:
  struct Totals {
    std::uint64_t sent = 0;
    std::uint64_t sentBytes = 0;
    std::uint64_t receivedBytes = 0;
  };
  void Add(std::string_view text, int kind) override {
    const std::uint64_t bytes = text.size() >= 4 ? (text.size() - 4) / 3 : 0;
    std::lock_guard lock(mutex_);
    if (kind == kProtocolSent) {
      ++totals_.sent;
      totals_.sentBytes += bytes;
    } else if (kind == kProtocolReceived) {
      totals_.receivedBytes += bytes;
    }
  }
  void Post(std::uint32_t message, std::intptr_t, std::intptr_t) override {
    if (message != UM_DATAREADY) return;
    {
      std::lock_guard lock(mutex_);
      ready_ = true;
    }
    changed_.notify_all();
  }
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    Post(message, a, b);
  }
  bool WaitReady(std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return ready_; });
  }
  Totals Snapshot() {
    std::lock_guard lock(mutex_);
    return totals_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  Totals totals_;
  bool ready_ = false;
};

void BM_KeywordPollingAtLineRate(benchmark::State& state) {
  const char* window = std::getenv("HEATDIAG_BENCH_SECONDS");
  const int seconds = window != nullptr && std::atoi(window) > 0 ? std::atoi(window) : 60;
  for (auto _ : state) {
    HeaterProcess heater;
    if (heater.Path().empty()) {
      state.SkipWithError("heatsim did not start");
      return;
    }
    StoreStartup();
    MemorySettingsBackend settings;
    LoadSettings(settings);
    TelegramCounter counter;
    SetProtocolSink(&counter);
    StoreSubscribe(&counter, 0xFFFFFFFFu, 0);
    {
      d06::Driver driver;
      driver.SetPort(1, heater.Path());
      driver.Init();
      driver.StartSession();
      if (!counter.WaitReady(std::chrono::seconds(60))) {
        state.SkipWithError("the connection pass did not complete");
      } else {
        const auto before = counter.Snapshot();
        const auto start = Clock::now();
        const double cpuStart = CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double cpu = CpuSeconds() - cpuStart;
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const auto after = counter.Snapshot();
        const double exchanges = static_cast<double>(after.sent - before.sent);
        const double bytes = static_cast<double>(after.sentBytes - before.sentBytes +
                                                 after.receivedBytes - before.receivedBytes);
        const double least =
            bytes * kBitsPerByte / kBaud + exchanges * (kLatencyMs / 1000.0 + kQuietLineS);
        state.counters["telegrams_per_s"] = exchanges / elapsed;
        state.counters["ms_per_exchange"] = 1000.0 * elapsed / exchanges;
        state.counters["least_ms_per_exchange"] = 1000.0 * least / exchanges;
        state.counters["ratio"] = elapsed / least;
        state.counters["cpu_s_per_min"] = cpu / elapsed * 60.0;
      }
      driver.StopSession();
      driver.Shutdown();
    }
    StoreUnsubscribe(&counter);
    SetProtocolSink(nullptr);
    StoreShutdown();
  }
}

BENCHMARK(BM_KeywordPollingAtLineRate)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace heatdiag

BENCHMARK_MAIN();
