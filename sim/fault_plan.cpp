#include "fault_plan.h"

#include <algorithm>

namespace heatsim {

void FaultPlan::Add(FaultRule rule, std::uint64_t received) {
  rules_.push_back({rule, received + static_cast<std::uint64_t>(std::max(0, rule.after))});
}

FaultDecision FaultPlan::Decide(std::uint64_t received, int command, int index, bool blockFrame) {
  FaultDecision d;
  for (Active& a : rules_) {
    FaultRule& r = a.rule;
    if (received < a.from || r.times == 0) continue;
    if (r.command >= 0 && r.command != command) continue;
    if (r.index >= 0 && r.index != index) continue;
    if (r.kind == FaultKind::kNak && blockFrame) continue;
    if (r.times > 0) --r.times;
    switch (r.kind) {
      case FaultKind::kNoReply:
        d.noReply = true;
        break;
      case FaultKind::kLateReply:
        d.extraDelayMs += r.value;
        break;
      case FaultKind::kBadChecksum:
        d.badChecksum = true;
        break;
      case FaultKind::kWrongEcho:
        d.wrongEcho = true;
        break;
      case FaultKind::kGarbage:
        d.garbageBytes += r.value;
        break;
      case FaultKind::kNak:
        d.nakCode = r.value & 0xFF;
        break;
      case FaultKind::kPowerOff:
        d.powerOff = true;
        break;
      case FaultKind::kUnplug:
        d.unplug = true;
        break;
    }
  }
  return d;
}

}  // namespace heatsim
