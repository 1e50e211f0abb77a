// heatdiag-cli ports: the serial ports present and what each COM number stands for, with the
// reason a port cannot be used.
#pragma once

#include <ostream>

#include "base/settings.h"
#include "link/port_discovery.h"

namespace heatdiag::cli {

struct PortsOptions {
  bool json = false;
  PortTree tree;  // where the ports are looked up (the system's)
};

// Lists with the port paths of `store` (section "Ports"). Returns 0; the listing itself cannot
// fail, a system without ports lists none.
int RunPorts(const PortsOptions& options, SettingsBackend& store, std::ostream& out,
             std::ostream& err);
// The same with the default paths of COM1..COM9.
int RunPorts(const PortsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace heatdiag::cli
