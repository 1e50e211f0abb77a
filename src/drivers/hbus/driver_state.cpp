#include "drivers/hbus/driver_state.h"

namespace heatdiag::hbus {

void DriverState::Reset() {
  code = {};
  faultCodes = {};
  faultsRemaining = 0;
  faultCursor = 0;
  faultMemoryCursor = 0;
  runTime.store(kModeRunTime);
  secondModeByte.store(0);
  component.store(0);
  componentRunTime.store(0);
  componentValue.store(0);
  calibrationVoltage.store(0);
  calibrationResistance.store(0);
  primeDuration.store(0);
  co2Value.store(0);
  co2Cold.store(false);
  previousStateCode.store(0xFF);
  previousStateNumber = 0xFF;
  glowPlugResistanceWanted = false;
  extendedTemperaturesWanted = false;
  reply30Word = 0;
  reply30Byte = 0;
  layout = {};
  singleCell = {};
  cellCursor = 0;
  currentPage = 0;
  blockBaudRate = 0;
  debug.store(nullptr);
  debugSent = 0;
}

}  // namespace heatdiag::hbus
