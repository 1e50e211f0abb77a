#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<54> t;
  t.Add({
      Ident(kNameKelvarIdent),
      Ident(kNameCustomerId, 48),
      Ident(kNameDateOfManufacture, 20, kUnitWeekYear),
      Ident(kNameHwVersion),
      Ident(kNameSwVersion),
      Ident(kNameTestProgramNumber),
      Ident(kNameDeviceName),
      Volts(kNameSupplyVoltage, 0x5001),
      Volts(kNameTemperatureSensorVoltage, 0x5002),
      Volts(kNameFlameSensorVoltage, 0x5002),
      Volts(kNameFanVoltage, 0x5004),
      Celsius(kNameCurrentTemperature, 0x5001),
      Celsius(kNameUpperThreshold, 0x40),
      Celsius(kNameLowerThreshold, 0x40),
      // The flame detector's state as a text ("light", "dark", ...).
      Text(kNameFlameDetector, 20, kViewLog | kViewInputs),
      OnOff(kNameEconomicMode, 0x2),
      OnOff(kNameSupplementalHeaterRequest, 0x5002),
      OnOff(kNameCirculatingPumpExternal, 0x2),
      OnOff(kNameMainSwitch, 0x5002),
      OnOff(kNameSolenoidValve, 0x5008),
      OnOff(kNameSparkTransmitter, 0x5008),
      OnOff(kNameCirculatingPump, 0x8),
      OnOff(kNameCombustionAirFan, 0x8),
      OnOff(kNameFlameIndicator, 0x5008),
      OnOff(kNameOperationIndicator, 0x5008),
      OnOff(kNameThermalFuse, 0x8),
      OperatingState(),
      DeviceState(),
      FaultCount(),
  });
  t.AddFaultBlocks(7, {FaultCode(), FaultCounter()});
  t.Add({
      HoursMinutes(kNameOperatingHours),
      HoursMinutes(kNamePumpOperatingTime),
      HoursMinutes(kNameWorkingHours),
      Count(kNameStartCount, 0x2020),
  });
  return t;
}();
static_assert(kCatalogue.Complete());

// A burner heater with solenoid valve and spark ignition: stray-light check, prestart and
// ignition, combustion for parking or supplemental heating, the after-runs, the circulating
// pump states, then lock-outs and service states.
constexpr auto kStates = [] {
  StateTable<50> t;
  t.AddRun(0x00,
           {kStInit, kStUpI,  kStAus,  kStFl,   kStVl,   kStVz,   kStFz,    kStFs,    kStBbs,
            kStBbz,  kStBss,  kStBsz,  kStAn,   kStRpn,  kStSn,   kStZsn,   kStStvu,  kStRps,
            kStRpz,  kStRpzu, kStUp,   kStWsue, kStFsa,  kStWs,   kStKomp,  kStHgv,   kStHgvp,
            kStHge,  kStHva,  kStUehv, kStUehe, kStUeha, kStSnmv, kStFsamv, kStZsnmv, kStStromlos,
            kStDiag, kStEep,  kStApp,  kStUpr,  kStHlr,  kStSiz,  kStSpue});
  t.AddSteps(0x2B, kStFla, {1, 2});
  t.AddSteps(0x2D, kStFlm, {1, 2});
  t.AddRun(0x2F, {kStVfoe, kStAbver, kStZst});
  return t;
}();
static_assert(kStates.Complete());

}  // namespace

ParameterCatalogue CatalogueD14() {
  return kCatalogue.rows;
}
StateNameTable StateTableD14() {
  return kStates.entries;
}

}  // namespace heatdiag
