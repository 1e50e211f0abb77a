// The program's settings at start-up: read from the store and handed to the layers that keep a
// copy of their own.
#pragma once

#include "base/settings.h"

namespace heatdiag {

// ReadSettings into the program's settings (ProgramSettings), then hands the port paths to the
// serial layer (SetPortPath; an empty path there means the port's default device).
void LoadSettings(SettingsBackend& backend);

}  // namespace heatdiag
