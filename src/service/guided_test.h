// The guided component test of the drivers without the component test dialog: a fixed sequence
// of instructions that the user confirms one by one in "Component test" boxes (OK and Cancel),
// run on the driver's own thread. A driver brings only its instructions and what it does on the
// line around each step; the pacing, the time limit and the closing boxes are here.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace heatdiag::service {

// At least this long between a confirmation and the next instruction.
inline constexpr std::chrono::milliseconds kGuidedStepGap{700};

enum class GuidedOutcome {
  kFinished,   // every step confirmed; "Test finished" was shown
  kCancelled,  // the user chose Cancel, or the driver ended the test
  kTimeUp,     // a step came later than the limit after the previous confirmation
};

struct GuidedTestHooks {
  // The clock and the pause between steps (tests give their own).
  std::function<std::chrono::milliseconds()> now;
  std::function<void(std::chrono::milliseconds)> sleep;
  // Before step i is shown: the driver sets up the line; false ends the test (the driver has
  // told the user why). Empty: always true.
  std::function<bool(std::size_t step)> beforeStep;
  // After step i was confirmed (the driver releases the line). Empty: nothing.
  std::function<void(std::size_t step)> afterStep;
};

// Runs the steps in order. The time limit counts from the previous confirmation (for the first
// step from the start) to the moment the step is reached.
GuidedOutcome RunGuidedTest(std::span<const std::string> steps, std::chrono::milliseconds limit,
                            const GuidedTestHooks& hooks);

}  // namespace heatdiag::service
