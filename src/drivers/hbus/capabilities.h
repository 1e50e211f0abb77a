// The capability bits ("H-Bus code") a control unit of version 3.0 or later reports, and the
// parameters each of them decides about.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace heatdiag::hbus {

inline constexpr std::size_t kCodeBytes = 8;
using HBusCode = std::array<std::uint8_t, kCodeBytes>;

// One bit of the code; a mask of 0 is always true.
struct CapabilityBit {
  std::uint8_t byte;
  std::uint8_t mask;
};

inline bool HasCapability(const HBusCode& code, CapabilityBit bit) {
  return bit.mask == 0 || (bit.byte < kCodeBytes && (code[bit.byte] & bit.mask) != 0);
}

namespace cap {
inline constexpr CapabilityBit kAlways{0, 0};
inline constexpr CapabilityBit kMainSwitch{0, 0x10};
inline constexpr CapabilityBit kSupplementalRequest{0, 0x20};
inline constexpr CapabilityBit kSummer{0, 0x40};
inline constexpr CapabilityBit kBoost{0, 0x80};
inline constexpr CapabilityBit kEconomicMode{1, 0x01};
inline constexpr CapabilityBit kPumpExternalControl{1, 0x02};
inline constexpr CapabilityBit kCombustionAirFan{1, 0x04};
inline constexpr CapabilityBit kGlowPlug{1, 0x08};
inline constexpr CapabilityBit kFuelPump{1, 0x10};
inline constexpr CapabilityBit kCirculatingPump{1, 0x20};
inline constexpr CapabilityBit kVehicleFanRelay{1, 0x40};
inline constexpr CapabilityBit kYellowLed{1, 0x80};
inline constexpr CapabilityBit kGreenLed{2, 0x01};
inline constexpr CapabilityBit kSparkTransmitter{2, 0x02};
inline constexpr CapabilityBit kSolenoidValve{2, 0x04};
inline constexpr CapabilityBit kAuxiliaryDrive{2, 0x08};
inline constexpr CapabilityBit kGeneratorSignal{2, 0x10};
inline constexpr CapabilityBit kFanSpeedRpm{2, 0x20};
inline constexpr CapabilityBit kCo2Calibration{3, 0x02};
inline constexpr CapabilityBit kOperationIndicator{3, 0x08};
inline constexpr CapabilityBit kPumpInIdlePeriod{3, 0x20};
inline constexpr CapabilityBit kBurningDurations{4, 0x08};
inline constexpr CapabilityBit kHeatingEnergyWatt{4, 0x10};
inline constexpr CapabilityBit kFlameIndicator{4, 0x40};
inline constexpr CapabilityBit kNozzleStockHeating{4, 0x80};
inline constexpr CapabilityBit kIgnitionInput{5, 0x20};
inline constexpr CapabilityBit kTemperatureThresholds{5, 0x40};
}  // namespace cap

// Parameters a control unit may lack, and the condition under which they are hidden.
struct CapabilityRule {
  enum class Hide : std::uint8_t {
    kWhenClear,  // the unit lacks the capability
    kWhenSet,    // the capability selects another parameter instead
    kWhenBothSet,
  };
  CapabilityBit bit;
  CapabilityBit second;  // only for kWhenBothSet
  Hide hide;
  std::array<std::uint8_t, 8> rows;
  std::uint8_t rowCount;
};

std::span<const CapabilityRule> CapabilityRules();

// The rows the rules hide for a code (each row at most once), in rule order; returns the count.
std::size_t RowsHiddenBy(const HBusCode& code, std::span<std::uint16_t> out);

}  // namespace heatdiag::hbus
