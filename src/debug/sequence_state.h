// The debug mode's shared block: the debug window writes the requested action and state, the
// driver's link worker the state the control unit reports. Each field has a single writer.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/messages.h"

namespace heatdiag {

inline constexpr std::uint16_t kDebugNone = 0xFFFF;
// Message to the debug window: refresh from the block.
inline constexpr std::uint32_t kDebugRefreshMessage = 1025;

struct DebugState {
  std::atomic<MessageTarget*> window{nullptr};  // the debug window; empty when closed
  std::atomic<std::uint16_t> mode{0};    // 0 none, 1 halted, 2 running (3, 4 known to the buttons)
  std::atomic<std::uint16_t> action{0};  // 0 leave, 1 stop/start, 2 run, 3 step, 4 step now
  std::atomic<std::uint16_t> currentState{kDebugNone};
  std::atomic<std::uint16_t> lastState{kDebugNone};
  std::atomic<std::uint16_t> newState{kDebugNone};  // chosen in the window; kDebugNone = none
  std::atomic<std::uint16_t> lastJump{0};           // function number, 0xFC..0xFF special, 0 none
  std::atomic<std::uint16_t> runTimeSet{0};         // tenths of a second
  std::atomic<std::uint16_t> runTimeActual{0};      // tenths of a second
  std::atomic<std::uint16_t> previousCurrentState{kDebugNone};
};

}  // namespace heatdiag
