#include "drivers/hbus/record.h"

#include "drivers/hbus/overview.h"

namespace heatdiag::hbus::record {

std::uint32_t GetOverviewElements(const OverviewElement** elements) {
  const auto table = HBusOverview();
  if (elements != nullptr) *elements = table.data();
  return static_cast<std::uint32_t>(table.size());
}

}  // namespace heatdiag::hbus::record
