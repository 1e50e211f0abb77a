#include "cli/debug.h"

#include <atomic>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "base/frame_sink.h"
#include "cli/interrupt_watch.h"
#include "cli/report.h"
#include "cli/subcommand.h"
#include "debug/debug_session.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"
#include "drivers/driver_functions.h"
#include "link/serial_port.h"

namespace heatdiag::cli {
namespace {

// The window's tick.
constexpr std::chrono::milliseconds kTick{200};
// How long the unit may take to answer its first debug status.
constexpr std::chrono::seconds kStartLimit{30};
// How long the driver may take to pass "leave" on once the run ends.
constexpr std::chrono::seconds kLeaveLimit{5};

// Stands in for the debug window: the driver posts a refresh after each answer.
class RefreshFlag final : public MessageTarget {
 public:
  void Post(std::uint32_t message, std::intptr_t, std::intptr_t) override {
    if (message == kDebugRefreshMessage) posted_.store(true);
  }
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    Post(message, a, b);
  }
  bool Take() { return posted_.exchange(false); }

 private:
  std::atomic<bool> posted_{false};
};

struct Change {
  std::string line;
  std::string last;
  std::string current;
  int seconds;
};

}  // namespace

int RunDebug(const DebugOptions& options, SettingsBackend* store, std::ostream& out,
             std::ostream& err) {
  if (options.seconds < 0) {
    err << "--seconds must not be negative.\n";
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
  const bool connected =
      frame.WaitForConnection(options.connectionLimit) == HeadlessFrame::Outcome::kDataReady;

  std::vector<Change> changes;
  bool failed = !connected;
  bool ranToTheEnd = false;
  if (!connected)
    frame.Note("The connection pass did not complete: the debug mode was not started.");
  const std::string header =
      options.header.empty() ? ProgramSettings().debugHeader : options.header;
  RefreshFlag window;
  DebugState& state = ProgramDebugState();
  DebugSession session(state, ProgramSequenceNames());
  bool started = false;
  if (connected) {
    const DeviceDriver* driver = SelectedDriver();
    if (driver == nullptr || driver->IsFunctionAvailable == nullptr ||
        driver->IsFunctionAvailable(kFnDebugMode) == 0) {
      ShowThreadError(kTextDebugCannotStart);
      failed = true;
    }
  }
  if (connected && !failed) {
    session.Open(&window, header);
    const auto refresh = [&] {
      const DebugDisplay display = session.Refresh();
      // The mode runs once the unit has answered with its state.
      started = started || state.currentState.load() != kDebugNone;
      if (!display.stateChange) return;
      changes.push_back(
          {*display.stateChange, display.last, display.current, display.stateChangeSeconds});
      if (!options.json) out << *display.stateChange << '\n' << std::flush;
    };
    bool runRequested = false;
    const auto startEnd = std::chrono::steady_clock::now() + kStartLimit;
    std::optional<std::chrono::steady_clock::time_point> end;
    while (true) {
      const DebugSession::TickOutcome outcome = session.Tick();
      if (outcome == DebugSession::TickOutcome::kFailed) {
        session.Exit();
        ShowThreadError(kTextDebugCannotStart);
        failed = true;
        break;
      }
      if (window.Take() || outcome == DebugSession::TickOutcome::kRefresh) refresh();
      // The mode starts halted; --run lets the state sequence go on.
      if (options.run && !runRequested && state.mode.load() == kDebugStop) {
        session.RequestAction(kDebugRun);
        runRequested = true;
      }
      const auto now = std::chrono::steady_clock::now();
      // --seconds counts from the unit's first answer.
      if (started && !end) end = now + std::chrono::seconds(options.seconds);
      if (end && now >= *end) {
        ranToTheEnd = true;
        break;
      }
      if (!end && now >= startEnd) break;
      if (!frame.KeepPolling(kTick)) {
        failed = true;
        break;
      }
    }
    if (window.Take()) refresh();
    if (session.IsOpen()) {
      session.Exit();
      // The link worker passes "leave" on and lets go of the block.
      const DeviceDriver* driver = SelectedDriver();
      const auto leaveEnd = std::chrono::steady_clock::now() + kLeaveLimit;
      while (driver != nullptr && SelectedSessionActive() && driver->PollDebugMode(&state) != 0 &&
             std::chrono::steady_clock::now() < leaveEnd) {
        if (!frame.KeepPolling(std::chrono::milliseconds(50))) break;
      }
    }
  }
  run.Finish();
  const bool ok = connected && ranToTheEnd && !failed && started;
  if (connected && !failed && !started) frame.Note("The unit did not enter the debug mode.");
  if (options.json) {
    nlohmann::ordered_json result;
    result["device"] = DeviceId(*device);
    result["name"] = DeviceName(*device);
    result["port"] = PortName(run.PortNumber());
    result["path"] = run.DevicePath();
    result["header"] = header;
    result["started"] = started;
    result["changes"] = nlohmann::ordered_json::array();
    for (const Change& change : changes)
      result["changes"].push_back({{"line", change.line},
                                   {"last", change.last},
                                   {"current", change.current},
                                   {"seconds", change.seconds}});
    result["errors"] = frame.Errors();
    out << result.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  }
  return ok ? kExitOk : kExitFailed;
}

Subcommand AddDebugCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<DebugOptions>();
  CLI::App* command = app.add_subcommand(
      "debug", "Run the unit's debug mode and print each state change with its names and times");
  command->add_option("--header", options->header,
                      "Sequence header naming states and functions (default: the setting Header)");
  command->add_option("--device", options->device,
                      "Device D00..D18 (default: the device diagnosed last)");
  const std::function<void()> completeLine = AddLineOptions(*command, *options);
  command
      ->add_option("--seconds", options->seconds,
                   "Seconds the debug mode runs from the unit's first answer")
      ->capture_default_str();
  command->add_flag("--run", options->run,
                    "Let the state sequence run once the mode has started (it starts halted)");
  command->add_flag("--json", options->json, "One JSON object on standard output");
  return {command, [options, completeLine, &store](std::ostream& out, std::ostream& err) {
            completeLine();
            return RunDebug(*options, &store, out, err);
          }};
}

}  // namespace heatdiag::cli
