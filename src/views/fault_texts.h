// The fault vocabulary: short text and long description of a fault code, and the text of a
// fault state. The fault list, the summary report and the command line all read these.
#pragma once

#include <cstdint>
#include <string>

namespace heatdiag {

inline constexpr std::uint32_t kFaultShortTextBase = 12000;    // + fault code 0..255
inline constexpr std::uint32_t kFaultDescriptionBase = 13000;  // + fault code 0..255
inline constexpr std::uint32_t kFaultStateTextBase = 18000;    // + fault state 0..4
inline constexpr std::int64_t kFaultCodeMax = 255;
inline constexpr std::int64_t kFaultStateMax = 4;
inline constexpr std::size_t kFaultDescriptionMaxChars = 1023;

// "No error", "Fault 28", "Customer specific fault 1", ...; "?" for a code outside 0..255.
std::string FaultShortText(std::int64_t code);

// The long description (at most 1023 characters, lines split by '\n'); "?" outside 0..255.
std::string FaultDescription(std::int64_t code);

// "not actual, not stored" ... "not actual" for the states 0..4; "?" for any other state.
std::string FaultStateText(std::int64_t state);

}  // namespace heatdiag
