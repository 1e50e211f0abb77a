#include "drivers/hbus/catalogue.h"

#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

using rows::CatalogueTable;
using rows::StateTable;
using K = ValueKind;

constexpr auto kCatalogue = [] {
  CatalogueTable<kHBusCatalogueRows> t;
  t.Add({
      {K::kText, 8, "", "", "", kNameHBusVersion, kUnitNone, 0x40},    // 0
      {K::kText, 10, "", "", "", kNameDeviceName, kUnitNone, 0x2040},  // 1
      // Eight code bytes are sixteen hex digits: the buffer holds them and the terminator.
      {K::kText, 17, "", "", "", kNameHBusCode, kUnitNone, 0x40},                       // 2
      {K::kUnsigned, 4, "0", "100", "1", kNameGlowPlug, kUnitPercent, 0x5004},          // 3
      {K::kReal, 8, "0", "5", "0.001", kNameFuelPump, kUnitHertz, 0x5004},              // 4
      {K::kUnsigned, 4, "0", "100", "1", kNameCombustionAirFan, kUnitPercent, 0x5004},  // 5
      {K::kUnsigned, 4, "0", "5000", "1", kNameCombustionAirFan, kUnitPerMinute, 0x5004},
      {K::kUnsigned, 4, "0", "100", "1", kNameCirculatingPump, kUnitPercent, 0x5004},  // 7
      {K::kUnsigned, 4, "0", "1", "1", kNameMainSwitch, kUnitNone, 0x5002},            // 8
      {K::kUnsigned, 4, "0", "1", "1", kNameSupplementalHeaterRequest, kUnitNone, 0x5002},
      {K::kUnsigned, 4, "0", "1", "1", kNameSummer, kUnitNone, 0x5002},  // 10
      {K::kUnsigned, 4, "0", "1", "1", kNameCirculatingPumpExternal, kUnitNone, 0x2},
      {K::kUnsigned, 4, "0", "1", "1", kNameEconomicMode, kUnitNone, 0x2},
      {K::kUnsigned, 4, "0", "1", "1", kNameGeneratorSignal, kUnitNone, 0x2},
      {K::kUnsigned, 4, "0", "1", "1", kNameAuxiliaryDrive, kUnitNone, 0x2},
      {K::kUnsigned, 4, "0", "1", "1", kNameIgnition, kUnitNone, 0x2},  // 15
      {K::kUnsigned, 4, "0", "1", "1", kNameBoostMode, kUnitNone, 0x2},
      {K::kUnsigned, 4, "0", "1", "1", kNameCombustionAirFan, kUnitNone, 0x8},
      {K::kUnsigned, 4, "0", "1", "1", kNameGlowPlug, kUnitNone, 0x8},
      {K::kUnsigned, 4, "0", "1", "1", kNameSparkTransmitter, kUnitNone, 0x5008},
      {K::kUnsigned, 4, "0", "1", "1", kNameFuelPump, kUnitNone, 0x8},  // 20
      {K::kUnsigned, 4, "0", "1", "1", kNameSolenoidValve, kUnitNone, 0x5008},
      {K::kUnsigned, 4, "0", "1", "1", kNameCirculatingPump, kUnitNone, 0x8},
      {K::kUnsigned, 4, "0", "1", "1", kNameVehicleFanRelay, kUnitNone, 0x5008},
      {K::kUnsigned, 4, "0", "1", "1", kNameFlameIndicator, kUnitNone, 0x5008},
      {K::kUnsigned, 4, "0", "1", "1", kNameNozzleStockHeating, kUnitNone, 0x5008},  // 25
      {K::kText, 20, "", "", "", kNameFuelType, kUnitNone, 0x2040},
      {K::kText, 20, "", "", "", kNamePumpInControlIdle, kUnitNone, 0x2040},
      {K::kUnsigned, 4, "0", "60", "1", kNameHeatingDurationLimit, kUnitMinute, 0x40},
      {K::kText, 20, "", "", "", kNameVentilationFactor, kUnitNone, 0x40},
      {K::kSigned, 4, "-40", "120", "1", kNameTemperature, kUnitCelsius, 0x5001},  // 30
      {K::kReal, 8, "0", "20", "0.01", kNameSupplyVoltage, kUnitVolt, 0x5001},
      {K::kUnsigned, 4, "0", "1", "1", kNameFlameDetected, kUnitNone, 0x5008},
      {K::kReal, 8, "0", "2", "0.001", kNameFlameDetector, kUnitOhm, 0x5002},
      {K::kUnsigned, 4, "0", "2000", "1", kNameHeatingEnergy, kUnitWatt, 0x5001},
      {K::kUnsigned, 4, "0", "100", "1", kNameHeatingEnergy, kUnitPercent, 0x5001},  // 35
      {K::kText, 20, "", "", "", kNameWorkingHours, kUnitHourMinute, 0x2020},
      {K::kText, 20, "", "", "", kNameOperatingHours, kUnitHourMinute, 0x2020},
      {K::kUnsigned, 4, "", "", "", kNameStartCount, kUnitNone, 0x2020},
      {K::kText, 20, "", "", "", kNameBurningPh1, kUnitHourMinute, 0x2020},
      {K::kText, 20, "", "", "", kNameBurningPh2, kUnitHourMinute, 0x2020},  // 40
      {K::kText, 20, "", "", "", kNameBurningPh3, kUnitHourMinute, 0x2020},
      {K::kText, 20, "", "", "", kNameBurningPh4, kUnitHourMinute, 0x2020},
      {K::kText, 20, "", "", "", kNameBurningSh1, kUnitHourMinute, 0x2020},
      {K::kText, 20, "", "", "", kNameBurningSh2, kUnitHourMinute, 0x2020},
      {K::kText, 20, "", "", "", kNameBurningSh3, kUnitHourMinute, 0x2020},  // 45
      {K::kText, 20, "", "", "", kNameBurningSh4, kUnitHourMinute, 0x2020},
      {K::kText, 20, "", "", "", kNameWorkingDurationPh, kUnitHourMinute, 0x2020},
      {K::kText, 20, "", "", "", kNameWorkingDurationSh, kUnitHourMinute, 0x2020},
      {K::kUnsigned, 4, "", "", "", kNameStartCounterPh, kUnitNone, 0x2020},
      {K::kUnsigned, 4, "", "", "", kNameStartCounterSh, kUnitNone, 0x2020},  // 50
      {K::kUnsigned, 4, "", "", "", kNameTrsCounter, kUnitNone, 0x2020},
      {K::kText, 80, "", "", "", kNameOperatingStateOs, kUnitNone, 0x4008},
      {K::kUnsigned, 4, "0", "1", "1", kNameFaultFlag, kUnitNone, 0x8},
      {K::kUnsigned, 4, "0", "1", "1", kNameOverheatFlag, kUnitNone, 0x8},
      {K::kUnsigned, 4, "0", "1", "1", kNameLeanStartFlag, kUnitNone, 0x8},  // 55
      {K::kUnsigned, 4, "0", "1", "1", kNameSleepModeFlag, kUnitNone, 0x8},
      {K::kUnsigned, 4, "0", "255", "1", kNameFaultCounterPh, kUnitNone, 0x8},
      {K::kUnsigned, 4, "0", "255", "1", kNameFaultCounterSh, kUnitNone, 0x8},
      {K::kUnsigned, 4, "0", "255", "1", kNameFlameInterruptionCounter, kUnitNone, 0x8},
      {K::kText, 20, "", "", "", kNameDeviceId, kUnitNone, 0x2040},  // 60
      {K::kText, 20, "", "", "", kNameDatasetId, kUnitNone, 0x2040},
      {K::kText, 20, "", "", "", kNameHwVersion, kUnitNone, 0x2040},
      {K::kText, 20, "", "", "", kNameSwVersion, kUnitNone, 0x2040},
      {K::kText, 20, "", "", "", kNameSwVersionEeprom, kUnitNone, 0x2040},
      {K::kText, 20, "", "", "", kNameDateControlUnit, kUnitNone, 0x2040},  // 65
      {K::kText, 20, "", "", "", kNameDateHeater, kUnitNone, 0x2040},
      {K::kText, 40, "", "", "", kNameCustomerId, kUnitNone, 0x2040},
      {K::kText, 20, "", "", "", kNameSerialNumber, kUnitNone, 0x2040},
      {K::kText, 20, "", "", "", kNameTestSignature, kUnitNone, 0x2040},
      {K::kText, 40, "", "", "", kNameFarstartCode, kUnitNone, 0x2040},  // 70
      {K::kReal, 8, "0", "20", "0.01", kNameMinVoltageThreshold, kUnitVolt, 0x2040},
      {K::kReal, 8, "0", "20", "0.01", kNameMaxVoltageThreshold, kUnitVolt, 0x2040},
      {K::kUnsigned, 4, "0", "255", "1", kNameMinVoltageDelay, kUnitSecond, 0x2040},
      {K::kUnsigned, 4, "0", "255", "1", kNameMaxVoltageDelay, kUnitSecond, 0x2040},
      {K::kUnsigned, 4, "", "", "", kNameFaultCount, kUnitNone, 0x80},  // 75
  });
  // Rows 76-139: "Fault 1".."Fault 8", each block with its slot in bits 16-19.
  t.AddFaultBlocks(
      kHBusFaultBlocks,
      {
          {K::kUnsigned, 4, "", "", "", kNameFaultState, kUnitNone, 0x200},
          {K::kText, 10, "", "", "", kNameCode, kUnitNone, 0x400},
          {K::kUnsigned, 4, "", "", "", kNameCounter, kUnitNone, 0x400},
          {K::kSigned, 4, "-40", "120", "1", kNameFaultTemperature, kUnitCelsius, 0x400},
          {K::kText, 80, "", "", "", kNameFaultOperatingState, kUnitNone, 0x400},
          {K::kReal, 8, "0", "20", "0.01", kNameVoltage, kUnitVolt, 0x400},
          {K::kText, 20, "", "", "", kNameOperatingHourCounter, kUnitHourMinute, 0x400},
      });
  t.Add({
      {K::kUnsigned, 4, "0", "255", "1", kNameCo2Value, kUnitNone, 0x1},  // 140
      {K::kUnsigned, 4, "0", "255", "1", kNameCo2Minimum, kUnitNone, 0x1},
      {K::kUnsigned, 4, "0", "255", "1", kNameCo2Maximum, kUnitNone, 0x1},
      {K::kText, 80, "", "", "", kNameDeviceState, kUnitNone, 0x6008},
      {K::kSigned, 4, "-40", "120", "1", kNameUpperThreshold, kUnitCelsius, 0x40},
      {K::kSigned, 4, "-40", "120", "1", kNameLowerThreshold, kUnitCelsius, 0x40},  // 145
      {K::kReal, 8, "-50", "250", "0.1", kNameOverheatTemperature, kUnitCelsius, 0x5002},
      {K::kReal, 8, "-100", "100", "0.1", kNameOverheatGradient, kUnitCelsius, 0x4001},
      {K::kReal, 8, "-50", "150", "0.1", kNameOutletTemperature, kUnitCelsius, 0x5002},
      {K::kReal, 8, "-100", "100", "0.1", kNameApplicationGradient, kUnitCelsius, 0x4001},
      {K::kReal, 8, "-50", "100", "0.1", kNameBoardTemperature, kUnitCelsius, 0x5002},  // 150
      {K::kReal, 8, "-100", "100", "0.1", kNameBoardGradient, kUnitCelsius, 0x4001},
      {K::kSigned, 4, "-40", "120", "0.1", kNameTemperature, kUnitCelsius, 0x5001},
      {K::kReal, 8, "5", "35", "0.1", kNameSetpointPoti, kUnitCelsius, 0x4002},
      {K::kUnsigned, 4, "0", "255", "1", kNameFanPwmSet, kUnitNone, 0x5001},
      {K::kUnsigned, 4, "0", "255", "1", kNameFanPwmActual, kUnitNone, 0x5001},  // 155
      {K::kReal, 8, "0", "6", "0.001", kNameGlowPlug, kUnitOhm, 0x5002},
  });
  return t;
}();
static_assert(kCatalogue.Complete());

// From 3.0 the codes run in the order of the state texts; the telegram carries the number.
constexpr auto kStatesV3 = [] {
  StateTable<98> t;
  for (std::uint32_t i = 0; i <= 0x55; ++i) {
    t.Add(static_cast<std::uint8_t>(i), kFirstStateTextId + i);
  }
  t.AddRun(0x56, {kStLos, kStTa, kStVus, kStUnf, kStSnmv, kStFsamv, kStZsnmv, kStSv, kStVlv, kStBb,
                  kStZsnus, kStFsaa});
  return t;
}();
static_assert(kStatesV3.Complete());

// Before 3.0 a state's step is part of its code and the table carries the number to show.
constexpr auto kStatesBeforeV3 = [] {
  StateTable<77> t;
  t.Add(0x00, kStInit);
  t.AddSteps(0x01, kStAbr, {11, 12, 13, 14, 15, 16, 22, 23, 24, 25, 31, 32, 41, 42, 51, 61, 71});
  t.AddRun(0x12, {kStAbsch, kStAus, kStBbtl, kStBbvl});
  t.AddSteps(0x16, kStBfoe, {11, 12, 13, 14, 15, 21, 25, 33, 34, 42});
  t.AddSteps(0x20, kStFla, {1, 2, 3, 4});
  t.AddSteps(0x24, kStFlm, {1, 2, 3, 4});
  t.Add(0x28, kStGbu);
  t.AddSteps(0x29, kStGsr, {1, 2, 3, 4});
  t.AddRun(0x2D, {kStHga, kStHge, kStHgv});
  t.AddSteps(0x30, kStKueg, {1, 2, 3, 4});
  t.AddSteps(0x34, kStLtv, {1, 2});
  t.AddSteps(0x36, kStLvt, {1, 2});
  t.Add(0x38, kStLue);
  t.AddSteps(0x39, kStRp, {1, 2});
  t.AddRun(0x3B, {kStRua, kStStv, kStStz});
  t.AddSteps(0x3E, kStVfoe, {1, 2});
  t.AddSteps(0x40, kStVgl, {1, 2, 3, 4, 5, 6, 10, 11, 21});
  t.Add(0x50, kStLos);
  t.AddSteps(0x53, kStVfoe, {3, 4, 5});
  return t;
}();
static_assert(kStatesBeforeV3.Complete());

}  // namespace

ParameterCatalogue HBusCatalogue() {
  return kCatalogue.rows;
}

StateNameTable HBusStateTableV3() {
  return kStatesV3.entries;
}
StateNameTable HBusStateTableBeforeV3() {
  return kStatesBeforeV3.entries;
}

StateNameTable HBusStateTable(std::uint8_t version) {
  return version >= 0x30 ? HBusStateTableV3() : HBusStateTableBeforeV3();
}

}  // namespace heatdiag
