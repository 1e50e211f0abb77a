#include "debug/debug_session.h"

#include <chrono>
#include <cstdio>

#include "base/protocol.h"
#include "base/string_table.h"
#include "drivers/device_table.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kTextRestart = 36001;
constexpr std::uint32_t kTextTimer = 36002;
constexpr std::uint32_t kTextDiagnosticMessage = 36003;
constexpr std::uint32_t kTextSpecialFunction = 36004;

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool SessionRuns() {
  return SelectedSessionActive();
}

}  // namespace

DebugButtons DebugButtonsForMode(std::uint16_t mode) {
  switch (mode) {
    case 1:
      return {.run = true, .stop = false, .step = true, .stepNow = true, .set = true};
    case 2:
      return {.run = false, .stop = true, .step = false, .stepNow = false, .set = true};
    case 3:
      return {.run = true, .stop = true, .step = false, .stepNow = true, .set = true};
    case 4:
      return {.run = false, .stop = false, .step = false, .stepNow = false, .set = true};
    default:
      return {};
  }
}

std::string LastJumpText(std::uint16_t jump, const SequenceNames& names) {
  switch (jump) {
    case 0:
      return {};
    case kJumpRestart:
      return LoadString(kTextRestart, 255);
    case kJumpTimer:
      return LoadString(kTextTimer, 255);
    case kJumpDiagnosticMessage:
      return LoadString(kTextDiagnosticMessage, 255);
    case kJumpSpecialFunction:
      return LoadString(kTextSpecialFunction, 255);
    default:
      return names.Function(jump);
  }
}

std::string DebugStateText(std::uint16_t state, const SequenceNames& names) {
  return state == kDebugNone ? std::string() : names.State(state);
}

DebugState& ProgramDebugState() {
  static DebugState state;
  return state;
}

DebugSession::DebugSession(DebugState& state, SequenceNames& names, Clock clock)
    : state_(state), names_(names), clock_(clock ? std::move(clock) : Clock(SteadyMs)) {}

std::int64_t DebugSession::Now() const {
  return clock_();
}

void DebugSession::Reset(MessageTarget* window) {
  state_.window.store(window);
  state_.mode.store(0);
  state_.action.store(kDebugLeave);
  state_.currentState.store(kDebugNone);
  state_.lastState.store(kDebugNone);
  state_.newState.store(kDebugNone);
  state_.lastJump.store(0);
  state_.runTimeSet.store(0);
  state_.runTimeActual.store(0);
  state_.previousCurrentState.store(kDebugNone);
  changeTimeMs_ = Now();
}

void DebugSession::Open(MessageTarget* window, const std::string& headerPath) {
  window_ = window;
  open_ = true;
  Reset(window);
  LoadHeader(headerPath);
}

void DebugSession::LoadHeader(const std::string& headerPath) {
  LoadSequenceHeader(headerPath, names_);
}

DebugSession::TickOutcome DebugSession::Tick() {
  if (!open_) return TickOutcome::kNothing;
  const DeviceDriver* driver = SelectedDriver();
  if (driver == nullptr || !SessionRuns()) {
    if (state_.mode.load() == 0 && state_.action.load() == kDebugLeave)
      return TickOutcome::kNothing;
    Reset(window_);
    return TickOutcome::kRefresh;
  }
  TickOutcome outcome = TickOutcome::kNothing;
  if (state_.mode.load() == 0 && state_.action.load() == kDebugLeave) {
    changeTimeMs_ = Now();
    state_.action.store(kDebugStop);
    if (driver->StartDebugMode(&state_) == 0) return TickOutcome::kFailed;
    driver->SendDebugCommand(&state_);
    outcome = TickOutcome::kRefresh;
  }
  if (driver->PollDebugMode(&state_) == 0) return TickOutcome::kFailed;
  return outcome;
}

void DebugSession::RequestAction(DebugAction action) {
  state_.action.store(action);
  const DeviceDriver* driver = SelectedDriver();
  if (driver != nullptr && SessionRuns()) driver->SendDebugCommand(&state_);
}

void DebugSession::SetNewState(std::uint16_t state) {
  state_.newState.store(state);
  // As the other buttons: the driver picks the state up from the block.
  const DeviceDriver* driver = SelectedDriver();
  if (driver != nullptr && SessionRuns()) driver->SendDebugCommand(&state_);
}

void DebugSession::Exit() {
  if (!open_) return;
  state_.action.store(kDebugLeave);
  const DeviceDriver* driver = SelectedDriver();
  if (driver != nullptr && SessionRuns()) driver->EndDebugMode(&state_);
  state_.window.store(nullptr);
  window_ = nullptr;
  open_ = false;
}

DebugDisplay DebugSession::Refresh() {
  DebugDisplay display;
  const std::uint16_t current = state_.currentState.load();
  const std::uint16_t last = state_.lastState.load();
  display.current = DebugStateText(current, names_);
  display.last = DebugStateText(last, names_);
  if (current != state_.previousCurrentState.load()) {
    const std::int64_t now = Now();
    const long seconds = static_cast<long>((now - changeTimeMs_ + 500) / 1000);
    char line[64];
    std::snprintf(line, sizeof line, "%16.16s -> %16.16s (%lds)", display.last.c_str(),
                  display.current.c_str(), seconds);
    display.stateChange = line;
    display.stateChangeSeconds = static_cast<int>(seconds);
    ProtocolAdd(line, kProtocolStateChange);
    changeTimeMs_ = now;
    state_.previousCurrentState.store(current);
  }
  display.lastJump = LastJumpText(state_.lastJump.load(), names_);
  display.runTimeSet = std::to_string(state_.runTimeSet.load());
  display.runTimeActual = std::to_string(state_.runTimeActual.load());
  display.buttons = DebugButtonsForMode(state_.mode.load());
  return display;
}

std::vector<std::string> DebugSession::StateList() const {
  std::vector<std::string> list;
  for (int n = 0; n < names_.stateCount; ++n) list.push_back(names_.stateNames[n]);
  return list;
}

}  // namespace heatdiag
