// Unit conversions of H-Bus control units before protocol version 3.0, which send voltages,
// resistances and temperatures as single raw bytes.
#pragma once

#include <cstdint>

namespace heatdiag::hbus {

// Supply voltage byte -> millivolts (x * 6826 / 100, rounded).
std::uint32_t OldVoltageToMilliVolt(std::uint8_t raw);
// Millivolts -> supply voltage byte, clamped to 0..255.
std::uint8_t MilliVoltToOldVoltage(std::uint32_t milliVolt);

// Flame detector / glow plug resistance byte -> milliohms; 0 and bytes from 204 give 0.
std::uint32_t OldResistanceToMilliOhm(std::uint8_t raw);
// Milliohms -> resistance byte, clamped to 0..255.
std::uint8_t MilliOhmToOldResistance(std::uint32_t milliOhm);

// Temperature byte -> degrees Celsius, from the sensor's characteristic (the raw value falls as
// the temperature rises); -40 at or above raw 241, 125 at or below raw 24.
int OldTemperatureToCelsius(std::uint8_t raw);

}  // namespace heatdiag::hbus
