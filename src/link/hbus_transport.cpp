#include "link/hbus_transport.h"

namespace heatdiag {

HBusTransport::HBusTransport() {
  SetFraming(telegrams_, HBusTelegramTiming(), FramingSlot::kLine);
  SetFraming(block_, HBusBlockTiming(), FramingSlot::kBlock);
}

HBusTransport::~HBusTransport() {
  // Before the framings go: the threads use them.
  StopThreads();
}

void HBusTransport::SetReplyWaits(std::uint32_t telegramMs, std::uint32_t blockMs) {
  TransportTiming telegram = Timing(FramingSlot::kLine);
  telegram.replyWaitMs = telegramMs;
  SetTiming(telegram, FramingSlot::kLine);
  TransportTiming block = Timing(FramingSlot::kBlock);
  block.replyWaitMs = blockMs;
  SetTiming(block, FramingSlot::kBlock);
}

}  // namespace heatdiag
