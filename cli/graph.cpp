#include "cli/graph.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>
#include <vector>

#include "cli/headless_frame.h"
#include "cli/interrupt_watch.h"
#include "cli/subcommand.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"
#include "link/serial_port.h"
#include "views/trend_channels.h"
#include "views/trend_csv.h"

namespace heatdiag::cli {
namespace {

constexpr std::uint32_t kVirtualHeaterDevice = 0;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Samples the channels as the graph's view does, until the time is up or the link ends; false
// when it ended early.
bool Sample(HeadlessFrame& frame, const std::vector<std::uint32_t>& items, TrendBuffer& buffer,
            std::uint32_t device, int seconds, std::int64_t& newestMs) {
  const std::optional<std::uint32_t> stateItem = OperatingStateItem(device);
  std::string lastState;
  const auto period = std::chrono::milliseconds(kTrendSamplePeriodMs);
  const auto start = std::chrono::steady_clock::now();
  const long long ticks = static_cast<long long>(seconds) * 1000 / kTrendSamplePeriodMs;
  for (long long tick = 1; tick <= ticks; ++tick) {
    // Absolute deadlines, so that the samples keep their 500 ms spacing.
    const auto wait = start + tick * period - std::chrono::steady_clock::now();
    if (wait > std::chrono::milliseconds(0) &&
        !frame.KeepPolling(std::chrono::duration_cast<std::chrono::milliseconds>(wait)))
      return false;
    for (std::uint32_t k = 0; k < items.size(); ++k)
      buffer.AddSample(k, ReadTrendSample(items[k]), static_cast<int>(kTrendBufferLength));
    newestMs = NowMs();
    if (!stateItem || StoreGetPresent(*stateItem) == 0 || StoreGetShown(*stateItem) == 0) continue;
    std::string state = StoreReadText(*stateItem);
    if (state.empty() || state == lastState) continue;
    lastState = state;
    std::string shortName = ShortStateName(state, DriverStateTable(device));
    buffer.AddMarker(std::move(shortName), std::move(state));
  }
  return true;
}

int Graph(const GraphOptions& options, SettingsBackend* store, std::ostream& out,
          std::ostream& err) {
  std::optional<std::uint32_t> device;
  if (!options.device.empty()) {
    device = ParseDeviceId(options.device);
    if (!device) {
      err << "Unknown device \"" << options.device << "\" (D00 to D18).\n";
      return kExitUsage;
    }
  }
  if (options.seconds < 1 || options.seconds > 3600) {
    err << "--seconds must be 1 to 3600 (the graph keeps one hour).\n";
    return kExitUsage;
  }
  if (options.json && options.csv.empty()) {
    err << "--json needs --csv FILE (the CSV itself would share standard output).\n";
    return kExitUsage;
  }
  HeadlessRun run(store, err);
  if (!run.ChooseLine(options)) return kExitUsage;
  if (!device && options.virtualHeater) device = kVirtualHeaterDevice;
  if (!device) {
    const std::int32_t last = ProgramSettings().lastDevice;
    if (last < 0 || last >= static_cast<std::int32_t>(kDeviceCount)) {
      err << "No device has been diagnosed yet (setting LastDevice " << last
          << "): give --device D00 to D18.\n";
      return kExitUsage;
    }
    device = static_cast<std::uint32_t>(last);
  }
  if (!run.Start()) return kExitUsage;

  HeadlessFrame& frame = run.Frame();
  InterruptWatch interrupt([&frame] { frame.Interrupt(); });
  SelectDevice(*device);
  StartDiagnosis();
  if (frame.WaitForConnection(options.connectionLimit) != HeadlessFrame::Outcome::kDataReady) {
    frame.Note("The connection pass did not complete: no samples taken.");
    run.Finish();
    return kExitFailed;
  }
  const std::vector<std::uint32_t> items = CollectTrendItems();
  TrendBuffer buffer;
  std::int64_t newestMs = 0;
  bool whole = true;
  if (!items.empty() && buffer.Configure(BuildTrendConfig(items)))
    whole = Sample(frame, items, buffer, *device, options.seconds, newestMs);
  run.Finish();
  if (items.empty()) frame.Note("The device delivers no values for the graph.");
  if (!whole) frame.Note("Sampling ended early; the samples taken are written.");
  const int status = whole ? kExitOk : kExitFailed;

  const std::uint32_t samples = buffer.Count(0);
  if (options.csv.empty()) {
    out << TrendCsvText(buffer, 0, samples, newestMs);
    return status;
  }
  std::string error;
  if (!WriteTrendCsv(options.csv, buffer, 0, samples, newestMs, &error)) {
    err << "Cannot write " << options.csv << ": " << error << "\n";
    return kExitFailed;
  }
  if (options.json) {
    nlohmann::ordered_json result;
    result["device"] = DeviceId(*device);
    result["file"] = options.csv;
    result["samples"] = samples;
    result["channels"] = nlohmann::ordered_json::array();
    for (std::uint32_t k = 0; k < buffer.ChannelCount(); ++k)
      result["channels"].push_back(
          {{"name", buffer.Config().name[k]}, {"unit", buffer.Config().unit[k]}});
    result["markers"] = nlohmann::ordered_json::array();
    for (const TrendMarker& marker : buffer.Markers())
      result["markers"].push_back({{"sample", marker.sample - buffer.FirstKept()},
                                   {"state", marker.shortName},
                                   {"text", marker.text}});
    out << result.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  } else {
    out << samples << " samples of " << buffer.ChannelCount() << " channels written to "
        << options.csv << "\n";
  }
  return status;
}

}  // namespace

int RunGraph(const GraphOptions& options, SettingsBackend& store, std::ostream& out,
             std::ostream& err) {
  return Graph(options, &store, out, err);
}

int RunGraph(const GraphOptions& options, std::ostream& out, std::ostream& err) {
  return Graph(options, nullptr, out, err);
}

Subcommand AddGraphCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<GraphOptions>();
  CLI::App* command = app.add_subcommand(
      "graph", "Run a diagnosis and record the actual values graph's channels as CSV");
  command->add_option("--device", options->device,
                      "Device D00..D18 (default: the device diagnosed last)");
  const std::function<void()> completeLine = AddLineOptions(*command, *options);
  command->add_option("--seconds", options->seconds, "Seconds of sampling every 500 ms (1..3600)")
      ->capture_default_str();
  command->add_option("--csv", options->csv, "CSV file to write (default: standard output)");
  command->add_flag("--json", options->json, "A JSON summary on standard output (with --csv)");
  return {command, [options, completeLine, &store](std::ostream& out, std::ostream& err) {
            completeLine();
            return RunGraph(*options, store, out, err);
          }};
}

}  // namespace heatdiag::cli
