#include <array>

#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/hbus/catalogue.h"

namespace heatdiag {
namespace {

struct DeviceTables {
  ParameterCatalogue (*catalogue)();
  StateNameTable (*states)();  // nullptr: the record has no operating-state table
};

// In device table order, D00..D18.
constexpr std::array<DeviceTables, kDeviceCount> kDevices = {{
    {HBusCatalogue, HBusStateTableV3},  // D00
    {CatalogueD01, StateTableD01},     {CatalogueD02, nullptr},       {CatalogueD03, StateTableD03},
    {CatalogueD04, StateTableD04},     {CatalogueD05, StateTableD05},  // D05
    {CatalogueD06, StateTableD06},     {CatalogueD07, StateTableD07}, {CatalogueD08, StateTableD08},
    {CatalogueD09, nullptr},           {CatalogueD10, StateTableD10},  // D10
    {CatalogueD10, StateTableD10},                                     // D11 shares D10's module
    {CatalogueD12, StateTableD12},     {CatalogueD13, nullptr},       {CatalogueD14, StateTableD14},
    {CatalogueD15, StateTableD15},                               // D15
    {CatalogueD16, nullptr},           {CatalogueD16, nullptr},  // D17 shares D16's module
    {CatalogueD18, StateTableD18},
}};

}  // namespace

ParameterCatalogue DriverCatalogue(std::uint32_t device) {
  if (device >= kDeviceCount) return {};
  return kDevices[device].catalogue();
}

StateNameTable DriverStateTable(std::uint32_t device) {
  if (device >= kDeviceCount || kDevices[device].states == nullptr) return {};
  return kDevices[device].states();
}

}  // namespace heatdiag
