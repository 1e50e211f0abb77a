#include "drivers/kit/keyword_line.h"

#include "link/wakeup.h"

namespace heatdiag::kit {

bool KeywordLine::WakeUp() {
  transport_.PauseReceiver();
  if (WakeKeywordPulses(transport_.Port()) == 0) return false;
  transport_.BusIdle().Set();
  transport_.SetReceiverMode(kRxFirst);
  return true;
}

}  // namespace heatdiag::kit
