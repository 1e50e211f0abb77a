#include "link/port_selection.h"

namespace heatdiag {

PortChoice BuildPortChoice(const PortFlags& usable, std::uint32_t currentPort,
                           const std::vector<PortInfo>& present) {
  PortChoice choice;
  for (std::uint32_t n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
    if (usable[n] == 0) continue;
    if (n == currentPort) choice.selected = static_cast<int>(choice.ports.size());
    const std::string path = PortPath(n);
    const PortInfo* info = FindPort(present, path);
    std::string entry = PortName(n) + "  " + (info != nullptr ? info->device : path);
    if (info != nullptr) {
      if (const std::string adapter = AdapterDescription(*info); !adapter.empty())
        entry += "  " + adapter;
    }
    choice.ports.push_back(n);
    choice.entries.push_back(std::move(entry));
    choice.stableNames.push_back(info != nullptr ? info->stableName : std::string());
    choice.devices.push_back(info != nullptr ? info->device : path);
    choice.byStableName.push_back(info != nullptr && !info->stableName.empty() &&
                                  path == info->stableName);
  }
  if (choice.selected < 0 && !choice.ports.empty()) choice.selected = 0;
  return choice;
}

std::string PortPathChoice(const PortChoice& choice, int entry, bool byStableName) {
  if (entry < 0 || static_cast<std::size_t>(entry) >= choice.ports.size()) return {};
  const auto index = static_cast<std::size_t>(entry);
  if (choice.stableNames[index].empty() || choice.byStableName[index] == byStableName) return {};
  return byStableName ? choice.stableNames[index] : choice.devices[index];
}

std::uint32_t PortChoiceResult(bool ok, std::string_view selectedEntry) {
  if (!ok || selectedEntry.size() < 4 || selectedEntry.substr(0, 3) != "COM") return 0;
  const char digit = selectedEntry[3];
  if (digit < '1' || digit > '9') return 0;
  return static_cast<std::uint32_t>(digit - '0');
}

}  // namespace heatdiag
