#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

using namespace rows;

constexpr auto kCatalogue = [] {
  CatalogueTable<27> t;
  t.Add({
      Ident(kNamePartNumber),
      Ident(kNameTestProgramNumber),
      Ident(kNameDeviceName),
      Celsius(kNameTemperature, 0x5001),
      // The flame detector's state as a text (strings 18100-18106).
      Text(kNameFlameDetector, 20, kViewLog | kViewInputs),
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

// The states of D12, followed by those of the later firmware with flame sensor.
constexpr auto kStates = [] {
  StateTable<48> t;
  t.AddRun(0x00, {kStStart, kStTest, kStAa});
  t.AddSteps(0x03, kStVg, {1, 2});
  t.AddRun(0x05, {kStGke,  kStZue,  kStFls, kStAst,  kStSz, kStBb,  kStTl,  kStVlFullLoad,
                  kStTlvl, kStVltl, kStBp,  kStLrg,  kStNl, kStNlt, kStNlv, kStNlfa,
                  kStNlfh, kStSt,   kStSa,  kStUehv, kStV,  kStWtr, kStW75, kStBm25});
  t.AddRun(0x1D, {kStKpp, kStAkp, kStBt, kStNi, kStSzfa, kStEepr, kStAtv, kStAdv, kStZsnus, kStFsaa,
                  kStUpfa, kStNgb, kStNgd, kStAfs2, kStHl, kStVhs, kStHsa, kStRsz, kStBsv});
  return t;
}();
static_assert(kStates.Complete());

}  // namespace

ParameterCatalogue CatalogueD15() {
  return kCatalogue.rows;
}
StateNameTable StateTableD15() {
  return kStates.entries;
}

}  // namespace heatdiag
