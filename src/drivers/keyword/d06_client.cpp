#include "drivers/keyword/d06_client.h"

#include "drivers/diag_store.h"

namespace heatdiag::d06 {

void Client::ConnectionPassDone() {
  StoreSetDataValid();
}

void Client::LinkLost() {
  driver_.facts.FinishRequest(1);
}

}  // namespace heatdiag::d06
