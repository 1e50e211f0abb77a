// Numbers typed into the service dialogs. A whole number is a run of decimal digits at the start
// of the text; a fixed-point entry is such a run optionally followed by "," or "." and up to N
// fractional digits, scaled by 10 to the power N. Whatever follows is not read. Leading blanks
// are passed over. Values too large for the result saturate, so that a range check refuses them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace heatdiag::service {

inline constexpr std::uint64_t kEntrySaturation = 1'000'000'000'000'000ULL;

// nullopt when the text starts with no digit.
std::optional<std::uint64_t> ParseWholeNumber(std::string_view text);

// nullopt when no digit was read, before or after the separator ("0,5" and ",5" are both
// half a unit). Fractional digits beyond `decimals` are not read; missing ones count as 0.
std::optional<std::uint64_t> ParseFixedPoint(std::string_view text, unsigned decimals);

}  // namespace heatdiag::service
