#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<34> t;
  t.Add({
      Percent(kNameGlowPlug),
      PumpFrequency(kNameFuelPump),
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
      Ohms(kNameFlameDetector, 0x5002),
      OperatingState(),
      Ident(kNameHwVersion),
      Ident(kNameSwVersion),
      Ident(kNameCustomerId, 48),
      FaultCount(),
  });
  t.AddFaultBlocks(3, {FaultCode(), FaultCounter(), FaultTemperature(), FaultOperatingState()});
  t.Add(DeviceState());
  return t;
}();
static_assert(kCatalogue.Complete());

// A water heater without main switch: one pass from initialisation through start,
// combustion, control idle and after-run, then the lock-out and service states.
constexpr auto kStates = [] {
  StateTable<36> t;
  t.AddRun(0x00, {kStInit, kStAus, kStSpue});
  t.AddSteps(0x03, kStVgl, {1, 2, 3});
  t.Add(0x06, kStSta);
  t.AddSteps(0x07, kStBfoe, {1, 2});
  t.Add(0x09, kStZue);
  t.AddSteps(0x0A, kStFlm, {1, 2});
  t.AddRun(0x0C, {kStStab, kStBbvl, kStBbtl, kStLvt, kStLtv, kStRp, kStUp});
  t.AddSteps(0x13, kStAbr, {1, 2, 3});
  t.AddRun(0x16, {kStKueg, kStNl, kStStv, kStHgv, kStUehv, kStLue});
  t.AddSteps(0x1C, kStFla, {1, 2});
  t.AddRun(0x1E, {kStBu, kStZgl, kStDiag, kStKomp, kStStromlos, kStFsa});
  return t;
}();
static_assert(kStates.Complete());

}  // namespace

ParameterCatalogue CatalogueD07() {
  return kCatalogue.rows;
}
StateNameTable StateTableD07() {
  return kStates.entries;
}

}  // namespace heatdiag
