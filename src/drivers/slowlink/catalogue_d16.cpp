#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"

namespace heatdiag {
namespace {

using namespace rows;

// Shared by D16 and D17.
constexpr auto kCatalogue = [] {
  CatalogueTable<25> t;
  t.Add({
      Ident(kNamePartNumber),
      Ident(kNameTestProgramNumber),
      Ident(kNameDeviceName),
      Celsius(kNameTemperature, 0x5001),
      Volts(kNameFlameSensorVoltage, 0x5002),
      // The flame detector's state as a text (strings 18100-18106).
      Text(kNameFlameDetector, 20, kViewLog | kViewInputs),
      Volts(kNameSupplyVoltage, 0x5001),
      FaultCount(),
      Count(kNameCurrentFault, kViewStates),
      Text(kNameCode, 10, kViewStates),
  });
  t.AddFaultBlocks(7, {FaultCode()});
  t.Add(DeviceState());
  return t;
}();
static_assert(kCatalogue.Complete());

}  // namespace

ParameterCatalogue CatalogueD16() {
  return kCatalogue.rows;
}

}  // namespace heatdiag
