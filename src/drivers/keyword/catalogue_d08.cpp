#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<49> t;
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
      OnOff(kNameCirculatingPump, 0x8),
      OnOff(kNameOperationIndicator, 0x5008),
      OnOff(kNameVehicleFanRelay, 0x5008),
      OnOff(kNameMainSwitch, 0x5002),
      OnOff(kNameAuxiliaryDrive, 0x2),
      OnOff(kNameGeneratorSignal, 0x2),
      OnOff(kNameFlameDetected, 0x5008),
      OnOff(kNameAdrMode, 0x2),
      OperatingState(),
      DeviceState(),
      FaultCount(),
  });
  t.AddFaultBlocks(5, {FaultCode(), FaultStateRow(),
                       Count(kNameOperatingHourCounter, kViewFaultDetail, kUnitHour)});
  t.Add({
      Count(kNameTimeLowPower, 0x2020, kUnitHour),
      Count(kNameTimeMiddlePower, 0x2020, kUnitHour),
      Count(kNameTimeHighPower, 0x2020, kUnitHour),
      Count(kNameTimeBoostPower, 0x2020, kUnitHour),
      Count(kNameGlowPlugCycles, 0x2020),
  });
  return t;
}();
static_assert(kCatalogue.Complete());

// An air heater: supply checks, glowing (two steps) and start, combustion in its power stages, the
// after-runs of either fuel, then lock-outs and service states.
constexpr auto kStates = [] {
  StateTable<44> t;
  t.AddRun(0x00, {kStInit, kStAa, kStTa, kStVus, kStVlv, kStVlu});
  t.AddSteps(0x06, kStVg, {1, 2});
  t.AddRun(0x08, {kStGke, kStBsv, kStZue});
  t.AddSteps(0x0B, kStSz, {1, 2});
  t.AddRun(0x0D, {kStRsz,  kStFs,    kStHl,   kStBb,  kStTlvl, kStVlFullLoad, kStVltl,    kStTl,
                  kStBp,   kStBoost, kStLue,  kStNa,  kStNad,  kStNab,        kStNadrv,   kStNadsl,
                  kStNada, kStNadv,  kStNabv, kStNae, kStNrp,  kStNtlrp,      kStNst,     kStUehv,
                  kStUehe, kStUeha,  kStHgv,  kStHge, kStSv,   kStDiag,       kStStromlos});
  return t;
}();
static_assert(kStates.Complete());

}  // namespace

ParameterCatalogue CatalogueD08() {
  return kCatalogue.rows;
}
StateNameTable StateTableD08() {
  return kStates.entries;
}

}  // namespace heatdiag
