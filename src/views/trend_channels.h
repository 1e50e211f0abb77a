// The Actual values graph's link to the store: which items become its channels, the
// configuration built from them, a sample of a channel, the channel items' menu texts and the
// operating-state item watched for the state markers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "views/trend_buffer.h"

namespace heatdiag {

inline constexpr std::size_t kTrendMenuNameChars = 99;

// The present items of category 0x1000 in store order, at most 20.
std::vector<std::uint32_t> CollectTrendItems();

// The configuration of these items: each channel's lower, upper and third value (store
// selectors 0x10000, 0x20000, 0x40000) as doubles, its short name and its unit.
TrendConfig BuildTrendConfig(const std::vector<std::uint32_t>& items);

// The current value of an item as a double; not-a-number while the item is not shown, so that
// a value the control unit does not deliver leaves a gap instead of a line at 0.
double ReadTrendSample(std::uint32_t item);

// Text of the menu item of channel k: "." when the graph is closed or has no channel k;
// otherwise the long name, or "long (short)" when the short name differs.
std::string TrendChannelMenuText(bool graphOpen, const std::vector<std::uint32_t>& items,
                                 std::uint32_t channel);

// The store row of the device's operating-state text, if its catalogue has one.
std::optional<std::uint32_t> OperatingStateItem(std::uint32_t device);

}  // namespace heatdiag
