// The Actual values graph: a full redraw of 20 channels with an hour of samples each into a
// 1200 x 800 view, split and overlaid, as the redraw timer does it (a fresh off-screen image,
// then every curve, label and marker); adding one sample to each channel; and the memory the
// drawing child holds after an hour.
//
//   QT_QPA_PLATFORM=offscreen build/bench/graph/graph_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>

#include "views/gui/trend_draw.h"
#include "views/trend_buffer.h"

namespace heatdiag {
namespace {

constexpr QSize kViewSize(1200, 800);
constexpr std::uint32_t kAllChannels = (1U << kTrendMaxChannels) - 1U;

QApplication& App() {
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "graph_bench";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Twenty channels, each a full hour of a wandering value, with a state change every minute.
std::unique_ptr<TrendBuffer> FullBuffer(int plotWidth) {
  auto buffer = std::make_unique<TrendBuffer>();
  TrendConfig config;
  config.channelCount = kTrendMaxChannels;
  for (std::uint32_t k = 0; k < kTrendMaxChannels; ++k) {
    config.lower[k] = 0;
    config.upper[k] = 100;
    config.third[k] = 0.01;
    config.name[k] = "Channel " + std::to_string(k);
    config.unit[k] = "[V]";
  }
  buffer->Configure(config);
  for (std::uint32_t i = 0; i < kTrendBufferLength; ++i) {
    for (std::uint32_t k = 0; k < kTrendMaxChannels; ++k)
      buffer->AddSample(k, 50 + 40 * std::sin(i * 0.01 + k), plotWidth);
    if (i % 120 == 0) buffer->AddMarker("VGL" + std::to_string(i / 120), "Glowing");
  }
  return buffer;
}

void Redraw(benchmark::State& state, bool split) {
  App();
  const auto buffer = FullBuffer(kViewSize.width() - 51);
  TrendDrawOptions options;
  options.split = split;
  options.shownMask = kAllChannels;
  for (auto _ : state) {
    QImage image(kViewSize, QImage::Format_RGB32);
    QPainter painter(&image);
    DrawTrend(painter, kViewSize, *buffer, options);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}

void BM_RedrawSplit(benchmark::State& state) {
  Redraw(state, true);
}
BENCHMARK(BM_RedrawSplit)->Unit(benchmark::kMillisecond);

void BM_RedrawOverlaid(benchmark::State& state) {
  Redraw(state, false);
}
BENCHMARK(BM_RedrawOverlaid)->Unit(benchmark::kMillisecond);

// One sampling tick's worth of samples on a full ring (the costliest case: overwriting and
// dropping markers).
void BM_AddSampleToEachChannel(benchmark::State& state) {
  const auto buffer = FullBuffer(1149);
  double value = 0;
  for (auto _ : state) {
    for (std::uint32_t k = 0; k < kTrendMaxChannels; ++k) buffer->AddSample(k, value, 1149);
    value += 0.5;
  }
  state.SetItemsProcessed(state.iterations() * kTrendMaxChannels);
}
BENCHMARK(BM_AddSampleToEachChannel);

// The memory after an hour: the sample buffer with its markers, and the off-screen image.
void BM_MemoryAfterOneHour(benchmark::State& state) {
  const auto buffer = FullBuffer(1149);
  for (auto _ : state) benchmark::DoNotOptimize(buffer->MemoryBytes());
  const double image = static_cast<double>(kViewSize.width()) * kViewSize.height() * 4;
  state.counters["buffer_bytes"] = static_cast<double>(buffer->MemoryBytes());
  state.counters["image_bytes"] = image;
  state.counters["total_MiB"] = (static_cast<double>(buffer->MemoryBytes()) + image) / 1048576.0;
}
BENCHMARK(BM_MemoryAfterOneHour)->Iterations(1);

}  // namespace
}  // namespace heatdiag

BENCHMARK_MAIN();
