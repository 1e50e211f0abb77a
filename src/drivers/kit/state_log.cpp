#include "drivers/kit/state_log.h"

#include "base/protocol.h"
#include "drivers/catalogue/parameter.h"

namespace heatdiag::kit {

void StateChangeLog::Reset() {
  previousCode_.store(kStateUnknown);
  previousNumber_ = 0;
}

void StateChangeLog::Note(StateNameTable table, std::uint8_t code, std::uint8_t number) {
  const std::uint8_t previous = previousCode_.load();
  if (previous == kStateUnknown)
    ProtocolResetStateTimer();
  else
    ProtocolStateChange(table, previous, previousNumber_, code, number);
  previousCode_.store(code);
  previousNumber_ = number;
}

}  // namespace heatdiag::kit
