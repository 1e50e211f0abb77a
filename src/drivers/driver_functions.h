// The function numbers that a driver's IsFunctionAvailable (record slot 7) answers for: whether
// the selected heater offers a command of the tester. Some numbers answer with a count or a
// variant rather than a flag (kFnClearFaults: the number of fault slots).
#pragma once

#include <cstdint>

namespace heatdiag {

enum DriverFunction : std::uint32_t {
  kFnComponentTest = 0,
  kFnFuelPrime = 1,
  kFnClearFaults = 2,
  kFnOn = 3,
  kFnOff = 4,
  kFnParkingHeating = 5,
  kFnSupplementalHeating = 6,
  kFnVentilating = 7,
  kFnBoost = 8,
  kFnPumpExternal = 9,
  kFnCo2 = 10,
  kFnCo2Cold = 11,
  kFnVoltageAdjustment = 12,
  kFnFlameSensorAdjustment = 13,
  kFnDataset = 14,
  kFnBlockMode = 15,
  kFnFreeTelegram = 16,
  kFnDebugMode = 17,
  kFnOwnComponentTest = 18,
};
inline constexpr std::uint32_t kDriverFunctionCount = 19;

}  // namespace heatdiag
