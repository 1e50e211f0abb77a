// Reading and writing a 512-byte dataset against the virtual heater in a child process (heatsim
// --line-rate: every byte paced at its line time, no reply latency), cell by cell at 2400 baud
// and in block mode at 9600 and 19200 baud: how close the transfer comes to what the line
// allows.
//
// Reported:
//   seconds        the ReadDataset / WriteDataset call;
//   ms_per_cell    the same per cell;
//   least_s        the least the line allows: per cell the request and reply bytes at 11 bits
//                  each (cell mode: 6 + 7 bytes reading, 7 + 7 writing, at 2400 baud, plus the
//                  40 ms of quiet line the bus needs before each telegram; block mode: 3 + 4
//                  bytes reading, 4 + 4 writing, at the block rate), plus in block mode the
//                  switch telegram at 2400 baud with its quiet line, one page selection, the
//                  50 ms pause the unit is given before the end frame, and the end frame;
//   ratio          seconds / least_s (the target is at most 1.05);
//   walk_ratio     the cell walk alone: the time from the first to the last cell the driver
//                  reports, over the line time of the cells between them. Unlike the whole call
//                  it leaves out waiting for the poll telegram in flight when the request came.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/frame_sink.h"
#include "base/settings.h"
#include "dataset/dataset_image.h"
#include "drivers/diag_store.h"
#include "drivers/hbus/hbus_driver.h"
#include "shell/program_settings.h"

extern char** environ;

namespace heatdiag {
namespace {

using Clock = std::chrono::steady_clock;

constexpr double kBitsPerByte = 11.0;
constexpr double kHBusBaud = 2400.0;
constexpr double kQuietLineS = 0.040;
constexpr double kBlockEndPauseS = 0.050;
constexpr std::uint16_t kCells = 512;

class HeaterProcess {
 public:
  HeaterProcess() {
    scenario_ = std::filesystem::temp_directory_path() /
                ("dataset_bench_" + std::to_string(getpid()) + ".json");
    std::ofstream(scenario_) << R"({"version": "3.2", "eeprom": {"size": 512, "start": 0,
        "checksumEnd": 0, "checksumAddress": 0}})";
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string scenario = scenario_.string();
    const char* argv[] = {HEATSIM_PATH, "--scenario",  scenario.c_str(), "--latency-ms",
                          "0",          "--line-rate", nullptr};
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
    std::filesystem::remove(scenario_);
  }
  HeaterProcess(const HeaterProcess&) = delete;
  HeaterProcess& operator=(const HeaterProcess&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::filesystem::path scenario_;
  pid_t pid_ = -1;
  std::string path_;
  FILE* output_ = nullptr;
};

class ReadyWatch : public MessageTarget {
 public:
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
  bool Wait(std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return ready_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool ready_ = false;
};

double Bytes(double n, double baud) {
  return n * kBitsPerByte / baud;
}

// The least the line allows for the whole dataset.
double LeastSeconds(int baud, bool write) {
  if (baud == 0) {
    const double perCell = Bytes(write ? 14 : 13, kHBusBaud) + kQuietLineS;
    return kCells * perCell;
  }
  const double perCell = Bytes(write ? 8 : 7, baud);
  const double setup = Bytes(6 + 5, kHBusBaud) + kQuietLineS;  // 34 bb pp and its answer
  const double page = Bytes(3 + 3, baud);                      // 05 01
  const double end = Bytes(2 + 3, baud) + kBlockEndPauseS;     // 09 and its answer
  return kCells * perCell + setup + page + end;
}

double LeastSecondsPerCell(int baud, bool write) {
  if (baud == 0) return Bytes(write ? 14 : 13, kHBusBaud) + kQuietLineS;
  return Bytes(write ? 8 : 7, baud);
}

// Notes when the driver reports the first and the last cell of the walk.
class WalkWatch {
 public:
  explicit WalkWatch(std::atomic<std::uint32_t>& current) : current_(current) {
    thread_ = std::thread([this] { Run(); });
  }
  ~WalkWatch() {
    done_.store(true);
    thread_.join();
  }
  WalkWatch(const WalkWatch&) = delete;
  WalkWatch& operator=(const WalkWatch&) = delete;
  // Seconds from the first to the last cell, and the cells in between; 0 when not seen.
  double Seconds() const { return std::chrono::duration<double>(last_ - first_).count(); }
  std::uint32_t Cells() const { return lastCell_ - firstCell_; }

 private:
  void Run() {
    bool seenFirst = false;
    std::uint32_t seen = kNone;
    while (!done_.load()) {
      const std::uint32_t now = current_.load();
      if (now != seen) {
        const auto at = Clock::now();
        if (!seenFirst) {
          seenFirst = true;
          first_ = at;
          firstCell_ = now;
        }
        last_ = at;
        lastCell_ = now;
        seen = now;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }

  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  std::atomic<std::uint32_t>& current_;
  std::atomic<bool> done_{false};
  Clock::time_point first_{};
  Clock::time_point last_{};
  std::uint32_t firstCell_ = 0;
  std::uint32_t lastCell_ = 0;
  std::thread thread_;
};

// Argument: the block rate, 0 for cell by cell.
void Transfer(benchmark::State& state, bool write) {
  const int baud = static_cast<int>(state.range(0));
  for (auto _ : state) {
    HeaterProcess heater;
    if (heater.Path().empty()) {
      state.SkipWithError("heatsim did not start");
      return;
    }
    StoreStartup();
    MemorySettingsBackend settings;
    LoadSettings(settings);
    ProgramSettings().hbusBlock = baud != 0 ? 1 : 0;
    ProgramSettings().hbusBlockBaud = baud != 0 ? baud : 9600;
    ReadyWatch ready;
    SetFrameTarget(&ready);
    StoreSubscribe(&ready, 0xFFFFFFFFu, 0);
    {
      hbus::Driver driver;
      driver.SetPort(1, heater.Path());
      driver.Init();
      driver.StartSession();
      if (!ready.Wait(std::chrono::seconds(60))) {
        state.SkipWithError("the connection pass did not complete");
      } else {
        std::vector<DatasetCell> cells(kCells);
        for (std::uint16_t a = 0; a < kCells; ++a) {
          cells[a].value = static_cast<std::uint8_t>(a * 13);
          cells[a].flags = write ? (CELL_WRITE | CELL_CHANGED) : CELL_READ;
        }
        std::atomic<std::uint32_t> current{0xFFFFFFFFu};
        DatasetRequest request{0, kCells, cells.data(), &current};
        double seconds = 0;
        double walkSeconds = 0;
        std::uint32_t walkCells = 0;
        int ok = 0;
        {
          WalkWatch walk(current);
          const auto start = Clock::now();
          ok = write ? driver.WriteDataset(&request) : driver.ReadDataset(&request);
          seconds = std::chrono::duration<double>(Clock::now() - start).count();
          walkSeconds = walk.Seconds();
          walkCells = walk.Cells();
        }
        if (ok == 0) state.SkipWithError("the transfer failed");
        const double least = LeastSeconds(baud, write);
        state.counters["seconds"] = seconds;
        state.counters["ms_per_cell"] = 1000.0 * seconds / kCells;
        state.counters["least_s"] = least;
        state.counters["ratio"] = seconds / least;
        if (walkCells > 0)
          state.counters["walk_ratio"] =
              walkSeconds / (walkCells * LeastSecondsPerCell(baud, write));
      }
      driver.StopSession();
      driver.Shutdown();
    }
    StoreUnsubscribe(&ready);
    SetFrameTarget(nullptr);
    StoreShutdown();
  }
}

void BM_ReadDataset(benchmark::State& state) {
  Transfer(state, false);
}
void BM_WriteDataset(benchmark::State& state) {
  Transfer(state, true);
}

BENCHMARK(BM_ReadDataset)
    ->Arg(0)
    ->Arg(9600)
    ->Arg(19200)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_WriteDataset)
    ->Arg(0)
    ->Arg(9600)
    ->Arg(19200)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace heatdiag

BENCHMARK_MAIN();
