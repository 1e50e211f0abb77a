#include "drivers/kit/session.h"

#include "base/frame_sink.h"
#include "base/messages.h"
#include "drivers/diag_store.h"
#include "drivers/kit/store_rows.h"
#include "link/link_texts.h"

namespace heatdiag::kit {

bool OpenSessionLine(SerialPort*& port, const PortConfig& config, bool probeMode) {
  PortOpenError why;
  if (OpenPort(port, config, why) != 0) return true;
  port = nullptr;
  if (!probeMode) {
    ShowThreadError(kTextPortUnusableBecause, DescribePortError(why));
    PostToFrame(UM_LINKENDED);
  }
  return false;
}

bool OpenSessionStore(ParameterCatalogue catalogue) {
  if (StoreInit(catalogue) == 0) {
    PostToFrame(UM_LINKENDED);
    return false;
  }
  ShowAllRows(static_cast<std::uint32_t>(catalogue.size()));
  return true;
}

}  // namespace heatdiag::kit
