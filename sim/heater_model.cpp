#include "heater_model.h"

#include <algorithm>
#include <cmath>

namespace heatsim {
namespace {

constexpr std::int64_t kStepMs = 100;
// A clock that jumps further than this is not replayed step by step.
constexpr std::int64_t kMaxCatchUpMs = 24LL * 3600 * 1000;
constexpr double kLossPerSecond = 1.0 / 400.0;  // share of (T - ambient) lost per second

// Jump function numbers reported in debug mode.
constexpr std::uint8_t kJumpTimer = 0xFE;
constexpr std::uint8_t kJumpDiagnosis = 0xFD;
constexpr std::uint8_t kJumpSpecial = 0xFC;
constexpr std::uint8_t kJumpControl = 0x10;  // + target phase: temperature control

struct PhaseInfo {
  Phase phase;
  std::uint8_t codeV3;      // operating-state code from 3.0
  std::uint8_t codeV1;      // before 3.0
  std::int64_t durationMs;  // 0: until something else ends it
  double heatPerSecond;     // degrees the flame adds per second
};

constexpr PhaseInfo kPhases[] = {
    {Phase::kOff, 0x04, 0x13, 0, 0.0},
    {Phase::kFanStart, 0x08, 0x28, 3000, 0.0},
    {Phase::kGlowing, 0x2E, 0x40, 15000, 0.0},
    {Phase::kPrestart, 0x2D, 0x3E, 5000, 0.0},
    {Phase::kIgnition, 0x34, 0x24, 5000, 0.3},
    {Phase::kFlameStabilisation, 0x40, 0x25, 10000, 0.6},
    {Phase::kFullLoad, 0x06, 0x15, 0, 1.2},
    {Phase::kPartLoad, 0x05, 0x14, 0, 0.45},
    {Phase::kBoost, 0x52, 0x15, 0, 1.5},
    {Phase::kControlIdle, 0x20, 0x39, 0, 0.0},
    {Phase::kAfterRun, 0x45, 0x30, 40000, 0.0},
    {Phase::kVentilating, 0x1C, 0x38, 0, 0.0},
    {Phase::kCirculating, 0x4D, 0x13, 0, 0.0},
    {Phase::kComponentTest, 0x51, 0x13, 0, 0.0},
    {Phase::kFuelPrime, 0x07, 0x16, 0, 0.0},
};

const PhaseInfo& Info(Phase phase) {
  return kPhases[static_cast<std::size_t>(phase)];
}

constexpr int kGlowingSteps = 3;

}  // namespace

HeaterModel::HeaterModel(const Scenario& scenario, Millis now)
    : scenario_(scenario),
      now_(now.count()),
      phaseStart_(now.count()),
      temperature_(scenario.model.temperatureC),
      glowPlugMohm_(scenario.model.glowPlugColdMohm),
      glowPlugColdMohm_(scenario.model.glowPlugColdMohm),
      overheat_(scenario.model.overheatFlag),
      counters_(scenario.model),
      noise_(scenario.model.seed) {
  UpdateOutputs();
}

void HeaterModel::AdvanceTo(Millis now) {
  const std::int64_t target = now.count();
  if (target - now_ > kMaxCatchUpMs) {
    const std::int64_t skipped = target - kMaxCatchUpMs - now_;
    now_ += skipped;
    phaseStart_ += skipped;
    modeEnd_ += skipped;
    keepAliveDeadline_ += skipped;
    serviceEnd_ += skipped;
  }
  while (now_ + kStepMs <= target) Step();
}

bool HeaterModel::Burning() const {
  switch (phase_) {
    case Phase::kFanStart:
    case Phase::kGlowing:
    case Phase::kPrestart:
    case Phase::kIgnition:
    case Phase::kFlameStabilisation:
    case Phase::kFullLoad:
    case Phase::kPartLoad:
    case Phase::kBoost:
    case Phase::kControlIdle:
      return true;
    default:
      return false;
  }
}

bool HeaterModel::Resting() const {
  return mode_ == 0 && (phase_ == Phase::kOff || phase_ == Phase::kComponentTest);
}

std::int64_t HeaterModel::Duration(Phase phase) const {
  return Info(phase).durationMs;
}

Phase HeaterModel::Successor() const {
  switch (phase_) {
    case Phase::kFanStart:
      return Phase::kGlowing;
    case Phase::kGlowing:
      return Phase::kPrestart;
    case Phase::kPrestart:
      return Phase::kIgnition;
    case Phase::kIgnition:
      return Phase::kFlameStabilisation;
    case Phase::kFlameStabilisation:
      return boost_ ? Phase::kBoost : Phase::kFullLoad;
    case Phase::kFullLoad:
    case Phase::kBoost:
      return Phase::kPartLoad;
    case Phase::kPartLoad:
      return Phase::kControlIdle;
    case Phase::kControlIdle:
      return Phase::kFanStart;
    case Phase::kOff:
      return Phase::kOff;
    default:
      return Phase::kOff;
  }
}

void HeaterModel::Enter(Phase next, std::uint8_t jump) {
  if (next == Phase::kFanStart) {
    // A start: counted once per burner start, by the mode it serves.
    counters_.startCount = std::min<std::uint32_t>(counters_.startCount + 1, 0xFFFE);
    auto& starts = supplemental_ ? counters_.startsSh : counters_.startsPh;
    starts = std::min<std::uint32_t>(starts + 1, 0xFFFE);
  }
  if (next == Phase::kOff || next == Phase::kAfterRun) {
    component_ = Component::kNone;
    boost_ = false;
  }
  previous_ = phase_;
  phase_ = next;
  phaseStart_ = now_;
  lastJump_ = jump;
  UpdateOutputs();
}

void HeaterModel::EndMode() {
  mode_ = 0;
  boost_ = false;
  if (Burning()) {
    Enter(Phase::kAfterRun, kJumpDiagnosis);
  } else if (phase_ == Phase::kVentilating || phase_ == Phase::kCirculating) {
    Enter(Phase::kOff, kJumpDiagnosis);
  }
}

Refusal HeaterModel::StartMode(std::uint8_t command, std::uint8_t runTimeMinutes) {
  if (runTimeMinutes == 0) return Refusal::kRange;
  if (phase_ == Phase::kComponentTest || phase_ == Phase::kFuelPrime) return Refusal::kConditions;
  switch (command) {
    case 0x20:
    case 0x21:
    case 0x23:
    case 0x27:
      supplemental_ = command == 0x23;
      if (!Burning()) Enter(Phase::kFanStart, kJumpDiagnosis);
      break;
    case 0x22:
      if (Burning()) return Refusal::kConditions;
      if (phase_ != Phase::kVentilating) Enter(Phase::kVentilating, kJumpDiagnosis);
      break;
    case 0x24:
      if (Burning()) return Refusal::kConditions;
      if (phase_ != Phase::kCirculating) Enter(Phase::kCirculating, kJumpDiagnosis);
      break;
    default:
      return Refusal::kRange;
  }
  mode_ = command;
  modeEnd_ = now_ + std::int64_t{runTimeMinutes} * 60000;
  keepAliveDeadline_ = now_ + std::int64_t{scenario_.model.keepAliveTimeoutS} * 1000;
  return Refusal::kNone;
}

void HeaterModel::SwitchOff() {
  const bool service = phase_ == Phase::kComponentTest || phase_ == Phase::kFuelPrime;
  EndMode();
  if (service) Enter(Phase::kOff, kJumpDiagnosis);
}

bool HeaterModel::KeepAlive(std::uint8_t command) {
  if (mode_ == 0 || command != mode_) return false;
  keepAliveDeadline_ = now_ + std::int64_t{scenario_.model.keepAliveTimeoutS} * 1000;
  return true;
}

Refusal HeaterModel::Boost() {
  if (!Burning()) return Refusal::kConditions;
  boost_ = true;
  if (phase_ == Phase::kFullLoad || phase_ == Phase::kPartLoad)
    Enter(Phase::kBoost, kJumpDiagnosis);
  return Refusal::kNone;
}

Refusal HeaterModel::StartComponent(Component component, std::uint8_t seconds,
                                    std::uint16_t value) {
  if (component == Component::kNone) {
    if (phase_ == Phase::kComponentTest) Enter(Phase::kOff, kJumpDiagnosis);
    return Refusal::kNone;
  }
  if (!Resting()) return Refusal::kConditions;
  if (seconds == 0) return Refusal::kRange;
  component_ = component;
  componentValue_ = value;
  serviceEnd_ = now_ + std::int64_t{seconds} * 1000;
  if (phase_ != Phase::kComponentTest) {
    Enter(Phase::kComponentTest, kJumpDiagnosis);
  } else {
    UpdateOutputs();
  }
  return Refusal::kNone;
}

Refusal HeaterModel::StartFuelPrime(unsigned seconds) {
  if (seconds == 0) {
    if (phase_ == Phase::kFuelPrime) Enter(Phase::kOff, kJumpDiagnosis);
    return Refusal::kNone;
  }
  if (mode_ != 0 || !(phase_ == Phase::kOff || phase_ == Phase::kFuelPrime)) {
    return Refusal::kConditions;
  }
  serviceEnd_ = now_ + std::int64_t{seconds} * 1000;
  if (phase_ != Phase::kFuelPrime) Enter(Phase::kFuelPrime, kJumpDiagnosis);
  return Refusal::kNone;
}

void HeaterModel::CalibrateVoltage(int millivolts) {
  // The unit trusts the tester: what it measures from now on reads as the given voltage.
  calibrationMv_ += millivolts - (SupplyMv() - noiseMv_);
}

void HeaterModel::CalibrateGlowPlug(int milliohms) {
  glowPlugColdMohm_ = std::clamp(milliohms, 100, 6000);
  if (out_.glowHalfPercent == 0) glowPlugMohm_ = glowPlugColdMohm_;
}

bool HeaterModel::Debug(DebugAction action) {
  switch (action) {
    case DebugAction::kLeave:
      debugActive_ = false;
      debugHalted_ = false;
      debugStepArmed_ = false;
      return true;
    case DebugAction::kHalt:
      debugActive_ = true;
      debugHalted_ = true;
      debugStepArmed_ = false;
      return true;
    case DebugAction::kRun:
      debugActive_ = true;
      debugHalted_ = false;
      debugStepArmed_ = false;
      return true;
    case DebugAction::kStep:
      if (!debugActive_) return false;
      debugHalted_ = true;
      debugStepArmed_ = true;
      return true;
    case DebugAction::kStepNow:
      if (!debugActive_) return false;
      debugHalted_ = true;
      if (Successor() != phase_) Enter(Successor(), kJumpTimer);
      return true;
  }
  return false;
}

bool HeaterModel::DebugSetState(std::uint8_t stateCode) {
  if (!debugActive_) return false;
  for (const PhaseInfo& info : kPhases) {
    if (info.codeV3 == stateCode) {
      Enter(info.phase, kJumpSpecial);
      return true;
    }
  }
  return false;
}

DebugStatus HeaterModel::Debug() const {
  DebugStatus status;
  status.active = debugActive_;
  status.state = Info(phase_).codeV3;
  status.lastState = Info(previous_).codeV3;
  status.lastJump = lastJump_;
  status.runTimeSet =
      static_cast<std::uint16_t>(std::min<std::int64_t>(Duration(phase_) / 100, 0xFFFF));
  status.runTimeActual =
      static_cast<std::uint16_t>(std::min<std::int64_t>((now_ - phaseStart_) / 100, 0xFFFF));
  return status;
}

std::uint8_t HeaterModel::StateCode() const {
  const PhaseInfo& info = Info(phase_);
  if (scenario_.IsV3()) return info.codeV3;
  if (phase_ == Phase::kGlowing) return static_cast<std::uint8_t>(info.codeV1 + StateNumber() - 1);
  return info.codeV1;
}

std::uint8_t HeaterModel::StateNumber() const {
  if (phase_ != Phase::kGlowing) return 0;
  const std::int64_t part = Duration(Phase::kGlowing) / kGlowingSteps;
  return static_cast<std::uint8_t>(
      std::min<std::int64_t>((now_ - phaseStart_) / part + 1, kGlowingSteps));
}

int HeaterModel::SupplyMv() const {
  const int load = out_.fanHalfPercent * 3 / 2 + out_.glowHalfPercent * 7 / 2 +
                   out_.pumpHalfPercent / 2 + (out_.fuelPumpTwentiethHz > 0 ? 20 : 0);
  return std::max(0, scenario_.model.supplyMv + calibrationMv_ - load + noiseMv_);
}

int HeaterModel::HeatingPowerW() const {
  switch (phase_) {
    case Phase::kIgnition:
      return out_.flame ? 1000 : 0;
    case Phase::kFlameStabilisation:
      return 2000;
    case Phase::kFullLoad:
      return 5000;
    case Phase::kPartLoad:
      return 2400;
    case Phase::kBoost:
      return 6000;
    default:
      return 0;
  }
}

int HeaterModel::HeatingPercent() const {
  return HeatingPowerW() / 50;
}

void HeaterModel::UpdateOutputs() {
  const std::int64_t elapsed = now_ - phaseStart_;
  const std::int64_t duration = Duration(phase_);
  const double progress =
      duration > 0
          ? std::clamp(static_cast<double>(elapsed) / static_cast<double>(duration), 0.0, 1.0)
          : 0.0;
  Actuators a;
  double fanPercent = 0;
  double glowPercent = 0;
  double pumpHz = 0;
  bool circulating = Burning() || phase_ == Phase::kAfterRun;
  switch (phase_) {
    case Phase::kFanStart:
      fanPercent = 40;
      break;
    case Phase::kGlowing:
      fanPercent = 30;
      glowPercent = std::min(100.0, 50.0 + 150.0 * progress);
      a.nozzleHeating = true;
      break;
    case Phase::kPrestart:
      fanPercent = 40;
      glowPercent = 100;
      pumpHz = 1.0;
      a.nozzleHeating = true;
      break;
    case Phase::kIgnition:
      fanPercent = 50;
      glowPercent = 100;
      pumpHz = 1.5;
      a.sparkTransmitter = true;
      a.flame = progress >= 0.5;
      break;
    case Phase::kFlameStabilisation:
      fanPercent = 70;
      glowPercent = 100.0 * (1.0 - progress);
      pumpHz = 2.2;
      a.flame = true;
      break;
    case Phase::kFullLoad:
      fanPercent = 90;
      pumpHz = 3.6;
      a.flame = true;
      break;
    case Phase::kPartLoad:
      fanPercent = 55;
      pumpHz = 1.8;
      a.flame = true;
      break;
    case Phase::kBoost:
      fanPercent = 100;
      pumpHz = 4.4;
      a.flame = true;
      break;
    case Phase::kControlIdle:
      break;
    case Phase::kAfterRun:
      fanPercent = 70.0 - 40.0 * progress;
      break;
    case Phase::kVentilating:
      fanPercent = 60;
      break;
    case Phase::kCirculating:
      circulating = true;
      break;
    case Phase::kFuelPrime:
      pumpHz = 2.0;
      break;
    case Phase::kOff:
    case Phase::kComponentTest:
      break;
  }
  a.fanHalfPercent = static_cast<int>(std::lround(fanPercent * 2));
  a.fanRpm = static_cast<int>(std::lround(fanPercent * 55));
  a.glowHalfPercent = static_cast<int>(std::lround(glowPercent * 2));
  a.fuelPumpTwentiethHz = static_cast<int>(std::lround(pumpHz * 20));
  a.pumpHalfPercent = circulating ? 200 : 0;
  a.vehicleFan = a.flame && temperature_ > 40.0;
  a.solenoidValve = a.fuelPumpTwentiethHz > 0;
  a.operationIndicator = Burning() || phase_ == Phase::kAfterRun;
  a.greenLed = a.operationIndicator;
  if (!scenario_.HasCapability(4, 0x80)) a.nozzleHeating = false;
  if (!scenario_.HasCapability(2, 0x02)) a.sparkTransmitter = false;

  if (phase_ == Phase::kComponentTest) {
    const int v = componentValue_;
    switch (component_) {
      case Component::kFan:
        // The set value is in the unit the fan reports: 1/min or half percent.
        if (scenario_.HasCapability(2, 0x20)) {
          a.fanRpm = v;
          a.fanHalfPercent = std::min(v * 200 / 5500, 200);
        } else {
          a.fanHalfPercent = std::min(v, 200);
          a.fanRpm = a.fanHalfPercent * 55 / 2;
        }
        break;
      case Component::kFuelPump:
        a.fuelPumpTwentiethHz = std::min(v, 255);
        break;
      case Component::kGlowPlug:
        a.glowHalfPercent = std::min(v, 200);
        break;
      case Component::kCirculatingPump:
        a.pumpHalfPercent = std::min(v, 200);
        break;
      case Component::kVehicleFan:
        a.vehicleFan = true;
        break;
      case Component::kYellowLed:
        a.yellowLed = true;
        break;
      case Component::kGreenLed:
        a.greenLed = true;
        break;
      case Component::kSparkTransmitter:
        a.sparkTransmitter = true;
        break;
      case Component::kSolenoidValve:
        a.solenoidValve = true;
        break;
      case Component::kOperationIndicator:
        a.operationIndicator = true;
        break;
      case Component::kNozzleHeating:
        a.nozzleHeating = true;
        break;
      case Component::kFlameIndicator:
        a.flame = true;
        break;
      case Component::kNone:
        break;
    }
  }
  out_ = a;
}

void HeaterModel::Account(std::int64_t ms) {
  // Counters run in minutes; what is left of a minute waits for the next step.
  const auto add = [&](int slot, std::int64_t* minutes) {
    carryMs_[slot] += ms;
    while (carryMs_[slot] >= 60000) {
      carryMs_[slot] -= 60000;
      *minutes = std::min<std::int64_t>(*minutes + 1, 65534LL * 60 + 59);
    }
  };
  const bool active = phase_ != Phase::kOff;
  if (active) add(0, &counters_.workingMinutes);
  if (Burning() || phase_ == Phase::kAfterRun) {
    add(supplemental_ ? 3 : 2,
        supplemental_ ? &counters_.workingShMinutes : &counters_.workingPhMinutes);
  }
  if (out_.flame && phase_ != Phase::kComponentTest) {
    add(1, &counters_.operatingMinutes);
    int range = 0;  // 1..33 %
    if (phase_ == Phase::kPartLoad) range = 1;
    if (phase_ == Phase::kFullLoad) range = 2;
    if (phase_ == Phase::kBoost) range = 3;
    const int slot = (supplemental_ ? 4 : 0) + range;
    add(4 + slot, &counters_.burningMinutes[static_cast<std::size_t>(slot)]);
  }
}

void HeaterModel::Step() {
  now_ += kStepMs;
  const double seconds = static_cast<double>(kStepMs) / 1000.0;

  if (mode_ != 0 && (now_ >= modeEnd_ || now_ >= keepAliveDeadline_)) EndMode();
  if ((phase_ == Phase::kComponentTest || phase_ == Phase::kFuelPrime) && now_ >= serviceEnd_) {
    Enter(Phase::kOff, kJumpTimer);
  }

  if (debugHalted_ && !debugStepArmed_) {
    phaseStart_ += kStepMs;  // a halted sequence does not age
  } else {
    const std::int64_t duration = Duration(phase_);
    const int lower = scenario_.lowerTemperatureC;
    const int upper = scenario_.upperTemperatureC;
    Phase next = phase_;
    std::uint8_t jump = kJumpTimer;
    if (duration > 0 && now_ - phaseStart_ >= duration) {
      next = Successor();
    } else if (phase_ == Phase::kFullLoad && temperature_ >= lower) {
      next = Phase::kPartLoad;
    } else if (phase_ == Phase::kPartLoad && temperature_ >= upper) {
      next = Phase::kControlIdle;
    } else if (phase_ == Phase::kPartLoad && temperature_ <= lower - 10) {
      next = boost_ ? Phase::kBoost : Phase::kFullLoad;
    } else if (phase_ == Phase::kBoost && temperature_ >= upper + 5) {
      next = Phase::kControlIdle;
    } else if (phase_ == Phase::kControlIdle && temperature_ <= lower - 5) {
      next = Phase::kFanStart;
    }
    if (next != phase_ && jump == kJumpTimer && duration == 0) {
      jump = static_cast<std::uint8_t>(kJumpControl + static_cast<int>(next));
    }
    if (next != phase_) {
      Enter(next, jump);
      debugStepArmed_ = false;
    }
  }

  UpdateOutputs();

  const double heat = Info(phase_).heatPerSecond;
  const double before = temperature_;
  temperature_ += (heat - (temperature_ - scenario_.model.ambientC) * kLossPerSecond) * seconds;
  temperature_ = std::clamp(temperature_, -40.0, 150.0);
  gradient_ = (temperature_ - before) / seconds * 60.0;
  if (temperature_ >= 110.0) overheat_ = true;

  const double target = glowPlugColdMohm_ * (1.0 + 1.3 * out_.glowHalfPercent / 200.0) *
                        (1.0 + 0.002 * (temperature_ - 20.0));
  glowPlugMohm_ += (target - glowPlugMohm_) * std::min(1.0, seconds / 2.0);

  const int n = scenario_.model.noiseMv;
  noiseMv_ = n > 0 ? static_cast<int>(noise_() % static_cast<std::uint32_t>(2 * n + 1)) - n : 0;

  Account(kStepMs);
}

}  // namespace heatsim
