// The faults injected into the exchange, decided per received request.
#pragma once

#include <cstdint>
#include <vector>

#include "virtual_heater.h"

namespace heatsim {

struct FaultDecision {
  bool noReply = false;
  bool wrongEcho = false;
  bool badChecksum = false;
  bool powerOff = false;
  bool unplug = false;
  int extraDelayMs = 0;
  int garbageBytes = 0;
  int nakCode = -1;  // -1: no NAK
};

class FaultPlan {
 public:
  // `received`: requests received so far; the rule's `after` counts from there.
  void Add(FaultRule rule, std::uint64_t received);
  void Clear() { rules_.clear(); }
  bool Empty() const { return rules_.empty(); }

  // For the request numbered `received` (0-based) with this command and index (-1: none);
  // block frames cannot be refused with a NAK.
  FaultDecision Decide(std::uint64_t received, int command, int index, bool blockFrame);

 private:
  struct Active {
    FaultRule rule;
    std::uint64_t from;
  };
  std::vector<Active> rules_;
};

}  // namespace heatsim
