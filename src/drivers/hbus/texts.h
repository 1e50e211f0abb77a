// String ids of the H-Bus driver's own texts (drivers/hbus/texts.cpp). The transport's texts
// that the driver shows as well ("Invalid message length!", ...) are the link's (link_texts.h).
#pragma once

#include <cstdint>

namespace heatdiag::hbus {

inline constexpr std::uint32_t kTextVersionNotImplemented = 31500;
inline constexpr std::uint32_t kTextFlashLoader = 31501;
inline constexpr std::uint32_t kTextDebugNotStarted = 31502;
// Section captions of the overview schematic.
inline constexpr std::uint32_t kTextOverviewMeasured = 31504;
inline constexpr std::uint32_t kTextOverviewActuators = 31505;
inline constexpr std::uint32_t kTextOverviewComponents = 31506;
inline constexpr std::uint32_t kTextOverviewInputs = 31507;
// Component test entries without a catalogue row.
inline constexpr std::uint32_t kTextYellowLed = 11089;
inline constexpr std::uint32_t kTextGreenLed = 11090;
inline constexpr std::uint32_t kTextOperationIndicator = 11091;

}  // namespace heatdiag::hbus
