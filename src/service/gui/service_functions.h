// The service functions in the desktop program: the commands of the component test, fuel prime,
// calibrations, CO2 adjustment and free telegram input, the CO2 dialog message, the boxes that
// worker threads put to the user, and the Co2Worker from start to exit.
#pragma once

namespace heatdiag {

class FrameWindow;

// Registers the commands and messages with the frame, installs the workers' prompt boxes and
// starts the Co2Worker.
void RegisterServiceFunctions(FrameWindow& frame);
// At exit, before the drivers stop: ends a running adjustment, stops the Co2Worker, closes the
// modeless dialogs and removes the prompt boxes.
void ShutdownServiceFunctions();

// The free telegram input is open (its menu item is checked).
bool FreeTelegramDialogOpen();

}  // namespace heatdiag
