// The Co2Worker on a scripted driver: the adjustment ends on every path and the menu commands
// toggle as the menu items do.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "drivers/device_table.h"
#include "service/co2_worker.h"

namespace heatdiag::service {
namespace {

using namespace std::chrono_literals;

// The scripted driver behind the record's operations.
struct FakeCo2Unit {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> calls;
  std::vector<int> values;
  bool session = true;
  int startResult = 1;
  int valueResult = 1;
  Co2Request* dialog = nullptr;
  int refusals = 0;

  void Note(std::string call) {
    std::lock_guard lock(mutex);
    calls.push_back(std::move(call));
    changed.notify_all();
  }
  // Some of the awaited facts are words of the request, which change without a notification:
  // the wait looks again every millisecond until its deadline.
  template <typename Predicate>
  bool WaitFor(Predicate predicate) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    std::unique_lock lock(mutex);
    while (!predicate()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      changed.wait_for(lock, 1ms);
    }
    return true;
  }
  int Count(const std::string& call) {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }
};

FakeCo2Unit* g_unit = nullptr;

int Session() {
  std::lock_guard lock(g_unit->mutex);
  return g_unit->session ? 1 : 0;
}
void Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current) {
  *lowest = 0x10;
  *highest = 0xF0;
  *current = 0x80;
  g_unit->Note("range");
}
int Start() {
  g_unit->Note("start");
  std::lock_guard lock(g_unit->mutex);
  return g_unit->startResult;
}
int StartCold() {
  g_unit->Note("start cold");
  std::lock_guard lock(g_unit->mutex);
  return g_unit->startResult;
}
int End() {
  g_unit->Note("end");
  return 0;
}
int Value(std::uint8_t value) {
  {
    std::lock_guard lock(g_unit->mutex);
    g_unit->values.push_back(value);
  }
  g_unit->Note("value");
  std::lock_guard lock(g_unit->mutex);
  return g_unit->valueResult;
}

std::array<DeviceDriver, kDeviceCount> Table() {
  std::array<DeviceDriver, kDeviceCount> table{};
  DeviceDriver& d = table[0];
  d.IsSessionActive = Session;
  d.GetCo2Range = Range;
  d.StartCo2Adjustment = Start;
  d.StartCo2AdjustmentCold = StartCold;
  d.EndCo2Adjustment = End;
  d.SetCo2Value = Value;
  return table;
}

class Co2WorkerTest : public ::testing::Test {
 protected:
  Co2WorkerTest() : table_(Table()), scoped_(table_) {
    g_unit = &unit_;
    SelectDevice(0);
    SetCo2Command(kCo2Idle);
    worker_ = std::make_unique<Co2Worker>(Co2Worker::Hooks{[this](Co2Request* request) {
                                                             std::lock_guard lock(unit_.mutex);
                                                             unit_.dialog = request;
                                                             unit_.changed.notify_all();
                                                           },
                                                           [this] {
                                                             std::lock_guard lock(unit_.mutex);
                                                             ++unit_.refusals;
                                                             unit_.changed.notify_all();
                                                           }},
                                          1ms);
    worker_->Start();
  }
  ~Co2WorkerTest() override {
    worker_.reset();
    SelectDevice(kNoDevice);
    SetCo2Command(kCo2Idle);
    g_unit = nullptr;
  }

  Co2Request* Dialog() {
    EXPECT_TRUE(unit_.WaitFor([this] { return unit_.dialog != nullptr; }));
    std::lock_guard lock(unit_.mutex);
    return unit_.dialog;
  }
  // What the dialog does on its 100 ms timer: it ends once abort is set.
  void CloseOnAbort(Co2Request* request) {
    ASSERT_TRUE(unit_.WaitFor([request] { return request->abort.load() != 0; }));
    request->closed = 1;
  }
  bool WaitUntilIdle() {
    return unit_.WaitFor([this] { return Co2Command() == kCo2Idle && !worker_->Adjusting(); });
  }

  FakeCo2Unit unit_;
  std::array<DeviceDriver, kDeviceCount> table_;
  ScopedDeviceTable scoped_;
  std::unique_ptr<Co2Worker> worker_;
};

TEST_F(Co2WorkerTest, NormalAdjustmentSendsTheCurrentValueThenEveryChangeUntilClosed) {
  ToggleCo2Command(kCo2Normal);
  Co2Request* request = Dialog();
  EXPECT_EQ(request->lowest.load(), 0x10);
  EXPECT_EQ(request->highest.load(), 0xF0);
  EXPECT_EQ(request->mode.load(), 1u);
  ASSERT_TRUE(unit_.WaitFor([request] { return request->accepted.load() == 1; }));
  request->value = 0x42;
  request->changed = 1;
  ASSERT_TRUE(unit_.WaitFor([request] { return request->accepted.load() == 2; }));
  request->closed = 1;
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(unit_.Count("end"), 1);
  std::lock_guard lock(unit_.mutex);
  EXPECT_EQ(unit_.values, (std::vector<int>{0x80, 0x42}));
  EXPECT_EQ(unit_.refusals, 0);
}

TEST_F(Co2WorkerTest, TheMenuChosenAgainEndsTheAdjustment) {
  ToggleCo2Command(kCo2Normal);
  EXPECT_EQ(Co2Command(), kCo2Normal);
  Co2Request* request = Dialog();
  ToggleCo2Command(kCo2Normal);
  CloseOnAbort(request);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(unit_.Count("end"), 1);
}

TEST_F(Co2WorkerTest, TheColdCommandDoesNotEndARunningNormalAdjustmentNorFollowIt) {
  ToggleCo2Command(kCo2Normal);
  Co2Request* request = Dialog();
  ToggleCo2Command(kCo2Cold);
  EXPECT_EQ(Co2Command(), kCo2Cold);
  ASSERT_TRUE(unit_.WaitFor([request] { return request->accepted.load() == 1; }));
  request->value = 0x20;
  request->changed = 1;
  ASSERT_TRUE(unit_.WaitFor([request] { return request->accepted.load() == 2; }));
  EXPECT_EQ(request->abort.load(), 0u);
  request->closed = 1;
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(unit_.Count("start cold"), 0);
  EXPECT_EQ(unit_.Count("start"), 1);
}

TEST_F(Co2WorkerTest, ColdAdjustmentHasModeZero) {
  ToggleCo2Command(kCo2Cold);
  Co2Request* request = Dialog();
  EXPECT_EQ(request->mode.load(), 0u);
  request->closed = 1;
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(unit_.Count("start cold"), 1);
  EXPECT_EQ(unit_.Count("end"), 1);
}

TEST_F(Co2WorkerTest, ARefusedStartShowsTheMessageAndOpensNoDialog) {
  {
    std::lock_guard lock(unit_.mutex);
    unit_.startResult = 0;
  }
  ToggleCo2Command(kCo2Normal);
  ASSERT_TRUE(unit_.WaitFor([this] { return unit_.refusals == 1; }));
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(unit_.Count("end"), 1);
  EXPECT_EQ(unit_.Count("range"), 0);
  std::lock_guard lock(unit_.mutex);
  EXPECT_EQ(unit_.dialog, nullptr);
}

TEST_F(Co2WorkerTest, ARefusedValueAbortsAndShowsTheMessageAfterTheDialogClosed) {
  {
    std::lock_guard lock(unit_.mutex);
    unit_.valueResult = 0;
  }
  ToggleCo2Command(kCo2Normal);
  Co2Request* request = Dialog();
  ASSERT_TRUE(unit_.WaitFor([request] { return request->abort.load() != 0; }));
  EXPECT_EQ(request->failed.load(), 1u);
  {
    std::lock_guard lock(unit_.mutex);
    EXPECT_EQ(unit_.refusals, 0);
  }
  request->closed = 1;
  ASSERT_TRUE(unit_.WaitFor([this] { return unit_.refusals == 1; }));
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(unit_.Count("end"), 1);
}

TEST_F(Co2WorkerTest, TheSessionLostClosesTheDialog) {
  ToggleCo2Command(kCo2Normal);
  Co2Request* request = Dialog();
  {
    std::lock_guard lock(unit_.mutex);
    unit_.session = false;
  }
  CloseOnAbort(request);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(unit_.Count("end"), 1);
}

TEST_F(Co2WorkerTest, ProgramExitEndsARunningAdjustmentWithoutTheDialog) {
  ToggleCo2Command(kCo2Normal);
  Co2Request* request = Dialog();
  worker_->Stop();
  EXPECT_TRUE(worker_->Ended());
  EXPECT_EQ(request->abort.load(), 1u);
  EXPECT_EQ(unit_.Count("end"), 1);
  EXPECT_EQ(Co2Command(), kCo2Idle);
}

TEST_F(Co2WorkerTest, NoDeviceCallsNothing) {
  SelectDevice(kNoDevice);
  ToggleCo2Command(kCo2Normal);
  ASSERT_TRUE(WaitUntilIdle());
  std::lock_guard lock(unit_.mutex);
  EXPECT_TRUE(unit_.calls.empty());
}

TEST(Co2Command, MenuItemsToggle) {
  SetCo2Command(kCo2Idle);
  ToggleCo2Command(kCo2Normal);
  EXPECT_EQ(Co2Command(), kCo2Normal);
  ToggleCo2Command(kCo2Normal);
  EXPECT_EQ(Co2Command(), kCo2Idle);
  ToggleCo2Command(kCo2Cold);
  EXPECT_EQ(Co2Command(), kCo2Cold);
  ToggleCo2Command(kCo2Normal);
  EXPECT_EQ(Co2Command(), kCo2Normal);
  SetCo2Command(kCo2Idle);
}

}  // namespace
}  // namespace heatdiag::service
