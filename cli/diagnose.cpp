#include "cli/diagnose.h"

#include <algorithm>
#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "base/settings.h"
#include "cli/fault_output.h"
#include "cli/headless_frame.h"
#include "cli/interrupt_watch.h"
#include "cli/subcommand.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"
#include "link/serial_port.h"
#include "views/fault_list.h"

namespace heatdiag::cli {
namespace {

// The list views show at most this much of a value.
constexpr std::size_t kValueChars = 63;
// The virtual heater's units: an H-Bus control unit, and the keyword-link water heater.
constexpr std::uint32_t kVirtualHeaterDevice = 0;
constexpr std::uint32_t kVirtualKeywordDevice = 6;

struct RowResult {
  std::uint32_t row;
  std::string name;
  std::string shortName;
  std::string value;
  std::string unit;
  bool present;
  bool shown;
  std::string shownValue;  // the table's value: fault codes and states by their texts
};

std::vector<RowResult> CollectRows(std::uint32_t device) {
  std::vector<RowResult> rows;
  const ParameterCatalogue catalogue = DriverCatalogue(device);
  for (std::uint32_t row = 0; row < catalogue.size(); ++row) {
    RowResult result{row,
                     ParameterName(catalogue, row, NameForm::kLong),
                     ParameterName(catalogue, row, NameForm::kShort),
                     {},
                     ParameterUnit(catalogue, row),
                     StoreGetPresent(row) != 0,
                     StoreGetShown(row) != 0,
                     {}};
    if (result.present && result.shown) result.value = StoreReadText(row).substr(0, kValueChars);
    result.shownValue = result.value;
    if (StoreRowInGroup(row, kFaultCodeCategory | kFaultStateCategory) != 0)
      result.shownValue = FaultValueText(row).value_or(result.value);
    rows.push_back(std::move(result));
  }
  return rows;
}

void PrintJson(std::ostream& out, std::uint32_t device, bool complete,
               const std::vector<RowResult>& rows, const nlohmann::ordered_json& faults,
               HeadlessRun& run) {
  const HeadlessFrame& frame = run.Frame();
  nlohmann::ordered_json result;
  result["device"] = DeviceId(device);
  result["name"] = DeviceName(device);
  result["port"] = PortName(run.PortNumber());
  result["path"] = run.DevicePath();
  result["complete"] = complete;
  result["rows"] = nlohmann::ordered_json::array();
  for (const RowResult& row : rows) {
    result["rows"].push_back({{"row", row.row},
                              {"name", row.name},
                              {"short", row.shortName},
                              {"value", row.value},
                              {"unit", row.unit},
                              {"present", row.present},
                              {"shown", row.shown}});
  }
  result["faults"] = faults;
  result["errors"] = frame.Errors();
  result["protocol"] = nlohmann::ordered_json::array();
  for (const ProtocolEntry& entry : frame.Protocol())
    result["protocol"].push_back({{"kind", entry.kind}, {"text", entry.text}});
  // Texts from the control unit need not be UTF-8.
  out << result.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

void PrintTable(std::ostream& out, const std::vector<RowResult>& rows) {
  std::size_t nameWidth = 9;
  std::size_t valueWidth = 5;
  for (const RowResult& row : rows) {
    if (!row.present) continue;
    nameWidth = std::max(nameWidth, row.name.size());
    valueWidth = std::max(valueWidth, row.shownValue.size());
  }
  out << std::left << std::setw(static_cast<int>(nameWidth)) << "Parameter"
      << "  " << std::right << std::setw(static_cast<int>(valueWidth)) << "Value"
      << "  Unit\n";
  for (const RowResult& row : rows) {
    if (!row.present) continue;
    out << std::left << std::setw(static_cast<int>(nameWidth)) << row.name << "  " << std::right
        << std::setw(static_cast<int>(valueWidth)) << row.shownValue << "  " << row.unit << '\n';
  }
}

// Runs with `store`, or with the defaults only when it is null.
int Diagnose(const DiagnoseOptions& options, SettingsBackend* store, std::ostream& out,
             std::ostream& err) {
  std::optional<std::uint32_t> device;
  if (!options.device.empty()) {
    device = ParseDeviceId(options.device);
    if (!device) {
      err << "Unknown device \"" << options.device << "\" (D00 to D18).\n";
      return kExitUsage;
    }
  }
  if (options.seconds < 0) {
    err << "--seconds must not be negative.\n";
    return kExitUsage;
  }
  if (!options.protocolFile.empty() && !CanAppendTo(options.protocolFile)) {
    err << "The protocol file \"" << options.protocolFile << "\" cannot be written.\n";
    return kExitUsage;
  }
  HeadlessRun run(store, err);
  LineOptions line = options;
  // The virtual heater has the units of these records; it answers as the one diagnosed.
  if (device && (*device == kVirtualHeaterDevice || *device == kVirtualKeywordDevice))
    line.heaterDevice = DeviceId(*device);
  if (!run.ChooseLine(line)) return kExitUsage;
  if (!options.protocolFile.empty()) run.StoreProtocolInto(options.protocolFile);
  if (!device && !options.virtualHeater) {
    const std::int32_t last = ProgramSettings().lastDevice;
    if (last < 0 || last >= static_cast<std::int32_t>(kDeviceCount)) {
      err << "No device has been diagnosed yet (setting LastDevice " << last
          << "): give --device D00 to D18.\n";
      return kExitUsage;
    }
    device = static_cast<std::uint32_t>(last);
  }
  if (!run.Start()) return kExitUsage;
  // Without --device the virtual heater's unit is diagnosed.
  if (!device) device = ParseDeviceId(run.VirtualHeaterDevice()).value_or(kVirtualHeaterDevice);

  HeadlessFrame& frame = run.Frame();
  InterruptWatch interrupt([&frame] { frame.Interrupt(); });
  SelectDevice(*device);
  StartDiagnosis();
  const HeadlessFrame::Outcome outcome = frame.WaitForConnection(options.connectionLimit);
  const bool complete = outcome == HeadlessFrame::Outcome::kDataReady;
  if (complete) frame.KeepPolling(std::chrono::seconds(options.seconds));
  switch (outcome) {
    case HeadlessFrame::Outcome::kDataReady:
      break;
    case HeadlessFrame::Outcome::kTimedOut:
      frame.Note("The connection pass did not complete within " +
                 std::to_string(options.connectionLimit.count() / 1000) + " s.");
      break;
    case HeadlessFrame::Outcome::kInterrupted:
      frame.Note("Interrupted before the connection pass was complete.");
      break;
    case HeadlessFrame::Outcome::kLinkEnded:
      frame.Note("The diagnosis ended before the connection pass was complete.");
      break;
  }
  const std::vector<RowResult> rows = CollectRows(*device);
  const nlohmann::ordered_json faults = FaultsJson();
  run.Finish();
  const bool protocolLost = run.ProtocolFileFailed();
  if (protocolLost)
    err << "The protocol could not be written to \"" << options.protocolFile << "\".\n";
  if (options.json)
    PrintJson(out, *device, complete, rows, faults, run);
  else
    PrintTable(out, rows);
  return complete && !protocolLost ? kExitOk : kExitFailed;
}

}  // namespace

int RunDiagnose(const DiagnoseOptions& options, SettingsBackend& store, std::ostream& out,
                std::ostream& err) {
  return Diagnose(options, &store, out, err);
}

int RunDiagnose(const DiagnoseOptions& options, std::ostream& out, std::ostream& err) {
  return Diagnose(options, nullptr, out, err);
}

Subcommand AddDiagnoseCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<DiagnoseOptions>();
  CLI::App* command = app.add_subcommand(
      "diagnose", "Run a diagnosis: connect, poll, and print what the control unit delivered");
  command->add_option("--device", options->device,
                      "Device D00..D18 (default: the device diagnosed last)");
  const std::function<void()> completeLine = AddLineOptions(*command, *options);
  command->add_option("--seconds", options->seconds, "Seconds of polling after the connection")
      ->capture_default_str();
  command->add_flag("--json", options->json, "One JSON object on standard output");
  command->add_option("--protocol-file", options->protocolFile,
                      "Append the protocol (messages, state changes, telegrams) to FILE");
  return {command, [options, completeLine, &store](std::ostream& out, std::ostream& err) {
            completeLine();
            return RunDiagnose(*options, store, out, err);
          }};
}

}  // namespace heatdiag::cli
