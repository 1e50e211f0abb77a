// The supply-voltage and glow-plug calibrations: the value the technician measured, typed in
// units with up to three decimals (comma or point), checked against the range the control units
// accept, and sent in milli-units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace heatdiag::service {

enum class Calibration { kVoltage, kGlowPlug };

struct CalibrationRange {
  std::uint32_t lowest;     // milli-units, inclusive
  std::uint32_t highest;    // milli-units, inclusive
  std::uint32_t messageId;  // the message for a value outside or unreadable
};

CalibrationRange RangeOf(Calibration calibration);

// Only this many characters of the entry are read.
inline constexpr std::size_t kCalibrationEntryChars = 15;

// The entry in milli-units, or nullopt when no digit was read or it is out of range.
std::optional<std::uint16_t> ParseCalibrationEntry(Calibration calibration, std::string_view text);

// A stored value in milli-units shown as units with three decimals ("12.000").
std::string FormatMilli(std::int32_t milli);

// The setting that keeps the last accepted value (AdjVoltage or AdjGlowPlug).
std::int32_t& CalibrationSetting(Calibration calibration);

// Accepted entries are stored into their setting and sent with the selected driver (which must
// have a running session). False when no session runs; nothing is stored then.
bool SendCalibration(Calibration calibration, std::uint16_t milli);

}  // namespace heatdiag::service
