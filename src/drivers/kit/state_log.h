// The operating state a driver last reported, for the protocol's state-change lines: the first
// state of a session only starts the clock, every later change is logged with the short names
// and the seconds since the previous change.
#pragma once

#include <atomic>
#include <cstdint>

#include "drivers/catalogue/parameter.h"

namespace heatdiag::kit {

inline constexpr std::uint8_t kStateUnknown = 0xFF;

class StateChangeLog {
 public:
  // Nothing known (a session starts).
  void Reset();
  // A state report; logs the change from the previous one when that is known.
  void Note(StateNameTable table, std::uint8_t code, std::uint8_t number = 0);
  // The code last reported, kStateUnknown before the first report. Any thread.
  std::uint8_t PreviousCode() const { return previousCode_.load(); }

 private:
  std::atomic<std::uint8_t> previousCode_{kStateUnknown};
  std::uint8_t previousNumber_ = 0;
};

}  // namespace heatdiag::kit
