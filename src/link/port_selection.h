// What the "COM port selection" dialog shows and returns, without the dialog: one entry per
// usable port in ascending order ("COM1  /dev/ttyUSB0"), the entry preselected for the current
// port, and the port number that OK or Cancel gives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/serial_port.h"

namespace heatdiag {

struct PortChoice {
  std::vector<std::uint32_t> ports;  // usable port numbers, ascending
  std::vector<std::string> entries;  // "COMn" followed by two blanks and the device path
  int selected = -1;                 // index of the preselected entry; -1 when none is usable
};

// The current port's entry when that port is usable, else the first usable port.
PortChoice BuildPortChoice(const PortFlags& usable, std::uint32_t currentPort);
// OK with the selected entry's text: the digit after "COM" (0 unless the text begins with "COM"
// and a digit 1..9 follows). Cancel: 0.
std::uint32_t PortChoiceResult(bool ok, std::string_view selectedEntry);

}  // namespace heatdiag
