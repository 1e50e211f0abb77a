#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<44> t;
  t.Add({
      Percent(kNameCombustionAirFan),
      Percent(kNameGlowPlug),
      PumpFrequency(kNameFuelPump),
      OnOff(kNameMainSwitch, 0x5002),
      OnOff(kNameSupplementalHeaterRequest, 0x5002),
      OnOff(kNameSummer, 0x5002),
      OnOff(kNameCombustionAirFan, 0x8),
      OnOff(kNameGlowPlug, 0x8),
      OnOff(kNameFuelPump, 0x8),
      OnOff(kNameCirculatingPump, 0x8),
      OnOff(kNameVehicleFanRelay, 0x5008),
      Ident(kNameFuelType),
      Ident(kNamePumpInControlIdle),
      Celsius(kNameTemperature, 0x5001),
      Volts(kNameSupplyVoltage, 0x5001),
      OnOff(kNameFlameDetected, 0x5008),
      Ohms(kNameFlameDetector, 0x5002),
      OperatingState(),
      Ident(kNameHwVersion),
      Ident(kNameSwVersion),
      Ident(kNameCustomerId, 48),
      FaultCount(),
  });
  t.AddFaultBlocks(3, {FaultCode(), FaultCounter(), FaultTemperature(), FaultOperatingState()});
  t.Add({
      Byte(kNameCo2Value, 0x1),
      DeviceState(),
      OnOff(kNameOverheatFlag, 0x8),
      Volts(kNameMinVoltageThreshold, 0x2040),
      HoursMinutes(kNameWorkingHours),
      HoursMinutes(kNameOperatingHours),
      Count(kNameStartCount, 0x2020),
  });
  return t;
}();
static_assert(kCatalogue.Complete());

}  // namespace

ParameterCatalogue CatalogueD03() {
  return kCatalogue.rows;
}
StateNameTable StateTableD03() {
  return WaterHeaterStateTable();
}

}  // namespace heatdiag
