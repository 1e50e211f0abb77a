#include "cli/clear_faults.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "cli/fault_output.h"
#include "cli/interrupt_watch.h"
#include "cli/subcommand.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"
#include "drivers/driver_functions.h"
#include "drivers/hbus/hbus_driver.h"
#include "link/serial_port.h"

namespace heatdiag::cli {
namespace {

constexpr std::uint32_t kHBusDevice = 0;
constexpr auto kWaitSlice = std::chrono::milliseconds(100);

// How a driver tells that the unit took the clearing and that its memory has been read since.
struct FaultTraffic {
  std::uint32_t clears;
  std::uint32_t reads;
};

std::optional<FaultTraffic> TrafficOf(std::uint32_t device) {
  if (device != kHBusDevice) return std::nullopt;
  const hbus::DriverState& state = hbus::TheDriver().state;
  return FaultTraffic{state.faultClearsConfirmed.load(), state.faultReadsCompleted.load()};
}

// Polls until `done` holds, the link ends, the run is interrupted or the limit has passed.
template <typename Done>
bool WaitFor(HeadlessFrame& frame, std::chrono::milliseconds limit, Done done) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end || !frame.KeepPolling(kWaitSlice)) return done();
  }
  return true;
}

enum class Result { kCleared, kNoConnection, kNotAvailable, kNotConfirmed, kNotReadAgain };

const char* ResultText(Result result) {
  switch (result) {
    case Result::kCleared:
      return "The fault memory has been cleared.";
    case Result::kNoConnection:
      return "No connection to the control unit: nothing was cleared.";
    case Result::kNotAvailable:
      return "This control unit does not offer clearing of its fault memory.";
    case Result::kNotConfirmed:
      return "The control unit did not confirm the clearing.";
    case Result::kNotReadAgain:
      return "The control unit confirmed the clearing, but its fault memory could not be read "
             "again.";
  }
  return "";
}

// A connected unit: clears and waits for the confirmation and a complete read after it.
Result Clear(HeadlessFrame& frame, std::uint32_t device, std::chrono::milliseconds limit) {
  const DeviceDriver* driver = SelectedDriver();
  if (driver == nullptr || driver->ClearFaults == nullptr ||
      driver->IsFunctionAvailable == nullptr || driver->IsFunctionAvailable(kFnClearFaults) == 0)
    return Result::kNotAvailable;
  const std::optional<FaultTraffic> before = TrafficOf(device);
  if (!before) return Result::kNotAvailable;  // nothing would tell whether the unit took it
  driver->ClearFaults();
  if (!WaitFor(frame, limit, [&] { return TrafficOf(device)->clears != before->clears; }))
    return Result::kNotConfirmed;
  // A read already under way when the unit cleared may still end with the old list: wait for
  // the one after it.
  const std::uint32_t reads = TrafficOf(device)->reads;
  if (!WaitFor(frame, limit, [&] { return TrafficOf(device)->reads - reads >= 2; }))
    return Result::kNotReadAgain;
  return Result::kCleared;
}

int ClearFaultsRun(const ClearFaultsOptions& options, SettingsBackend* store, std::ostream& out,
                   std::ostream& err) {
  HeadlessRun run(store, err);
  if (!run.ChooseLine(options)) return kExitUsage;
  const std::optional<std::uint32_t> device = ChooseRunDevice(options, err);
  if (!device) return kExitUsage;
  if (!run.Start()) return kExitUsage;
  HeadlessFrame& frame = run.Frame();
  InterruptWatch interrupt([&frame] { frame.Interrupt(); });
  const bool connected =
      ConnectDevice(run, *device, options.connectionLimit) == HeadlessFrame::Outcome::kDataReady;
  const Result result =
      connected ? Clear(frame, *device, options.confirmLimit) : Result::kNoConnection;
  if (result != Result::kCleared) frame.Note(ResultText(result));
  // What the memory holds now, read while the session still runs.
  nlohmann::ordered_json faults = FaultsJson();
  std::ostringstream table;
  if (!options.json) PrintFaultTable(table);
  run.Finish();
  if (options.json) {
    nlohmann::ordered_json json;
    json["device"] = DeviceId(*device);
    json["name"] = DeviceName(*device);
    json["port"] = PortName(run.PortNumber());
    json["complete"] = connected;
    json["cleared"] = result == Result::kCleared;
    json["faults"] = std::move(faults);
    json["errors"] = frame.Errors();
    out << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  } else {
    if (result == Result::kCleared) out << ResultText(result) << '\n';
    if (connected) out << table.str();
  }
  return result == Result::kCleared ? kExitOk : kExitFailed;
}

}  // namespace

int RunClearFaults(const ClearFaultsOptions& options, SettingsBackend& store, std::ostream& out,
                   std::ostream& err) {
  return ClearFaultsRun(options, &store, out, err);
}

int RunClearFaults(const ClearFaultsOptions& options, std::ostream& out, std::ostream& err) {
  return ClearFaultsRun(options, nullptr, out, err);
}

Subcommand AddClearFaultsCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<ClearFaultsOptions>();
  CLI::App* command = app.add_subcommand(
      "clear-faults", "Clear the fault memory of the control unit and print what it holds then");
  command->add_option("--device", options->device,
                      "Device D00..D18 (default: the device diagnosed last)");
  const std::function<void()> completeLine = AddLineOptions(*command, *options);
  command->add_flag("--json", options->json, "One JSON object on standard output");
  return {command, [options, completeLine, &store](std::ostream& out, std::ostream& err) {
            completeLine();
            return RunClearFaults(*options, store, out, err);
          }};
}

}  // namespace heatdiag::cli
