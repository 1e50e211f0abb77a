#include "drivers/keyword/d06_client.h"

#include "drivers/diag_store.h"

namespace heatdiag::d06 {

std::optional<keyword::ReplyView> Client::Exchange(std::span<const std::uint8_t> request) {
  if (line_.Send(request.data(), request.size()) == 0) return std::nullopt;
  return keyword::ReplyView(line_.Reply());
}

void Client::ConnectionPassDone() {
  StoreSetDataValid();
}

void Client::LinkLost() {
  Owner().facts.FinishRequest(1);
}

}  // namespace heatdiag::d06
