#include "drivers/hbus/capabilities.h"

#include <algorithm>

namespace heatdiag::hbus {
namespace {

using Hide = CapabilityRule::Hide;

constexpr CapabilityRule Clear(CapabilityBit bit, std::initializer_list<std::uint8_t> rows) {
  CapabilityRule rule{bit, cap::kAlways, Hide::kWhenClear, {}, 0};
  for (auto row : rows) rule.rows[rule.rowCount++] = row;
  return rule;
}

constexpr CapabilityRule Set(CapabilityBit bit, std::initializer_list<std::uint8_t> rows) {
  CapabilityRule rule = Clear(bit, rows);
  rule.hide = Hide::kWhenSet;
  return rule;
}

constexpr CapabilityRule BothSet(CapabilityBit a, CapabilityBit b,
                                 std::initializer_list<std::uint8_t> rows) {
  CapabilityRule rule = Clear(a, rows);
  rule.second = b;
  rule.hide = Hide::kWhenBothSet;
  return rule;
}

constexpr CapabilityRule kRules[] = {
    Clear(cap::kMainSwitch, {8}),
    Clear(cap::kSupplementalRequest, {9}),
    Clear(cap::kSummer, {10}),
    Clear(cap::kBoost, {16}),
    Clear(cap::kEconomicMode, {12}),
    Clear(cap::kPumpExternalControl, {11}),
    Clear(cap::kCombustionAirFan, {5, 6, 17}),
    Set(cap::kFanSpeedRpm, {5}),
    Clear(cap::kFanSpeedRpm, {6}),
    Clear(cap::kGlowPlug, {3, 18, 33}),
    // A spark transmitter takes the glow plug's place on the same output.
    BothSet(cap::kGlowPlug, cap::kSparkTransmitter, {3, 18, 33}),
    Clear(cap::kFuelPump, {4, 20}),
    Clear(cap::kCirculatingPump, {7, 22}),
    Clear(cap::kVehicleFanRelay, {23}),
    Clear(cap::kSparkTransmitter, {19}),
    Clear(cap::kSolenoidValve, {21}),
    Clear(cap::kAuxiliaryDrive, {14}),
    Clear(cap::kGeneratorSignal, {13}),
    Clear(cap::kCo2Calibration, {140, 141, 142}),
    Clear(cap::kPumpInIdlePeriod, {27}),
    Clear(cap::kBurningDurations, {39, 40, 41, 42, 43, 44, 45, 46}),
    Set(cap::kHeatingEnergyWatt, {35}),
    Clear(cap::kHeatingEnergyWatt, {34}),
    Clear(cap::kFlameIndicator, {24}),
    Clear(cap::kNozzleStockHeating, {25}),
    Clear(cap::kIgnitionInput, {15}),
    Clear(cap::kTemperatureThresholds, {144, 145}),
};

bool RuleHides(const CapabilityRule& rule, const HBusCode& code) {
  const bool set = HasCapability(code, rule.bit);
  switch (rule.hide) {
    case Hide::kWhenClear:
      return !set;
    case Hide::kWhenSet:
      return set;
    case Hide::kWhenBothSet:
      return set && HasCapability(code, rule.second);
  }
  return false;
}

}  // namespace

std::span<const CapabilityRule> CapabilityRules() {
  return kRules;
}

std::size_t RowsHiddenBy(const HBusCode& code, std::span<std::uint16_t> out) {
  std::size_t count = 0;
  for (const auto& rule : kRules) {
    if (!RuleHides(rule, code)) continue;
    for (std::size_t i = 0; i < rule.rowCount; ++i) {
      const std::uint16_t row = rule.rows[i];
      const auto end = out.begin() + static_cast<std::ptrdiff_t>(count);
      if (std::find(out.begin(), end, row) != end) continue;
      if (count < out.size()) out[count++] = row;
    }
  }
  return count;
}

}  // namespace heatdiag::hbus
