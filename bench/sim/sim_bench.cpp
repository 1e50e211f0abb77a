// What the virtual heater costs: answering one request, running the model, and a whole
// exchange through the pseudo-terminal with and without the line's byte timing.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "control_unit.h"
#include "heater_model.h"
#include "virtual_heater.h"

namespace {

using heatsim::Bytes;

Bytes Request(std::initializer_list<std::uint8_t> payload) {
  Bytes t;
  t.reserve(payload.size() + 3);
  t.push_back(0xF4);
  t.push_back(static_cast<std::uint8_t>(payload.size() + 1));
  for (const std::uint8_t b : payload) t.push_back(b);
  t.push_back(heatsim::Xor(t));
  return t;
}

heatsim::Scenario Demo() {
  heatsim::Scenario s;
  std::string error;
  heatsim::LoadScenario("v3.2", "", &s, &error);
  return s;
}

void BM_AnswerMeasuredValues(benchmark::State& state) {
  std::int64_t ms = 0;
  heatsim::ControlUnit unit(Demo(), [&ms] { return std::chrono::milliseconds(ms); });
  const Bytes request = Request({0x50, 0x05});
  for (auto _ : state) {
    ms += 50;  // the tester's pace: one request per exchange
    benchmark::DoNotOptimize(unit.OnTelegram(request));
  }
}
BENCHMARK(BM_AnswerMeasuredValues);

void BM_ModelOneHourOfHeating(benchmark::State& state) {
  for (auto _ : state) {
    heatsim::HeaterModel model(Demo(), std::chrono::milliseconds(0));
    model.StartMode(0x20, 120);
    for (int s = 10; s <= 3600; s += 10) {
      model.AdvanceTo(std::chrono::seconds(s));
      model.KeepAlive(0x20);
    }
    benchmark::DoNotOptimize(model.TemperatureC());
  }
}
BENCHMARK(BM_ModelOneHourOfHeating)->Unit(benchmark::kMillisecond);

// Request written, echo and answer read back, as the tester's transport does it.
void Exchange(benchmark::State& state, bool lineRate) {
  heatsim::VirtualHeaterOptions options;
  options.latencyMs = 0;
  options.lineRate = lineRate;
  std::string error;
  const auto heater = heatsim::VirtualHeater::Start(options, &error);
  if (!heater) {
    state.SkipWithError(error.c_str());
    return;
  }
  const int fd = open(heater->PtyPath().c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  const Bytes request = Request({0x51, 0x0A});
  const std::size_t expected = request.size() + 6;
  for (auto _ : state) {
    if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
      state.SkipWithError("write failed");
      break;
    }
    std::size_t got = 0;
    std::uint8_t buffer[64];
    while (got < expected) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 2000) <= 0) break;
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got != expected) {
      state.SkipWithError("short exchange");
      break;
    }
  }
  close(fd);
  state.SetItemsProcessed(state.iterations());
}

void BM_PtyExchange(benchmark::State& state) {
  Exchange(state, false);
}
BENCHMARK(BM_PtyExchange)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Eleven characters at 2400 baud: 50.4 ms on the real line.
void BM_PtyExchangeAtLineRate(benchmark::State& state) {
  Exchange(state, true);
}
BENCHMARK(BM_PtyExchangeAtLineRate)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

}  // namespace

BENCHMARK_MAIN();
