#include "cli/log_command.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "cli/headless_frame.h"
#include "cli/interrupt_watch.h"
#include "cli/subcommand.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"
#include "views/measurement_log.h"

namespace heatdiag::cli {
namespace {

constexpr std::uint32_t kVirtualHeaterDevice = 0;
constexpr int kMaxInterval = 86400;
// The first line follows the connection at the log's next tick.
constexpr std::chrono::seconds kFirstLineLimit{10};
constexpr std::chrono::milliseconds kSlice{MeasurementLog::kTickMs};

}  // namespace

int RunLog(const LogOptions& options, SettingsBackend* store, std::ostream& out,
           std::ostream& err) {
  std::optional<std::uint32_t> device;
  if (!options.device.empty()) {
    device = ParseDeviceId(options.device);
    if (!device) {
      err << "Unknown device \"" << options.device << "\" (D00 to D18).\n";
      return kExitUsage;
    }
  }
  if (options.out.empty()) {
    err << "Give the measurement protocol file with --out.\n";
    return kExitUsage;
  }
  if (options.interval && (*options.interval < 1 || *options.interval > kMaxInterval)) {
    err << "--interval must be 1 to " << kMaxInterval << " seconds.\n";
    return kExitUsage;
  }
  if (options.seconds && *options.seconds < 0) {
    err << "--seconds must not be negative.\n";
    return kExitUsage;
  }
  if (!CanAppendTo(options.out)) {
    err << "The file \"" << options.out << "\" cannot be written.\n";
    return kExitUsage;
  }
  HeadlessRun run(store, err);
  if (!run.ChooseLine(options)) return kExitUsage;
  if (!device && options.virtualHeater) device = kVirtualHeaterDevice;
  if (!device) {
    const std::int32_t last = ProgramSettings().lastDevice;
    if (last < 0 || last >= static_cast<std::int32_t>(kDeviceCount)) {
      err << "No device has been diagnosed yet: give --device D00 to D18.\n";
      return kExitUsage;
    }
    device = static_cast<std::uint32_t>(last);
  }
  const std::int32_t stored = ProgramSettings().protoTime;
  const int interval = options.interval.value_or(stored > 0 ? stored : 10);
  if (!run.Start()) return kExitUsage;

  HeadlessFrame& frame = run.Frame();
  InterruptWatch interrupt([&frame] { frame.Interrupt(); });
  SelectDevice(*device);
  StartDiagnosis();
  const bool complete =
      frame.WaitForConnection(options.connectionLimit) == HeadlessFrame::Outcome::kDataReady;
  MeasurementLog log;
  std::vector<std::string> columns;
  if (complete) {
    log.StartThread();
    log.Start(options.out, interval);
    log.WaitForLines(1, kFirstLineLimit);
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds.value_or(0));
    while (log.Running() && (!options.seconds || std::chrono::steady_clock::now() < end)) {
      if (!frame.KeepPolling(kSlice)) break;  // the link ended or Ctrl-C
    }
    log.Stop();
    log.StopThread();
    for (const std::uint32_t row : log.Stats().columns)
      columns.push_back(StoreGetName(row, NameForm::kLong));
  } else {
    frame.Note("The connection pass did not complete: nothing was logged.");
  }
  const MeasurementLog::Counts counts = log.Stats();
  run.Finish();
  if (counts.switchedOff) err << "The device delivers no value for the measurement protocol.\n";
  if (counts.lost > 0) err << counts.lost << " line(s) could not be written.\n";
  const bool ok = complete && counts.lines > 0 && !counts.switchedOff;
  if (options.json) {
    nlohmann::ordered_json result;
    result["device"] = DeviceId(*device);
    result["file"] = options.out;
    result["interval"] = interval;
    result["complete"] = complete;
    result["columns"] = columns;
    result["headers"] = counts.headers;
    result["lines"] = counts.lines;
    result["lost"] = counts.lost;
    result["errors"] = frame.Errors();
    out << result.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  } else {
    out << counts.lines << " line(s) written to " << options.out << '\n';
  }
  return ok ? kExitOk : kExitFailed;
}

Subcommand AddLogCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<LogOptions>();
  auto interval = std::make_shared<int>(0);
  auto seconds = std::make_shared<int>(0);
  CLI::App* command = app.add_subcommand(
      "log", "Run a diagnosis and write the measurement protocol (tab-separated values)");
  command->add_option("--device", options->device,
                      "Device D00..D18 (default: the device diagnosed last)");
  const std::function<void()> completeLine = AddLineOptions(*command, *options);
  command->add_option("--out", options->out, "Measurement protocol file (appended)")->required();
  CLI::Option* intervalOption = command->add_option(
      "--interval", *interval, "Seconds between lines (default: the setting ProtoTime)");
  CLI::Option* secondsOption = command->add_option(
      "--seconds", *seconds, "Seconds of logging (default: until Ctrl-C or the link ends)");
  command->add_flag("--json", options->json, "One JSON object on standard output");
  return {command, [=, &store](std::ostream& out, std::ostream& err) {
            completeLine();
            if (intervalOption->count() > 0) options->interval = *interval;
            if (secondsOption->count() > 0) options->seconds = *seconds;
            return RunLog(*options, &store, out, err);
          }};
}

}  // namespace heatdiag::cli
