// The single-byte units that the older control units of several families send: supply voltage,
// flame detector resistance and the temperature sensor's characteristic.
#pragma once

#include <cstdint>

namespace heatdiag::kit {

// Supply voltage byte -> millivolts (x * 6826 / 100, rounded).
std::uint32_t OldVoltageToMilliVolt(std::uint8_t raw);
// Flame detector / glow plug resistance byte -> milliohms; 0 and bytes from 204 give 0.
std::uint32_t OldResistanceToMilliOhm(std::uint8_t raw);
// Temperature byte -> degrees Celsius from the sensor's 34-point characteristic (the raw value
// falls as the temperature rises): -40 at or above raw 241, 125 at or below raw 24, linear in
// between, + 0.5 and truncated toward zero.
int OldTemperatureToCelsius(std::uint8_t raw);

}  // namespace heatdiag::kit
