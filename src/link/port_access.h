// Who may use a serial device: the system's answer to an open, the locks of other programs on
// the device, and the reason told to the user.
#pragma once

#include <string>

#include "link/serial_port.h"

namespace heatdiag {

// The failure an errno of open(2) stands for.
PortFailure ClassifyOpenError(int error);

// Takes the device's advisory lock for the descriptor and checks the UUCP lock file that older
// programs leave in /run/lock. False, with why set to kInUse (and the holder where it can be
// found out), when another program has the device.
bool ClaimDevice(int fd, const std::string& resolvedDevice, PortOpenError& why);

// Looks for another process that has the device open and names it in `why`.
void FindHolder(const std::string& resolvedDevice, PortOpenError& why);

// The latency timer of a USB serial converter (sysfs attribute latency_timer, in ms): how long
// the adapter collects received bytes before it hands them on.
enum class LatencyTimer {
  kNone,         // the device has no such attribute
  kFastAlready,  // it is at 1 ms or less
  kLowered,      // it was set to 1 ms; `before` holds the old value
  kStaysSlow,    // it cannot be written (or did not take the value); `before` holds it
};
LatencyTimer LowerLatencyTimer(const std::string& file, std::string& before);
// Puts the value back that LowerLatencyTimer found.
void RestoreLatencyTimer(const std::string& file, const std::string& before);

}  // namespace heatdiag
