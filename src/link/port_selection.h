// What the "COM port selection" dialog shows and returns, without the dialog: one entry per
// usable port in ascending order ("COM1  /dev/ttyUSB0"), the entry preselected for the current
// port, and the port number that OK or Cancel gives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/port_discovery.h"
#include "link/serial_port.h"

namespace heatdiag {

struct PortChoice {
  std::vector<std::uint32_t> ports;  // usable port numbers, ascending
  // "COMn", two blanks and the device path, then two blanks and the adapter's maker, product and
  // serial number where it gives them.
  std::vector<std::string> entries;
  int selected = -1;  // index of the preselected entry; -1 when none is usable
  // Per entry: the adapter's stable name (empty when it has none), the device the port number
  // stands for now, and whether the port number is set to the stable name already.
  std::vector<std::string> stableNames;
  std::vector<std::string> devices;
  std::vector<bool> byStableName;
};

// The current port's entry when that port is usable, else the first usable port. `present` are
// the ports found on the system (DiscoverPorts), for the adapters' names.
PortChoice BuildPortChoice(const PortFlags& usable, std::uint32_t currentPort,
                           const std::vector<PortInfo>& present = {});
// The device path to store for the entry when the user asks (or no longer asks) to find its
// adapter by the stable name; empty when nothing is to change.
std::string PortPathChoice(const PortChoice& choice, int entry, bool byStableName);
// OK with the selected entry's text: the digit after "COM" (0 unless the text begins with "COM"
// and a digit 1..9 follows). Cancel: 0.
std::uint32_t PortChoiceResult(bool ok, std::string_view selectedEntry);

}  // namespace heatdiag
