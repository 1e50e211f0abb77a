#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

using namespace rows;

// Row 8, the fault count, is what the fault clearing reads between its attempts.
constexpr auto kCatalogue = [] {
  CatalogueTable<26> t;
  t.Add({
      Ident(kNamePartNumber),
      Ident(kNameTestProgramNumber),
      Ident(kNameDeviceName),
      Celsius(kNameTemperature, 0x5001),
      OnOff(kNameFlameDetected, 0x5008),
      Volts(kNameSupplyVoltage, 0x5001),
      Text(kNameActualOperatingState, 80, kViewLog | kViewStates),
      Text(kNamePreviousOperatingState, 80, kViewStates),
      FaultCount(),
      Count(kNameCurrentFault, kViewStates),
      Text(kNameCode, 10, kViewStates),
  });
  t.AddFaultBlocks(7, {FaultCode()});
  t.Add(DeviceState());
  return t;
}();
static_assert(kCatalogue.Complete());

// An early air heater: program start and self test, glowing and ignition, combustion in two
// loads, the after-runs, and the fault and interlock states.
constexpr auto kStates = [] {
  StateTable<29> t;
  t.AddRun(0x00, {kStStart, kStTest, kStAa});
  t.AddSteps(0x03, kStVg, {1, 2});
  t.AddRun(0x05, {kStGke,  kStZue,  kStFls, kStAst,  kStSz, kStBb,  kStTl,  kStVlFullLoad,
                  kStTlvl, kStVltl, kStBp,  kStLrg,  kStNl, kStNlt, kStNlv, kStNlfa,
                  kStNlfh, kStSt,   kStSa,  kStUehv, kStV,  kStWtr, kStW75, kStBm25});
  return t;
}();
static_assert(kStates.Complete());

}  // namespace

ParameterCatalogue CatalogueD12() {
  return kCatalogue.rows;
}
StateNameTable StateTableD12() {
  return kStates.entries;
}

}  // namespace heatdiag
