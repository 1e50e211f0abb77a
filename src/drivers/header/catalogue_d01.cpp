#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<37> t;
  t.Add({
      Ident(kNameCustomerId, 48),
      Ident(kNameFuelType),
      Ident(kNameDateOfManufacture, 20, kUnitWeekYear),
      Ident(kNameSwVersion),
      Volts(kNameSupplyVoltage, 0x5001),
      Celsius(kNameTemperature, 0x5001),
      Ohms(kNameFlameDetector, 0x5002),
      Percent(kNameCombustionAirFan),
      Percent(kNameGlowPlug),
      PumpFrequency(kNameFuelPump),
      OnOff(kNameCombustionAirFan, 0x8),
      OnOff(kNameGlowPlug, 0x8),
      OnOff(kNameFuelPump, 0x8),
      OnOff(kNameCirculatingPump, 0x8),
      OnOff(kNameVehicleFanRelay, 0x5008),
      OnOff(kNameMainSwitch, 0x5002),
      OnOff(kNameSupplementalHeaterRequest, 0x5002),
      OnOff(kNameFlameDetected, 0x5008),
      OnOff(kNameOverheatFlag, 0x8),
      OperatingState(),
      DeviceState(),
      FaultCount(),
  });
  t.AddFaultBlocks(3, {FaultCode(), FaultCounter(), FaultTemperature(), FaultOperatingState()});
  return t;
}();
static_assert(kCatalogue.Complete());

}  // namespace

ParameterCatalogue CatalogueD01() {
  return kCatalogue.rows;
}
StateNameTable StateTableD01() {
  return WaterHeaterStateTable();
}

}  // namespace heatdiag
