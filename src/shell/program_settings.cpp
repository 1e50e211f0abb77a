#include "shell/program_settings.h"

#include <cstdint>

#include "link/serial_port.h"

namespace heatdiag {

void LoadSettings(SettingsBackend& backend) {
  Settings& settings = ProgramSettings();
  ReadSettings(backend, settings);
  // An empty path gives the port its default device back.
  for (int port = 0; port < kPortCount; ++port)
    SetPortPath(static_cast<std::uint32_t>(port + 1), settings.portPaths[port]);
}

}  // namespace heatdiag
