// The byte conversions of units before protocol 3.0, in the direction the unit needs them:
// from a physical value to the byte it sends.
#pragma once

#include <cstdint>

namespace heatsim {

// Temperature through the 34-point sensor table; the byte falls as the temperature rises.
std::uint8_t OldTemperatureByte(double celsius);
// Supply voltage: one step is 68.26 mV.
std::uint8_t OldVoltageByte(int millivolts);
int OldVoltageMv(std::uint8_t raw);
// Flame detector / glow plug resistance on the divider of the old units.
std::uint8_t OldResistanceByte(int milliohms);
int OldResistanceMohm(std::uint8_t raw);

}  // namespace heatsim
