#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<37> t;
  t.Add({
      Ident(kNameKelvarIdent),
      Ident(kNameDateOfManufacture, 20, kUnitWeekYear),
      Ident(kNameDeviceName),
      Ident(kNameFuelType),
      Ident(kNameSupplySystem),
      Volts(kNameSupplyVoltage, 0x5001),
      Percent(kNameHeatingEnergy, 0x5001),
      Celsius(kNameSetTemperature, 0x5002),
      Celsius(kNameCurrentTemperature, 0x5001),
      Ohms(kNameFlameDetector, 0x5002),
      OnOff(kNameCombustionAirFan, 0x8),
      OnOff(kNameGlowPlug, 0x8),
      OnOff(kNameFuelPump, 0x8),
      OnOff(kNameMainSwitch, 0x5002),
      OnOff(kNameAuxiliaryDrive, 0x2),
      OnOff(kNameGeneratorSignal, 0x2),
      OnOff(kNameFlameDetected, 0x5008),
      OnOff(kNameAdrMode, 0x2),
      DeviceState(),
      FaultCount(),
  });
  t.AddFaultBlocks(5, {FaultCode(), FaultStateRow()});
  t.Add({
      Count(kNameWorkingHours, 0x2020, kUnitHour),
      Count(kNameGlowPlugCycles, 0x2020),
  });
  return t;
}();
static_assert(kCatalogue.Complete());

}  // namespace

ParameterCatalogue CatalogueD09() {
  return kCatalogue.rows;
}

}  // namespace heatdiag
