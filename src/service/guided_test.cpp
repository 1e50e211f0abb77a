#include "service/guided_test.h"

#include <thread>

#include "service/service_texts.h"
#include "service/thread_prompt.h"

namespace heatdiag::service {

GuidedOutcome RunGuidedTest(std::span<const std::string> steps, std::chrono::milliseconds limit,
                            const GuidedTestHooks& hooks) {
  using std::chrono::milliseconds;
  const auto now = [&hooks] {
    if (hooks.now) return hooks.now();
    return std::chrono::duration_cast<milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
  };
  const auto sleep = [&hooks](milliseconds duration) {
    if (hooks.sleep)
      hooks.sleep(duration);
    else
      std::this_thread::sleep_for(duration);
  };
  milliseconds confirmed = now();
  for (std::size_t step = 0; step < steps.size(); ++step) {
    if (step > 0) sleep(kGuidedStepGap);
    if (hooks.beforeStep && !hooks.beforeStep(step)) return GuidedOutcome::kCancelled;
    if (now() - confirmed > limit) {
      if (hooks.afterStep) hooks.afterStep(step);
      PromptUserById(kTextComponentTest, kTextTimeIsUp, PromptButtons::kOk,
                     PromptIcon::kInformation);
      return GuidedOutcome::kTimeUp;
    }
    const bool ok = PromptUser(kTextComponentTest, steps[step], PromptButtons::kOkCancel,
                               PromptIcon::kInformation);
    confirmed = now();
    if (hooks.afterStep) hooks.afterStep(step);
    if (!ok) return GuidedOutcome::kCancelled;
  }
  PromptUserById(kTextComponentTest, kTextTestFinished, PromptButtons::kOk,
                 PromptIcon::kInformation);
  return GuidedOutcome::kFinished;
}

}  // namespace heatdiag::service
