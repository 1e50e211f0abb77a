// The guided component test: boxes in order, Cancel, the time limit and the pacing, with the
// clock and the sleep injected.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "service/guided_test.h"
#include "service/thread_prompt.h"

namespace heatdiag::service {
namespace {

using std::chrono::milliseconds;

// Answers each box from a script and lets a given time pass while the user reads it.
class ScriptedUser : public PromptPresenter {
 public:
  explicit ScriptedUser(milliseconds& clock) : clock_(clock) { SetPromptPresenter(this); }
  ~ScriptedUser() override { SetPromptPresenter(nullptr); }

  struct Answer {
    bool ok;
    milliseconds reading;
  };
  std::deque<Answer> answers;
  std::vector<std::string> shown;
  std::vector<PromptButtons> buttons;

  bool Prompt(std::string_view caption, std::string_view text, PromptButtons b,
              PromptIcon) override {
    EXPECT_EQ(caption, "Component test");
    shown.emplace_back(text);
    buttons.push_back(b);
    if (answers.empty()) return true;
    const Answer answer = answers.front();
    answers.pop_front();
    clock_ += answer.reading;
    return answer.ok;
  }

 private:
  milliseconds& clock_;
};

class GuidedTest : public ::testing::Test {
 protected:
  GuidedTest() : user_(clock_) {
    hooks_.now = [this] { return clock_; };
    hooks_.sleep = [this](milliseconds d) {
      slept_.push_back(d);
      clock_ += d;
    };
  }
  milliseconds clock_{1000};
  ScriptedUser user_;
  GuidedTestHooks hooks_;
  std::vector<milliseconds> slept_;
  const std::vector<std::string> steps_ = {"one", "two", "three"};
};

TEST_F(GuidedTest, AllConfirmedEndsWithTestFinished) {
  std::vector<std::size_t> before;
  std::vector<std::size_t> after;
  hooks_.beforeStep = [&](std::size_t i) {
    before.push_back(i);
    return true;
  };
  hooks_.afterStep = [&](std::size_t i) { after.push_back(i); };
  EXPECT_EQ(RunGuidedTest(steps_, milliseconds(20000), hooks_), GuidedOutcome::kFinished);
  EXPECT_EQ(user_.shown, (std::vector<std::string>{"one", "two", "three", "Test finished"}));
  EXPECT_EQ(user_.buttons.back(), PromptButtons::kOk);
  EXPECT_EQ(user_.buttons.front(), PromptButtons::kOkCancel);
  EXPECT_EQ(slept_, (std::vector<milliseconds>{kGuidedStepGap, kGuidedStepGap}));
  EXPECT_EQ(before, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(after, (std::vector<std::size_t>{0, 1, 2}));
}

TEST_F(GuidedTest, CancelEndsAtOnce) {
  user_.answers = {{true, milliseconds(10)}, {false, milliseconds(10)}};
  EXPECT_EQ(RunGuidedTest(steps_, milliseconds(20000), hooks_), GuidedOutcome::kCancelled);
  EXPECT_EQ(user_.shown, (std::vector<std::string>{"one", "two"}));
}

TEST_F(GuidedTest, AStepReachedLaterThanTheLimitEndsTheTest) {
  // The driver takes long to bring the unit into the state of step two.
  hooks_.beforeStep = [this](std::size_t i) {
    if (i == 1) clock_ += milliseconds(19400);
    return true;
  };
  EXPECT_EQ(RunGuidedTest(steps_, milliseconds(20000), hooks_), GuidedOutcome::kTimeUp);
  EXPECT_EQ(user_.shown, (std::vector<std::string>{"one", "Time is up, test cancelled"}));
}

TEST_F(GuidedTest, WithinTheLimitGoesOn) {
  hooks_.beforeStep = [this](std::size_t i) {
    if (i == 1) clock_ += milliseconds(19300);  // 700 gap + 19300 = exactly the limit
    return true;
  };
  EXPECT_EQ(RunGuidedTest(steps_, milliseconds(20000), hooks_), GuidedOutcome::kFinished);
}

TEST_F(GuidedTest, TheDriverMayEndTheTest) {
  hooks_.beforeStep = [](std::size_t i) { return i < 2; };
  EXPECT_EQ(RunGuidedTest(steps_, milliseconds(20000), hooks_), GuidedOutcome::kCancelled);
  EXPECT_EQ(user_.shown.size(), 2u);
}

TEST(ThreadPrompt, WithoutPresenterTheAnswerIsCancel) {
  SetPromptPresenter(nullptr);
  EXPECT_FALSE(PromptUser(21002, "text", PromptButtons::kOkCancel, PromptIcon::kInformation));
}

}  // namespace
}  // namespace heatdiag::service
