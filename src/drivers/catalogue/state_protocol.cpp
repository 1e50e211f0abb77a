// Operating-state changes into the protocol, named from the driver's state table.
#include <string>

#include "base/protocol.h"
#include "drivers/catalogue/parameter.h"

namespace heatdiag {

void ProtocolStateChange(StateNameTable table, std::uint8_t oldState, int oldNumber,
                         std::uint8_t newState, int newNumber) {
  if (oldState == newState) return;
  // The names come from the string table; load them before the protocol's lock is taken.
  const std::string from = StateShortText(table, oldState, oldNumber);
  const std::string to = StateShortText(table, newState, newNumber);
  ProtocolStateChange(from, to);
}

}  // namespace heatdiag
