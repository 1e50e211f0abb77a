#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"

namespace heatdiag {
namespace {

using namespace rows;

// The operating state of this unit is one of the mode texts (10521-10538), not a state code.
constexpr auto kCatalogue = [] {
  CatalogueTable<22> t;
  t.Add({
      Volts(kNameSupplyVoltage, 0x5001),
      Celsius(kNameTemperature, 0x5001),
      Percent(kNameGlowPlug),
      Percent(kNameFuelPump),
      Percent(kNameCombustionAirFan),
      OnOff(kNameCombustionAirFan, 0x8),
      OnOff(kNameGlowPlug, 0x8),
      OnOff(kNameFuelPump, 0x8),
      OnOff(kNameCirculatingPump, 0x8),
      OnOff(kNameVehicleFanRelay, 0x5008),
      Ident(kNameCustomerId, 48),
      OperatingState(),
      FaultCount(),
  });
  t.AddFaultBlocks(4, {FaultCode()});
  t.Add(DeviceState());
  return t;
}();
static_assert(kCatalogue.Complete());

}  // namespace

ParameterCatalogue CatalogueD02() {
  return kCatalogue.rows;
}

}  // namespace heatdiag
