// The heater behind the control unit: its operating-state sequence, temperatures, supply
// voltage, actuator levels and counters. Time comes from outside (AdvanceTo), so that the same
// commands at the same instants always give the same values; the voltage noise is seeded.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>

#include "scenario.h"

namespace heatsim {

using Millis = std::chrono::milliseconds;

enum class Phase : std::uint8_t {
  kOff,
  kFanStart,
  kGlowing,
  kPrestart,
  kIgnition,
  kFlameStabilisation,
  kFullLoad,
  kPartLoad,
  kBoost,
  kControlIdle,
  kAfterRun,
  kVentilating,
  kCirculating,
  kComponentTest,
  kFuelPrime,
};

// Components as the component test numbers them.
enum class Component : std::uint8_t {
  kNone = 0,
  kFan = 1,
  kFuelPump = 2,
  kGlowPlug = 3,
  kCirculatingPump = 4,
  kVehicleFan = 5,
  kYellowLed = 6,
  kGreenLed = 7,
  kSparkTransmitter = 8,
  kSolenoidValve = 9,
  kOperationIndicator = 10,
  kNozzleHeating = 13,
  kFlameIndicator = 14,
};

enum class Refusal { kNone, kConditions, kRange };

enum class DebugAction { kLeave, kHalt, kRun, kStep, kStepNow };

struct DebugStatus {
  bool active = false;
  std::uint8_t state = 0;           // operating-state code (3.x numbering)
  std::uint8_t lastState = 0;       // the state before the last jump
  std::uint8_t lastJump = 0;        // function number of the last jump; 0xFE timer, 0xFD diagnosis
  std::uint16_t runTimeSet = 0;     // the state's dwell time, 1/10 s; 0 when unlimited
  std::uint16_t runTimeActual = 0;  // time spent in the state so far, 1/10 s
};

// Levels in the units the unit reports them: half percent, 1/20 Hz, 1/min.
struct Actuators {
  int glowHalfPercent = 0;
  int fuelPumpTwentiethHz = 0;
  int fanHalfPercent = 0;
  int fanRpm = 0;
  int pumpHalfPercent = 0;
  bool vehicleFan = false;
  bool nozzleHeating = false;
  bool sparkTransmitter = false;
  bool solenoidValve = false;
  bool flame = false;
  bool yellowLed = false;
  bool greenLed = false;
  bool operationIndicator = false;
};

class HeaterModel {
 public:
  HeaterModel(const Scenario& scenario, Millis now);

  // Runs the model up to `now` in fixed steps; earlier instants are ignored.
  void AdvanceTo(Millis now);
  Millis Now() const { return Millis(now_); }

  // Operating modes (command bytes 0x20..0x24, 0x27). The run time is in minutes.
  Refusal StartMode(std::uint8_t command, std::uint8_t runTimeMinutes);
  void SwitchOff();
  bool KeepAlive(std::uint8_t command);  // true while `command` is the mode running
  Refusal Boost();
  std::uint8_t Mode() const { return mode_; }

  // Service functions; they need the heater at rest.
  Refusal StartComponent(Component component, std::uint8_t seconds, std::uint16_t value);
  Refusal StartFuelPrime(unsigned seconds);  // 0 stops priming
  void CalibrateVoltage(int millivolts);
  void CalibrateGlowPlug(int milliohms);
  bool Resting() const;
  bool FullLoad() const { return phase_ == Phase::kFullLoad || phase_ == Phase::kBoost; }

  // Debug mode: the state sequence can be halted, stepped and forced.
  bool Debug(DebugAction action);
  bool DebugSetState(std::uint8_t stateCode);
  DebugStatus Debug() const;

  // What the unit reports.
  Phase CurrentPhase() const { return phase_; }
  std::uint8_t StateCode() const;  // in the numbering of the unit's protocol version
  std::uint8_t StateNumber() const;
  double TemperatureC() const { return temperature_; }
  double TemperatureGradient() const { return gradient_; }  // K per minute
  int SupplyMv() const;
  int GlowPlugMohm() const { return static_cast<int>(glowPlugMohm_); }
  int HeatingPowerW() const;
  int HeatingPercent() const;
  const Actuators& Outputs() const { return out_; }
  bool OverheatFlag() const { return overheat_; }
  const ModelStart& Counters() const { return counters_; }  // minutes and counts, current

 private:
  void Step();
  void Enter(Phase next, std::uint8_t jump);
  void EndMode();
  bool Burning() const;
  Phase Successor() const;
  std::int64_t Duration(Phase phase) const;
  void UpdateOutputs();
  void Account(std::int64_t ms);

  Scenario scenario_;
  std::int64_t now_ = 0;
  Phase phase_ = Phase::kOff;
  Phase previous_ = Phase::kOff;
  std::int64_t phaseStart_ = 0;
  std::uint8_t mode_ = 0;
  bool supplemental_ = false;
  bool boost_ = false;
  std::int64_t modeEnd_ = 0;
  std::int64_t keepAliveDeadline_ = 0;
  Component component_ = Component::kNone;
  std::uint16_t componentValue_ = 0;
  std::int64_t serviceEnd_ = 0;
  double temperature_ = 0;
  double gradient_ = 0;
  double glowPlugMohm_ = 0;
  int glowPlugColdMohm_ = 0;
  int calibrationMv_ = 0;
  int noiseMv_ = 0;
  bool overheat_ = false;
  Actuators out_;
  ModelStart counters_;
  std::int64_t carryMs_[14] = {};  // milliseconds not yet counted as a minute, per counter
  std::mt19937 noise_;
  bool debugActive_ = false;
  bool debugHalted_ = false;
  bool debugStepArmed_ = false;
  std::uint8_t lastJump_ = 0xFF;
};

}  // namespace heatsim
