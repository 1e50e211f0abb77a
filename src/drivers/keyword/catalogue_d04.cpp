#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<32> t;
  t.Add({
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
      Celsius(kNameTemperature, 0x5001),
      Volts(kNameSupplyVoltage, 0x5001),
      OnOff(kNameFlameDetected, 0x5008),
      Ohms(kNameFlameDetector, 0x5002),
      OperatingState(),
      Ident(kNameHwVersion),
      Ident(kNameSwVersion),
      Ident(kNameFiatDrawingNumber),
      Ident(kNameFiatHomologationNumber),
      Ident(kNameIsoCodeVehicle),
      FaultCount(),
  });
  t.AddFaultBlocks(3, {FaultCode()});
  t.Add({
      Byte(kNameCo2Value, 0x1),
      DeviceState(),
      OnOff(kNameOverheatFlag, 0x8),
      Ident(kNameTesterInformationCode),
      Ident(kNameDateOfManufacture),
  });
  return t;
}();
static_assert(kCatalogue.Complete());

}  // namespace

ParameterCatalogue CatalogueD04() {
  return kCatalogue.rows;
}
StateNameTable StateTableD04() {
  return WaterHeaterStateTable();
}

}  // namespace heatdiag
