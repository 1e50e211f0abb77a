#include "drivers/keyword/d06_client.h"

#include <algorithm>

#include "base/frame_sink.h"
#include "base/messages.h"
#include "drivers/diag_store.h"
#include "drivers/keyword/d06_driver.h"

namespace heatdiag::d06 {

std::optional<keyword::ReplyView> Client::Exchange(std::span<const std::uint8_t> request) {
  if (line_.Send(request.data(), request.size()) == 0) return std::nullopt;
  return keyword::ReplyView(line_.Reply());
}

void Client::ConnectionPassDone() {
  StoreSetDataValid();
}

bool Client::Housekeeping() {
  DriverState& state = Owner().state;
  if (!state.freeTelegramPending.exchange(false)) return true;
  FreeTelegram telegram;
  {
    std::lock_guard lock(state.freeTelegramLock);
    telegram = state.freeTelegram;
  }
  const bool notify = telegram.viewAnswer != 0;
  if (notify) SendToFrame(UM_PROTOCOLSTART);
  const std::size_t length = std::min<std::size_t>(telegram.length, keyword::kMaxDataLength);
  const int sent = line_.SendAddressed(telegram.deviceAddress, telegram.sourceAddress,
                                       telegram.data.data(), length);
  if (notify) PostToFrame(UM_PROTOCOLSTOP);
  return sent != 0;
}

WorkerState Client::StateAfter(EntryResult result) {
  return Driver::StateAfter(result);
}

}  // namespace heatdiag::d06
