// What the family drivers share around a diagnosis session: opening the line and the store when
// a session starts, the request-and-wait of the waiting operations and the probe's wait for
// identification. The request word, the probe flags and the request-done event are the link
// worker's.
#pragma once

#include <cstdint>

#include "drivers/catalogue/parameter.h"
#include "link/event.h"
#include "link/serial_port.h"
#include "link/timing.h"

namespace heatdiag::kit {

inline constexpr std::uint32_t kWaitSliceMs = 100;
// A probe waits at most this many slices (about 15 s) for the unit to be identified.
inline constexpr int kProbeSteps = 149;
inline constexpr std::uint32_t kSessionSettleMs = 100;
inline constexpr std::uint32_t kStopSettleMs = 200;

// Opens the session's port. On failure shows "The selected COM port cannot be used!" with the
// reason and posts UM_LINKENDED, both only outside a probe (a search tries every family on the
// port); `port` is then null.
bool OpenSessionLine(SerialPort*& port, const PortConfig& config, bool probeMode);

// Sets the store up for the driver's catalogue and marks every row present and shown. On
// failure (the store has shown its message) posts UM_LINKENDED.
bool OpenSessionStore(ParameterCatalogue catalogue);

// Sets `bits`, then waits on `done` in slices of 100 ms until it is signalled, the program stops
// or the session ends. True when it was signalled.
template <class Host>
bool RequestAndWait(Host& host, Event& done, std::uint32_t bits) {
  done.Reset();
  host.Request(bits);
  while (!done.Wait(kWaitSliceMs)) {
    if (host.StopRequested() || !host.IsSessionActive()) return false;
  }
  return !host.StopRequested();
}

// The probe of the device search on a host with StartSession / StopSession / IsSessionActive /
// StopRequested, and the probe flags of its link worker: 1 when the unit was identified.
template <class Host, class Facts>
int ProbeWithSession(Host& host, Facts& facts) {
  facts.SetProbeMode(true);
  facts.SetIdentified(false);
  facts.SetProbeFailed(false);
  host.StartSession();
  if (!facts.ProbeFailed()) {
    for (int step = 0; step < kProbeSteps; ++step) {
      if (facts.Identified() || facts.ProbeFailed() || host.StopRequested() ||
          !host.IsSessionActive())
        break;
      SleepMs(kWaitSliceMs);
    }
  }
  SleepMs(kWaitSliceMs);
  host.StopSession();
  facts.SetProbeMode(false);
  return facts.Identified() ? 1 : 0;
}

}  // namespace heatdiag::kit
