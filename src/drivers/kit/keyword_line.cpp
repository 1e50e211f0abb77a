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

int KeywordLine::SendAddressed(std::uint8_t target, std::uint8_t source,
                               const std::uint8_t* payload, std::size_t n) {
  const std::uint8_t ownTarget = framing_.Target();
  const std::uint8_t ownSource = framing_.Source();
  framing_.SetAddresses(target, source);
  const int sent = transport_.Send(payload, n);
  framing_.SetAddresses(ownTarget, ownSource);
  return sent;
}

}  // namespace heatdiag::kit
