#include "cli/diagnose.h"

#include <algorithm>
#include <cctype>
#include <iomanip>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "cli/headless_frame.h"
#include "cli/subcommand.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"
#include "link/serial_port.h"
#include "shell/settings.h"
#include "virtual_heater.h"

namespace heatdiag::cli {
namespace {

// The list views show at most this much of a value.
constexpr std::size_t kValueChars = 63;
// The port number that a device path given on the command line stands in for.
constexpr std::uint32_t kPathPort = 1;

struct RowResult {
  std::uint32_t row;
  std::string name;
  std::string shortName;
  std::string value;
  std::string unit;
  bool present;
  bool shown;
};

std::optional<std::uint32_t> ParseDevice(const std::string& text) {
  if (text.size() != 3 || std::toupper(static_cast<unsigned char>(text[0])) != 'D' ||
      !std::isdigit(static_cast<unsigned char>(text[1])) ||
      !std::isdigit(static_cast<unsigned char>(text[2])))
    return std::nullopt;
  const auto index = static_cast<std::uint32_t>((text[1] - '0') * 10 + (text[2] - '0'));
  if (index >= kDeviceCount) return std::nullopt;
  return index;
}

// A port number 1..9, or nullopt for a device path; `valid` is false for a number out of range.
std::optional<std::uint32_t> ParsePortNumber(const std::string& text, bool& valid) {
  valid = !text.empty();
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      }))
    return std::nullopt;
  const unsigned long number = text.size() > 2 ? 0 : std::stoul(text);
  valid = number >= kFirstPortNumber && number <= kLastPortNumber;
  return static_cast<std::uint32_t>(number);
}

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
                     StoreGetShown(row) != 0};
    if (result.present && result.shown) result.value = StoreReadText(row).substr(0, kValueChars);
    rows.push_back(std::move(result));
  }
  return rows;
}

void PrintJson(std::ostream& out, std::uint32_t device, bool complete,
               const std::vector<RowResult>& rows, const HeadlessFrame& frame) {
  nlohmann::ordered_json result;
  char deviceId[8];
  std::snprintf(deviceId, sizeof deviceId, "D%02u", device);
  result["device"] = deviceId;
  result["name"] = DeviceName(device);
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
    valueWidth = std::max(valueWidth, row.value.size());
  }
  out << std::left << std::setw(static_cast<int>(nameWidth)) << "Parameter"
      << "  " << std::right << std::setw(static_cast<int>(valueWidth)) << "Value"
      << "  Unit\n";
  for (const RowResult& row : rows) {
    if (!row.present) continue;
    out << std::left << std::setw(static_cast<int>(nameWidth)) << row.name << "  " << std::right
        << std::setw(static_cast<int>(valueWidth)) << row.value << "  " << row.unit << '\n';
  }
}

}  // namespace

int RunDiagnose(const DiagnoseOptions& options, std::ostream& out, std::ostream& err) {
  const std::optional<std::uint32_t> device = ParseDevice(options.device);
  if (!device) {
    err << "Unknown device \"" << options.device << "\" (D00 to D18).\n";
    return kExitUsage;
  }
  if (options.virtualHeater == !options.port.empty()) {
    err << "Give either --port or --virtual-heater.\n";
    return kExitUsage;
  }
  if (options.seconds < 0) {
    err << "--seconds must not be negative.\n";
    return kExitUsage;
  }
  bool portValid = true;
  const std::optional<std::uint32_t> portNumber =
      options.virtualHeater ? std::nullopt : ParsePortNumber(options.port, portValid);
  if (!portValid) {
    err << "Port \"" << options.port << "\" is neither a device path nor a number 1 to 9.\n";
    return kExitUsage;
  }

  std::unique_ptr<heatsim::VirtualHeater> heater;
  std::string devicePath = portNumber ? std::string() : options.port;
  if (options.virtualHeater) {
    heatsim::VirtualHeaterOptions heaterOptions;
    heaterOptions.scenario = options.scenario;
    std::string error;
    heater = heatsim::VirtualHeater::Start(heaterOptions, &error);
    if (!heater) {
      err << "The virtual heater cannot be started: " << error << '\n';
      return kExitUsage;
    }
    devicePath = heater->PtyPath();
  }

  // A run of its own: the settings' defaults, not the user's stored ones.
  StoreStartup();
  MemorySettingsBackend settings;
  LoadSettings(settings);
  const std::uint32_t port = portNumber.value_or(kPathPort);
  ProgramSettings().comPort = static_cast<std::int32_t>(port);
  if (!devicePath.empty()) SetPortPath(port, devicePath);

  bool complete = false;
  std::vector<RowResult> rows;
  {
    HeadlessFrame frame(&err);
    frame.Install();
    InitDrivers();
    SelectDevice(*device);
    StartDiagnosis();
    const HeadlessFrame::Outcome outcome = frame.WaitForConnection(options.connectionLimit);
    complete = outcome == HeadlessFrame::Outcome::kDataReady;
    if (complete) frame.KeepPolling(std::chrono::seconds(options.seconds));
    if (outcome == HeadlessFrame::Outcome::kTimedOut)
      err << "The connection pass did not complete within "
          << options.connectionLimit.count() / 1000 << " s.\n";
    else if (!complete)
      err << "The diagnosis ended before the connection pass was complete.\n";
    rows = CollectRows(*device);
    FinishDiagnosis();
    ShutdownDrivers();
    SelectDevice(kNoDevice);
    if (!devicePath.empty()) SetPortPath(port, {});
    if (options.json)
      PrintJson(out, *device, complete, rows, frame);
    else
      PrintTable(out, rows);
  }
  StoreShutdown();
  if (heater) heater->Stop();
  return complete ? kExitOk : kExitFailed;
}

Subcommand AddDiagnoseCommand(CLI::App& app) {
  auto options = std::make_shared<DiagnoseOptions>();
  auto scenario = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "diagnose", "Run a diagnosis: connect, poll, and print what the control unit delivered");
  command->add_option("--device", options->device, "Device D00..D18")->capture_default_str();
  auto* port = command->add_option("--port", options->port,
                                   "Serial device path (a pseudo-terminal too) or COM number 1..9");
  auto* heater = command
                     ->add_option("--virtual-heater", *scenario,
                                  "Run on the built-in virtual heater (optional scenario)")
                     ->expected(0, 1);
  port->excludes(heater);
  command->add_option("--seconds", options->seconds, "Seconds of polling after the connection")
      ->capture_default_str();
  command->add_flag("--json", options->json, "One JSON object on standard output");
  return {command, [options, scenario, heater] {
            options->virtualHeater = heater->count() > 0;
            options->scenario = *scenario;
            return RunDiagnose(*options, std::cout, std::cerr);
          }};
}

}  // namespace heatdiag::cli
