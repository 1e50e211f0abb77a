#include "cli/report.h"

#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/frame_sink.h"
#include "base/string_table.h"
#include "cli/interrupt_watch.h"
#include "cli/subcommand.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"
#include "link/serial_port.h"
#include "report/summary.h"

namespace heatdiag::cli {
namespace {

constexpr std::uint32_t kVirtualHeaterDevice = 0;  // the virtual heater is an H-Bus unit

}  // namespace

std::optional<std::uint32_t> ChooseRunDevice(const std::string& device, bool virtualHeater,
                                             std::ostream& err) {
  if (!device.empty()) {
    const std::optional<std::uint32_t> index = ParseDeviceId(device);
    if (!index) err << "Unknown device \"" << device << "\" (D00 to D18).\n";
    return index;
  }
  if (virtualHeater) return kVirtualHeaterDevice;
  const std::int32_t last = ProgramSettings().lastDevice;
  if (last < 0 || last >= static_cast<std::int32_t>(kDeviceCount)) {
    err << "No device has been diagnosed yet (setting LastDevice " << last
        << "): give --device D00 to D18.\n";
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(last);
}

int RunReport(const ReportOptions& options, SettingsBackend* store, std::ostream& out,
              std::ostream& err) {
  if (options.out.empty()) {
    err << "--out FILE is required.\n";
    return kExitUsage;
  }
  if (!options.device.empty() && !ParseDeviceId(options.device)) {
    err << "Unknown device \"" << options.device << "\" (D00 to D18).\n";
    return kExitUsage;
  }
  HeadlessRun run(store, err);
  if (!run.ChooseLine(options)) return kExitUsage;
  const std::optional<std::uint32_t> device =
      ChooseRunDevice(options.device, options.virtualHeater, err);
  if (!device) return kExitUsage;
  if (!run.Start()) return kExitUsage;

  HeadlessFrame& frame = run.Frame();
  InterruptWatch interrupt([&frame] { frame.Interrupt(); });
  SelectDevice(*device);
  StartDiagnosis();
  const bool complete =
      frame.WaitForConnection(options.connectionLimit) == HeadlessFrame::Outcome::kDataReady &&
      SelectedSessionActive() && StoreIsDataValid();
  std::string summary;
  bool written = false;
  if (complete) {
    summary = BuildSummary(options.description);
    written = WriteSummaryFile(options.out, summary, std::time(nullptr));
    if (!written) frame.Note(FormatText(LoadString(kTextCannotCreateFile, 255), options.out));
  } else {
    frame.Note("The connection pass did not complete: no summary was written.");
  }
  run.Finish();
  if (options.json) {
    nlohmann::ordered_json result;
    result["device"] = DeviceId(*device);
    result["name"] = DeviceName(*device);
    result["port"] = PortName(run.PortNumber());
    result["path"] = run.DevicePath();
    result["complete"] = complete;
    result["file"] = options.out;
    result["written"] = written;
    result["summary"] = summary;
    result["errors"] = frame.Errors();
    out << result.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  } else if (written) {
    out << "Summary written to " << options.out << '\n';
  }
  return written ? kExitOk : kExitFailed;
}

Subcommand AddReportCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<ReportOptions>();
  CLI::App* command = app.add_subcommand(
      "report", "Run a diagnosis until the data are complete and write the summary file");
  command->add_option("--device", options->device,
                      "Device D00..D18 (default: the device diagnosed last)");
  const std::function<void()> completeLine = AddLineOptions(*command, *options);
  command->add_option("--out", options->out, "The summary file to write")->required();
  command->add_option("--description", options->description,
                      "Free text at the top of the summary (at most 1023 characters)");
  command->add_flag("--json", options->json, "One JSON object on standard output");
  return {command, [options, completeLine, &store](std::ostream& out, std::ostream& err) {
            completeLine();
            return RunReport(*options, &store, out, err);
          }};
}

}  // namespace heatdiag::cli
