// What the family drivers share around a diagnosis session: the hand-overs between a driver's
// operations and its link worker (the request word, the probe flags, the request-done event),
// opening the line and the store when a session starts, the request-and-wait of the waiting
// operations and the probe's wait for identification.
#pragma once

#include <atomic>
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

// Flags and words shared by a driver's operations (any thread) and its link worker. Every item
// is a whole word written by one side and read by the other.
class LinkFacts {
 public:
  // --- Request word: operations set bits, the worker clears a bit just before it serves it. --
  void Request(std::uint32_t bits) { requests_.fetch_or(bits); }
  void ClearRequest(std::uint32_t bits) { requests_.fetch_and(~bits); }
  std::uint32_t Requests() const { return requests_.load(); }

  // --- Connection ----------------------------------------------------------------------------
  // The unit has answered the start request: a lost link is not retried.
  bool Answered() const { return answered_.load(); }
  void SetAnswered() { answered_.store(true); }
  // Device search probe: set by ProbeDevice for its session.
  bool ProbeMode() const { return probeMode_.load(); }
  void SetProbeMode(bool on) { probeMode_.store(on); }
  bool Identified() const { return identified_.load(); }
  void SetIdentified(bool on) { identified_.store(on); }
  bool ProbeFailed() const { return probeFailed_.load(); }
  void SetProbeFailed(bool on) { probeFailed_.store(on); }

  // --- Request-done event of the waiting service requests -------------------------------------
  Event& RequestDone() { return requestDone_; }
  std::uint32_t RequestError() const { return requestError_.load(); }
  void FinishRequest(std::uint32_t error) {
    requestError_.store(error);
    requestDone_.Set();
  }

  // Fresh bookkeeping for a session about to start (the probe mode stays).
  void BeginSession() {
    requests_.store(0);
    answered_.store(false);
    identified_.store(false);
    probeFailed_.store(false);
    requestError_.store(0);
  }

 private:
  std::atomic<std::uint32_t> requests_{0};
  std::atomic<bool> answered_{false};
  std::atomic<bool> probeMode_{false};
  std::atomic<bool> identified_{false};
  std::atomic<bool> probeFailed_{false};
  Event requestDone_{EventReset::kAuto};
  std::atomic<std::uint32_t> requestError_{0};
};

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
// StopRequested, and the probe flags of its link (LinkFacts or the link worker's): 1 when the
// unit was identified.
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
