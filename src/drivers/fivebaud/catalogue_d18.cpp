#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<51> t;
  t.Add({
      Ident(kNameKelvarIdent),
      Ident(kNameHwVersion, 20, kUnitWeekYear),
      Ident(kNameSwVersion, 20, kUnitWeekYear),
      Volts(kNameSupplyVoltage, 0x5001),
      Celsius(kNameTemperature, 0x5001),
      Ohms(kNameFlameDetector, 0x5002),
      OnOff(kNameFlameDetected, 0x5008),
      Ident(kNameFuelType),
      OnOff(kNameMainSwitch, 0x5002),
      OnOff(kNameCombustionAirFan, 0x8),
      OnOff(kNameGlowPlug, 0x8),
      OnOff(kNameFuelPump, 0x8),
      OperatingState(),
      DeviceState(),
      FaultCount(),
  });
  t.AddFaultBlocks(9, {FaultCode(), FaultOperatingState(), FaultCounter()});
  return t;
}();
static_assert(kCatalogue.Complete());

// An air heater without step numbers: the codes run through its start, combustion and
// after-run phases.
constexpr auto kStates = [] {
  StateTable<27> t;
  t.AddRun(0x00,
           {kStInit, kStAus,  kStTa,  kStAhs, kStVhs,  kStVg,         kStGke,  kStBsv, kStZue,
            kStSz,   kStRsz,  kStFls, kStTl,  kStTlvl, kStVlFullLoad, kStVltl, kStBp,  kStNlt,
            kStNlv,  kStNlfa, kStNgb, kStNgd, kStSt,   kStSa,         kStUehv, kStV,   kStDiag});
  return t;
}();
static_assert(kStates.Complete());

}  // namespace

ParameterCatalogue CatalogueD18() {
  return kCatalogue.rows;
}
StateNameTable StateTableD18() {
  return kStates.entries;
}

}  // namespace heatdiag
