// The debug telegram: state sequence control of units that support a debug mode.
#include "base/frame_sink.h"
#include "debug/sequence_state.h"
#include "drivers/hbus/decode.h"
#include "drivers/hbus/handlers.h"
#include "drivers/hbus/hbus_driver.h"
#include "drivers/hbus/texts.h"

namespace heatdiag::hbus {
namespace {

constexpr std::uint8_t kDebug = 0x60;
constexpr std::uint8_t kStatus = 0x01;
constexpr std::uint8_t kSetState = 0x06;
// Sub-command of each action: leave, halt, run, step, step now.
constexpr std::uint8_t kActionCommands[] = {0x00, 0x03, 0x02, 0x04, 0x05};
constexpr std::uint16_t kActionStep = 3;
constexpr std::uint16_t kActionStepNow = 4;
constexpr std::uint16_t kActionHalt = 1;

}  // namespace

std::size_t BuildDebug(Driver& d, Work work, std::size_t) {
  DebugState* debug = d.state.debug.load();
  if (debug == nullptr) return 0;
  const std::uint16_t newState = debug->newState.load();
  if (newState != kDebugNone) {
    debug->newState.store(kDebugNone);
    work[1] = kSetState;
    work[2] = static_cast<std::uint8_t>(newState & 0xFF);
    d.state.debugSent = kSetState;
    return 3;
  }
  const std::uint16_t action = debug->action.load();
  if (action != debug->mode.load() && action < std::size(kActionCommands)) {
    work[1] = kActionCommands[action];
    // A step runs once; the unit stays halted afterwards.
    if (action == kActionStep || action == kActionStepNow)
      debug->action.store(kActionHalt);
    else
      debug->mode.store(action);
    d.state.debugSent = work[1];
    return 2;
  }
  work[1] = kStatus;
  d.state.debugSent = kStatus;
  return 2;
}

EntryResult HandleDebug(Driver& d, const ReplyView& reply) {
  DebugState* debug = d.state.debug.load();
  if (debug == nullptr) return EntryResult::kDone;
  if (!reply.Answers(kDebug)) {
    ShowThreadError(kTextDebugNotStarted);
    d.state.debug.store(nullptr);
    return EntryResult::kLinkFault;
  }
  if (d.state.debugSent == kStatus) {
    if (reply.DataLength() != 9) return InvalidLength();
    debug->currentState.store(reply.ByteAt(4));
    debug->runTimeSet.store(reply.Word16At(5));
    debug->runTimeActual.store(reply.Word16At(7));
    debug->lastState.store(reply.ByteAt(9));
    debug->lastJump.store(reply.ByteAt(10));
    if (reply.ByteAt(11) == 0) {
      // The unit is not in debug mode: ask for it again.
      debug->mode.store(0);
      debug->action.store(kActionHalt);
    }
  }
  if (MessageTarget* window = debug->window.load()) window->Post(kDebugRefreshMessage, 0, 0);
  if (debug->mode.load() == 0 && debug->action.load() == 0) d.state.debug.store(nullptr);
  return EntryResult::kDone;
}

}  // namespace heatdiag::hbus
