#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<41> t;
  t.Add({
      Percent(kNameCombustionAirFan),
      Percent(kNameFuelPump),
      Percent(kNameGlowPlug),
      OnOff(kNameMainSwitch, 0x5002),
      OnOff(kNameSupplementalHeaterRequest, 0x5002),
      OnOff(kNameSummer, 0x5002),
      OnOff(kNameCombustionAirFan, 0x8),
      OnOff(kNameGlowPlug, 0x8),
      OnOff(kNameFuelPump, 0x8),
      OnOff(kNameCirculatingPump, 0x8),
      OnOff(kNameVehicleFanRelay, 0x5008),
      Celsius(kNameTemperature, 0x5001),
      Volts(kNameSupplyVoltage, 0x5001),
      OnOff(kNameFlameDetected, 0x5008),
      Ohms(kNameFlameDetector, 0x5002),
      OperatingState(),
      Ident(kNameDrawingNumber),
      Ident(kNameKelvarNumber),
      Ident(kNameSwVersion),
      Volts(kNameMinVoltageThreshold, 0x2040),
      HoursMinutes(kNameWorkingHours),
      HoursMinutes(kNameOperatingHours),
      Count(kNameStartCount, 0x2020),
      FaultCount(),
  });
  t.AddFaultBlocks(3, {FaultCode(), FaultVoltage(), FaultTemperature(), FaultStateRow()});
  t.Add({
      Byte(kNameCo2Value, 0x1),
      DeviceState(),
  });
  return t;
}();
static_assert(kCatalogue.Complete());

}  // namespace

ParameterCatalogue CatalogueD05() {
  return kCatalogue.rows;
}
StateNameTable StateTableD05() {
  return WaterHeaterStateTable();
}

}  // namespace heatdiag
