#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<58> t;
  t.Add({
      Percent(kNameCombustionAirFan),                 // 0
      Percent(kNameGlowPlug),                         // 1
      PumpFrequency(kNameFuelPump),                   // 2
      OnOff(kNameMainSwitch, 0x5002),                 // 3
      OnOff(kNameSupplementalHeaterRequest, 0x5002),  // 4
      OnOff(kNameSummer, 0x5002),                     // 5
      OnOff(kNameCombustionAirFan, 0x8),              // 6
      OnOff(kNameGlowPlug, 0x8),                      // 7
      OnOff(kNameFuelPump, 0x8),                      // 8
      OnOff(kNameCirculatingPump, 0x8),               // 9
      OnOff(kNameVehicleFanRelay, 0x5008),            // 10
      Ident(kNameFuelType),                           // 11
      Ident(kNamePumpInControlIdle),                  // 12
      Celsius(kNameTemperature, 0x5001),              // 13
      Volts(kNameSupplyVoltage, 0x5001),              // 14
      OnOff(kNameFlameDetected, 0x5008),              // 15
      Ohms(kNameFlameDetector, 0x5002),               // 16
      OperatingState(),                               // 17
      Ident(kNameDeviceId),                           // 18
      Ident(kNameDatasetId),                          // 19
      Ident(kNameHwVersion),                          // 20
      Ident(kNameSwVersion),                          // 21
      // 9 characters and eleven hex fields: 41 characters.
      Ident(kNameCustomerId, 48),  // 22
      FaultCount(),                // 23
  });
  // Rows 24-50; the heading holds the fault number, the code row "code/status" in hex.
  t.AddFaultBlocks(3, {
                          FaultCode(),
                          FaultCounter(),
                          FaultTemperature(),
                          Byte(kNameFaultFlameDetector, kViewFaultDetail),
                          FaultVoltage(),
                          Byte(kNameFaultFuelPump, kViewFaultDetail),
                          Byte(kNameFaultCombustionAirFan, kViewFaultDetail),
                          Byte(kNameFaultGlowPlug, kViewFaultDetail),
                      });
  t.Add({
      Byte(kNameCo2Value, 0x1),                 // 51
      DeviceState(),                            // 52
      OnOff(kNameOverheatFlag, 0x8),            // 53
      Volts(kNameMinVoltageThreshold, 0x2040),  // 54
      HoursMinutes(kNameWorkingHours),          // 55
      HoursMinutes(kNameOperatingHours),        // 56
      Count(kNameStartCount, 0x2020),           // 57
  });
  return t;
}();
static_assert(kCatalogue.Complete());

}  // namespace

ParameterCatalogue CatalogueD06() {
  return kCatalogue.rows;
}
StateNameTable StateTableD06() {
  return WaterHeaterStateTable();
}

}  // namespace heatdiag
