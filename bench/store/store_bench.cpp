// Store throughput: writes from the link thread, reads from the GUI thread, notifications to a
// subscribed window, on the H-Bus catalogue.
//
//   build-store/bench/store/store_bench --benchmark_min_time=1
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kTemperatureRow = 30;  // int
constexpr std::uint32_t kVoltageRow = 31;      // real, step 0.01
constexpr std::uint32_t kDeviceNameRow = 1;    // text

// A window's message queue, as the GUI's event queue would hold the posts.
class QueueTarget : public MessageTarget {
 public:
  void Post(std::uint32_t message, std::intptr_t a, std::intptr_t) override {
    std::lock_guard lock(mutex_);
    queue_.push_back({message, a});
  }
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    Post(message, a, b);
  }
  // Takes the queued messages; returns how many.
  std::size_t Drain(std::deque<std::pair<std::uint32_t, std::intptr_t>>& into) {
    std::lock_guard lock(mutex_);
    into.swap(queue_);
    queue_.clear();
    return into.size();
  }

 private:
  std::mutex mutex_;
  std::deque<std::pair<std::uint32_t, std::intptr_t>> queue_;
};

class Session {
 public:
  explicit Session(MessageTarget* subscriber) : subscriber_(subscriber) {
    StoreStartup();
    if (subscriber_ != nullptr) StoreSubscribe(subscriber_, 0xFFFFFFFF, 0);
    StoreInit(DriverCatalogue(0));
  }
  ~Session() {
    StoreRelease();
    if (subscriber_ != nullptr) StoreUnsubscribe(subscriber_);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

 private:
  MessageTarget* subscriber_;
};

// A write that changes the value: converts, widens, compares and posts one notification.
void BM_WriteChanging(benchmark::State& state) {
  QueueTarget window;
  Session session(&window);
  std::deque<std::pair<std::uint32_t, std::intptr_t>> drained;
  double volts = 12.0;
  for (auto _ : state) {
    volts = volts > 14.0 ? 12.0 : volts + 0.01;
    benchmark::DoNotOptimize(StoreWrite(kVoltageRow, kStoreDouble, 0, &volts));
    if (window.Drain(drained) > 4096) drained.clear();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteChanging);

// The continuous poll rewrites mostly unchanged values: nothing is posted.
void BM_WriteUnchanged(benchmark::State& state) {
  QueueTarget window;
  Session session(&window);
  const std::uint8_t wire[2] = {0x00, 0x46};  // big-endian, as it comes off the bus
  for (auto _ : state)
    benchmark::DoNotOptimize(StoreWrite(kTemperatureRow, kStoreU16 | kStoreBigEndian, 0, wire));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteUnchanged);

void BM_WriteText(benchmark::State& state) {
  Session session(nullptr);
  for (auto _ : state) benchmark::DoNotOptimize(StoreWriteText(kDeviceNameRow, "D5WSC"));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteText);

// The views read display text: a real value is formatted with its resolution.
void BM_ReadDisplayText(benchmark::State& state) {
  Session session(nullptr);
  const double volts = 12.34;
  StoreWrite(kVoltageRow, kStoreDouble, 0, &volts);
  char text[32];
  for (auto _ : state) benchmark::DoNotOptimize(StoreRead(kVoltageRow, kStoreText, 32, text));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadDisplayText);

void BM_ReadNumber(benchmark::State& state) {
  Session session(nullptr);
  std::int32_t value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(StoreRead(kTemperatureRow, kStoreS32, 0, &value));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadNumber);

// The whole picture: this thread writes changing values as the link thread does; a second
// thread stands in for the GUI, taking the subscriber's messages and reading the display text
// of each changed row, and in between reading the voltage as the graph does.
void BM_WriterWithGuiReader(benchmark::State& state) {
  QueueTarget window;
  Session session(&window);
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> reads{0};
  std::atomic<std::uint64_t> notifications{0};
  std::thread gui([&] {
    std::deque<std::pair<std::uint32_t, std::intptr_t>> drained;
    char text[80];
    std::uint64_t n = 0;
    std::uint64_t seen = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      window.Drain(drained);
      for (const auto& [message, row] : drained) {
        ++seen;
        if (message == UM_VALUECHANGED)
          StoreRead(static_cast<std::uint32_t>(row), kStoreText, sizeof text, text);
        ++n;
      }
      double graph = 0;
      StoreRead(kVoltageRow, kStoreDouble, 0, &graph);
      ++n;
    }
    reads.store(n);
    notifications.store(seen);
  });
  double volts = 12.0;
  std::int32_t temperature = 0;
  for (auto _ : state) {
    volts = volts > 14.0 ? 12.0 : volts + 0.01;
    temperature = (temperature + 1) % 100;
    StoreWrite(kVoltageRow, kStoreDouble, 0, &volts);
    StoreWrite(kTemperatureRow, kStoreS32, 0, &temperature);
  }
  stop.store(true);
  gui.join();
  state.SetItemsProcessed(state.iterations() * 2);
  state.counters["gui_reads"] =
      benchmark::Counter(static_cast<double>(reads.load()), benchmark::Counter::kIsRate);
  state.counters["notifications"] =
      benchmark::Counter(static_cast<double>(notifications.load()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriterWithGuiReader)->UseRealTime();

}  // namespace
}  // namespace heatdiag

BENCHMARK_MAIN();
