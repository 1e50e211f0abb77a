// The rows of D06's catalogue (catalogue_d06.cpp) by name, for its handlers and operations.
#pragma once

#include <cstdint>

#include "drivers/kit/store_rows.h"

namespace heatdiag::d06::rows {

using kit::Row;
using kit::RowRange;

inline constexpr std::uint32_t kCount = 58;

// Actuator levels.
inline constexpr Row kFanPercent = 0;
inline constexpr Row kGlowPlugPercent = 1;
inline constexpr Row kFuelPumpHertz = 2;
// Inputs.
inline constexpr Row kMainSwitch = 3;
inline constexpr Row kSupplementalRequest = 4;
inline constexpr Row kSummer = 5;
// Components on/off.
inline constexpr Row kFanOn = 6;
inline constexpr Row kGlowPlugOn = 7;
inline constexpr Row kFuelPumpOn = 8;
inline constexpr Row kCirculatingPumpOn = 9;
inline constexpr Row kVehicleFanRelayOn = 10;
// Configuration and measured values.
inline constexpr Row kFuelType = 11;
inline constexpr Row kPumpInControlIdle = 12;
inline constexpr Row kTemperature = 13;
inline constexpr Row kSupplyVoltage = 14;
inline constexpr Row kFlameDetected = 15;
inline constexpr Row kFlameDetector = 16;
inline constexpr Row kOperatingState = 17;
// Identification.
inline constexpr Row kDeviceId = 18;
inline constexpr Row kDatasetId = 19;
inline constexpr Row kHwVersion = 20;
inline constexpr Row kSwVersion = 21;
inline constexpr Row kCustomerId = 22;
// Fault memory: the count, then three blocks of nine rows.
inline constexpr Row kFaultCount = 23;
inline constexpr Row kFirstFaultRow = 24;
inline constexpr Row kRowsPerFault = 9;
inline constexpr std::uint32_t kFaultBlocks = 3;
inline constexpr RowRange kFaultRows{24, 50};
// Offsets inside a fault block.
namespace fault {
inline constexpr Row kHeading = 0;  // the fault number
inline constexpr Row kCode = 1;     // "code/status" in hex
inline constexpr Row kCounter = 2;
inline constexpr Row kTemperature = 3;
inline constexpr Row kFlameDetector = 4;
inline constexpr Row kVoltage = 5;
inline constexpr Row kFuelPump = 6;
inline constexpr Row kCombustionAirFan = 7;
inline constexpr Row kGlowPlug = 8;
}  // namespace fault
// Row `offset` of fault block `block` (0..2).
constexpr Row FaultRow(std::uint32_t block, Row offset) {
  return static_cast<Row>(kFirstFaultRow + kRowsPerFault * block + offset);
}
constexpr RowRange FaultBlock(std::uint32_t block) {
  return {FaultRow(block, 0), FaultRow(block, kRowsPerFault - 1)};
}
// Further values.
inline constexpr Row kCo2Value = 51;
inline constexpr Row kDeviceState = 52;
inline constexpr Row kOverheatFlag = 53;
inline constexpr Row kMinVoltageThreshold = 54;
inline constexpr Row kWorkingHours = 55;
inline constexpr Row kOperatingHours = 56;
inline constexpr Row kStartCount = 57;

// Rows that no telegram of the unit fills: hidden once the unit is identified, never shown
// as 0.
inline constexpr Row kNotDelivered[] = {kPumpInControlIdle, kWorkingHours, kOperatingHours,
                                        kStartCount};

}  // namespace heatdiag::d06::rows
