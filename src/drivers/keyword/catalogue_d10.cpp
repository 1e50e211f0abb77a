#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

using namespace rows;

// Shared by D10 and D11, which differ only in their link addresses.
constexpr auto kCatalogue = [] {
  CatalogueTable<39> t;
  t.Add({
      Volts(kNameSupplyVoltage, 0x5001),
      Percent(kNameHeatingEnergy, 0x5001),
      Celsius(kNameSetTemperature, 0x5002),
      Celsius(kNameCurrentTemperature, 0x5001),
      Ohms(kNameFlameDetector, 0x5002),
      OnOff(kNameMainSwitch, 0x5002),
      OnOff(kNameAuxiliaryDrive, 0x2),
      OnOff(kNameGeneratorSignal, 0x2),
      OnOff(kNameFlameDetected, 0x5008),
      OnOff(kNameAdrMode, 0x2),
      OnOff(kNameCombustionAirFan, 0x8),
      OnOff(kNameFuelPump, 0x8),
      OnOff(kNameGlowPlug, 0x8),
      OnOff(kNameCirculatingPump, 0x8),
      OnOff(kNameVehicleFanRelay, 0x5008),
      OnOff(kNameOperationIndicator, 0x5008),
      OperatingState(),
      DeviceState(),
      FaultCount(),
  });
  t.AddFaultBlocks(5, {FaultCode(), FaultStateRow()});
  t.Add({
      Ident(kNameTesterInformationCode),
      Ident(kNameManNumber),
      Ident(kNameKelvarNumber),
      Ident(kNameSupplierSwNumber),
      Ident(kNameDateOfManufacture),
  });
  return t;
}();
static_assert(kCatalogue.Complete());

// The air heater states of D08, followed by the interrogation, storage and after-run states
// of the later firmware.
constexpr auto kStates = [] {
  StateTable<73> t;
  t.AddRun(0x00, {kStInit, kStAa, kStTa, kStVus, kStVlv, kStVlu});
  t.AddSteps(0x06, kStVg, {1, 2});
  t.AddRun(0x08, {kStGke, kStBsv, kStZue});
  t.AddSteps(0x0B, kStSz, {1, 2});
  t.AddRun(0x0D, {kStRsz,  kStFs,    kStHl,   kStBb,  kStTlvl, kStVlFullLoad, kStVltl,    kStTl,
                  kStBp,   kStBoost, kStLue,  kStNa,  kStNad,  kStNab,        kStNadrv,   kStNadsl,
                  kStNada, kStNadv,  kStNabv, kStNae, kStNrp,  kStNtlrp,      kStNst,     kStUehv,
                  kStUehe, kStUeha,  kStHgv,  kStHge, kStSv,   kStDiag,       kStStromlos});
  t.AddRun(0x2C,
           {kStAwb, kStAhs,  kStEep, kStTrs,  kStEnt,  kStUnf,  kStSnmv, kStFsamv, kStZsnmv, kStVhs,
            kStHsa, kStAfs2, kStNgb, kStNgd,  kStNlfa, kStSt,   kStSa,   kStStart, kStTest,  kStAst,
            kStFls, kStLrg,  kStNi,  kStSzfa, kStNlfh, kStEepr, kStAtv,  kStAdv,   kStZsnus});
  return t;
}();
static_assert(kStates.Complete());

}  // namespace

ParameterCatalogue CatalogueD10() {
  return kCatalogue.rows;
}
StateNameTable StateTableD10() {
  return kStates.entries;
}

}  // namespace heatdiag
