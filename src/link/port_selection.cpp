#include "link/port_selection.h"

namespace heatdiag {

PortChoice BuildPortChoice(const PortFlags& usable, std::uint32_t currentPort) {
  PortChoice choice;
  for (std::uint32_t n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
    if (usable[n] == 0) continue;
    if (n == currentPort) choice.selected = static_cast<int>(choice.ports.size());
    choice.ports.push_back(n);
    choice.entries.push_back(PortName(n) + "  " + PortPath(n));
  }
  if (choice.selected < 0 && !choice.ports.empty()) choice.selected = 0;
  return choice;
}

std::uint32_t PortChoiceResult(bool ok, std::string_view selectedEntry) {
  if (!ok || selectedEntry.size() < 4 || selectedEntry.substr(0, 3) != "COM") return 0;
  const char digit = selectedEntry[3];
  if (digit < '1' || digit > '9') return 0;
  return static_cast<std::uint32_t>(digit - '0');
}

}  // namespace heatdiag
