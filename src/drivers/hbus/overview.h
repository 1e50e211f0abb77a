// The overview schematic of the H-Bus heaters: 86 display elements bound to catalogue rows.
#pragma once

#include <span>

#include "views/overview_element.h"

namespace heatdiag::hbus {

inline constexpr std::size_t kOverviewElements = 86;

std::span<const OverviewElement> HBusOverview();

}  // namespace heatdiag::hbus
