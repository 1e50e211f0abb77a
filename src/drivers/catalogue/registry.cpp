#include "drivers/catalogue/parameter.h"

namespace heatdiag {

ParameterCatalogue DriverCatalogue(std::uint32_t /*device*/) {
  return {};
}

StateNameTable DriverStateTable(std::uint32_t /*device*/) {
  return {};
}

}  // namespace heatdiag
