// The link worker's state machine over a scripted poll client: which rows it executes in which
// order, when it requests the keep-alive, how it retries a lost link and where block phases go.
// The steps run on the test thread with the worker's clock in the test's hand; one test runs the
// worker's own thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/messages.h"
#include "hbus/recorders.h"
#include "link/hbus_transport.h"
#include "link/link_worker.h"
#include "link/poll_client.h"
#include "link/table_poll_client.h"

namespace heatdiag {
namespace {

using namespace std::chrono_literals;
using heatdiag::testing::Recorders;

struct FakeRow {
  std::uint32_t schedule = kAtConnection;
  std::uint32_t requestBit = 0;
  bool applies = true;
};

// A poll client whose rows only record that they ran; each row's results are scripted (kDone
// once the script is used up).
class FakeClient : public PollClient {
 public:
  std::vector<FakeRow> rows;
  std::map<std::size_t, std::deque<EntryResult>> results;
  std::function<void(std::size_t)> onExecute;
  std::function<WorkerState(WorkerState)> block;
  std::function<WorkerState(EntryResult)> stateAfter;
  bool wakeSucceeds = true;
  bool housekeepingSucceeds = true;
  std::uint32_t keepAliveBit = 0;

  std::size_t RowCount() const override { return rows.size(); }
  std::uint32_t RowSchedule(std::size_t k) const override { return rows[k].schedule; }
  std::uint32_t RowRequestBit(std::size_t k) const override { return rows[k].requestBit; }
  bool RowApplies(std::size_t k) const override { return rows[k].applies; }
  EntryResult ExecuteRow(std::size_t k) override {
    {
      std::lock_guard lock(mutex_);
      executed_.push_back(k);
    }
    changed_.notify_all();
    if (onExecute) onExecute(k);
    auto& script = results[k];
    if (script.empty()) return EntryResult::kDone;
    const EntryResult result = script.front();
    script.pop_front();
    return result;
  }
  WorkerState StateAfter(EntryResult result) override {
    return stateAfter ? stateAfter(result) : PollClient::StateAfter(result);
  }
  bool WakeUp() override {
    ++wakeUps;
    return wakeSucceeds;
  }
  void ConnectionPassDone() override {
    {
      std::lock_guard lock(mutex_);
      ++passesDone_;
    }
    changed_.notify_all();
  }
  std::uint32_t KeepAliveBit() const override { return keepAliveBit; }
  bool Housekeeping() override {
    ++housekeepings;
    return housekeepingSucceeds;
  }
  WorkerState BlockStep(WorkerState state) override {
    blockSteps.push_back(state);
    return block ? block(state) : PollClient::BlockStep(state);
  }
  void LinkLost() override { ++linksLost; }

  std::vector<std::size_t> Executed() const {
    std::lock_guard lock(mutex_);
    return executed_;
  }
  void ClearExecuted() {
    std::lock_guard lock(mutex_);
    executed_.clear();
  }
  int PassesDone() const {
    std::lock_guard lock(mutex_);
    return passesDone_;
  }
  // Waits (bounded) until the predicate holds over the rows executed so far.
  bool WaitFor(const std::function<bool(const std::vector<std::size_t>&, int)>& done,
               std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return done(executed_, passesDone_); });
  }

  int wakeUps = 0;
  int housekeepings = 0;
  int linksLost = 0;
  std::vector<WorkerState> blockSteps;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::size_t> executed_;
  int passesDone_ = 0;
};

std::uint32_t fakeNow = 0;
std::uint32_t FakeClock() {
  return fakeNow;
}

class LinkWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakeNow = 1000;
    worker.SetClock(FakeClock);
    // The worker's pauses (the 500 ms before a reconnection) end at once on a stopped line.
    transport.RequestStop();
  }

  void Begin() {
    worker.BeginSession();
    ASSERT_EQ(worker.State(), WorkerState::kConnect);
  }
  // Steps until the state is reached; false after `limit` steps.
  bool StepUntil(WorkerState state, int limit = 1000) {
    for (int i = 0; i < limit; ++i) {
      if (worker.State() == state) return true;
      worker.Step();
    }
    return worker.State() == state;
  }
  // Session start, wake-up and connection pass.
  void Connect() {
    Begin();
    ASSERT_TRUE(StepUntil(WorkerState::kHousekeeping));
    client.ClearExecuted();
  }
  // One polling cycle: housekeeping, every second, continuous, requests, back to housekeeping.
  void Cycle() {
    ASSERT_EQ(worker.State(), WorkerState::kHousekeeping);
    worker.Step();
    for (int i = 0; i < 1000 && worker.State() != WorkerState::kHousekeeping; ++i) worker.Step();
    ASSERT_EQ(worker.State(), WorkerState::kHousekeeping);
  }

  Recorders recorders;
  HBusTransport transport;
  FakeClient client;
  LinkWorker worker{client, transport};
};

using Rows = std::vector<std::size_t>;

TEST_F(LinkWorkerTest, ConnectionPassRunsTheDueRowsInTableOrder) {
  client.rows = {
      {kAtConnection, 0, true},    // 0
      {kAtConnection, 0, false},   // 1: another version
      {kOnRequest, 0x1, true},     // 2: not requested
      {kOnRequest, 0x2, true},     // 3: requested before the pass
      {kContinuous, 0, true},      // 4
      {kEverySecond, 0x4, true},   // 5
      {kAtConnection, 0x8, true},  // 6: not done at the first try
      {kEverySecond, 0, false},    // 7: another version
  };
  client.results[6] = {EntryResult::kRepeat};
  Begin();
  worker.Request(0x2 | 0x4);
  ASSERT_TRUE(StepUntil(WorkerState::kHousekeeping));
  EXPECT_EQ(client.Executed(), (Rows{0, 3, 4, 5, 6, 6}));
  EXPECT_EQ(client.wakeUps, 1);
  EXPECT_EQ(client.PassesDone(), 1);
  EXPECT_EQ(worker.Requests(), 0u);  // bits of executed rows are cleared
  EXPECT_EQ(recorders.ProtocolTexts(kProtocolMessage), (std::vector<std::string>{"Wakeup..."}));
}

TEST_F(LinkWorkerTest, ContinuousRowsTakeOneSlotPerCycleAndRepeatUntilDone) {
  client.rows = {
      {kContinuous, 0, true},    // 0
      {kAtConnection, 0, true},  // 1: a slot without a continuous row
      {kContinuous, 0, false},   // 2: another version
      {kContinuous, 0, true},    // 3
  };
  Connect();
  client.results[3] = {EntryResult::kRepeat, EntryResult::kRepeat};
  for (int i = 0; i < 8; ++i) Cycle();
  // Slots 0, 1, 2, 3 (three tries), 0, 1, 2, 3.
  EXPECT_EQ(client.Executed(), (Rows{0, 3, 3, 3, 0, 3}));
}

TEST_F(LinkWorkerTest, RequestRowsAreServedByTheirBitInTheApplyingVersion) {
  client.rows = {
      {kContinuous, 0, true},     // 0
      {kOnRequest, 0x10, false},  // 1: the bit's row of another version
      {kOnRequest, 0x10, true},   // 2
      {kOnRequest, 0x20, true},   // 3: a handler asks for it again once
      {kOnRequest, 0x40, true},   // 4: never requested
  };
  Connect();
  bool again = true;
  client.onExecute = [&](std::size_t k) {
    if (k == 3 && again) {
      again = false;
      worker.Request(0x20);
    }
  };
  worker.Request(0x10 | 0x20);
  Cycle();
  EXPECT_EQ(client.Executed(), (Rows{0, 2, 3}));
  EXPECT_EQ(worker.Requests(), 0x20u);
  Cycle();
  // The continuous slot has moved on to a request row; the repeated request goes out.
  EXPECT_EQ(client.Executed(), (Rows{0, 2, 3, 3}));
  EXPECT_EQ(worker.Requests(), 0u);
}

TEST_F(LinkWorkerTest, EverySecondRowsTakeTurnsOncePerSecond) {
  client.rows = {
      {kEverySecond, 0, true},   // 0
      {kContinuous, 0, false},   // 1: another version, so cycles send nothing else
      {kEverySecond, 0, false},  // 2: another version
      {kEverySecond, 0, true},   // 3
  };
  Connect();
  Cycle();
  fakeNow += 999;
  Cycle();
  EXPECT_TRUE(client.Executed().empty());
  std::vector<std::size_t> expected;
  for (std::size_t row : {0u, 3u, 0u}) {
    fakeNow += 1000;
    Cycle();
    Cycle();  // within the same second: nothing
    expected.push_back(row);
    EXPECT_EQ(client.Executed(), expected);
  }
}

TEST_F(LinkWorkerTest, KeepAliveIsRequestedEveryTenSecondsWhileHeating) {
  client.rows = {{kOnRequest, 0x200, true}};
  client.keepAliveBit = 0x200;
  Connect();
  fakeNow += 20000;
  Cycle();
  EXPECT_TRUE(client.Executed().empty());  // no heating mode runs
  worker.SetHeatingActive(0x21);
  Cycle();  // the deadline runs from the last pass without heating
  fakeNow += 9999;
  Cycle();
  EXPECT_TRUE(client.Executed().empty());
  fakeNow += 1;
  Cycle();
  EXPECT_EQ(client.Executed(), (Rows{0}));
  fakeNow += 10000;
  Cycle();
  Cycle();
  EXPECT_EQ(client.Executed(), (Rows{0, 0}));
  worker.SetHeatingActive(0);
  fakeNow += 30000;
  Cycle();
  EXPECT_EQ(client.Executed(), (Rows{0, 0}));
}

TEST_F(LinkWorkerTest, FailedHousekeepingLosesTheLink) {
  client.rows = {{kContinuous, 0, true}};
  Connect();
  client.housekeepingSucceeds = false;
  worker.Step();
  EXPECT_EQ(worker.State(), WorkerState::kLinkLost);
}

struct LostCase {
  const char* name;
  bool probe;
  bool answered;
  int wakeUps;           // connection attempts made
  bool connectionError;  // "Communication to device couldn't be established! ..."
  bool linkEnded;        // UM_LINKENDED posted
  bool probeFailed;
};

class LinkLost : public LinkWorkerTest, public ::testing::WithParamInterface<LostCase> {};

TEST_P(LinkLost, RetriesOnlyWhileNeverAnswered) {
  const LostCase& c = GetParam();
  client.rows = {{kAtConnection, 0, true}};
  worker.SetProbeMode(c.probe);
  Begin();
  // The unit answers the first row (or not at all) and then the link fails.
  client.onExecute = [&](std::size_t) {
    if (c.answered) worker.SetAnswered();
  };
  client.results[0] = {EntryResult::kLinkFault, EntryResult::kLinkFault, EntryResult::kLinkFault};
  ASSERT_TRUE(StepUntil(WorkerState::kIdle));
  EXPECT_EQ(client.wakeUps, c.wakeUps);
  EXPECT_EQ(client.linksLost, c.wakeUps);
  EXPECT_EQ(worker.ProbeFailed(), c.probeFailed);
  EXPECT_EQ(recorders.Errors().size(), c.connectionError ? 1u : 0u);
  if (c.connectionError) {
    EXPECT_EQ(recorders.Errors()[0].rfind("Communication to device couldn't be established!", 0),
              0u);
  }
  EXPECT_EQ(recorders.CountMessages(UM_LINKENDED), c.linkEnded ? 1u : 0u);
  // Waiting operations are released with an error.
  EXPECT_TRUE(worker.DatasetDone().Wait(0));
  EXPECT_EQ(worker.DatasetError(), 1u);
  EXPECT_TRUE(worker.RequestDone().Wait(0));
  EXPECT_EQ(worker.RequestError(), 1u);
  EXPECT_EQ(worker.CurrentMode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Worker, LinkLost,
    ::testing::Values(LostCase{"NeverAnswered", false, false, 3, true, true, false},
                      LostCase{"NeverAnsweredProbe", true, false, 3, false, false, true},
                      LostCase{"Answered", false, true, 1, false, true, false},
                      LostCase{"AnsweredProbe", true, true, 1, false, true, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(LinkWorkerTest, FailedWakeUpIsALostLink) {
  client.rows = {{kAtConnection, 0, true}};
  client.wakeSucceeds = false;
  Begin();
  worker.Step();
  EXPECT_EQ(worker.State(), WorkerState::kLinkLost);
  EXPECT_EQ(recorders.ProtocolTexts(kProtocolError),
            (std::vector<std::string>{"Fault during wakeup!"}));
  ASSERT_TRUE(StepUntil(WorkerState::kIdle));
  EXPECT_EQ(client.wakeUps, 3);
  EXPECT_TRUE(client.Executed().empty());
}

TEST_F(LinkWorkerTest, ProbeEndsTheConnectionPassOnceDecided) {
  client.rows = {{kAtConnection, 0, true}, {kAtConnection, 0, true}, {kAtConnection, 0, true}};
  worker.SetProbeMode(true);
  client.onExecute = [&](std::size_t k) {
    if (k == 1) worker.SetIdentified(true);
  };
  Begin();
  ASSERT_TRUE(StepUntil(WorkerState::kIdle));
  EXPECT_EQ(client.Executed(), (Rows{0, 1}));
  EXPECT_EQ(client.PassesDone(), 0);
}

TEST_F(LinkWorkerTest, BlockPhasesRunThroughTheClientAndBackToRequests) {
  client.rows = {
      {kOnRequest, 0x1, true},  // 0: starts the block read
      {kOnRequest, 0x2, true},  // 1: requested meanwhile, served after the transfer
  };
  Connect();
  client.results[0] = {EntryResult::kDatasetRead};
  int cells = 2;
  client.block = [&](WorkerState state) {
    switch (state) {
      case WorkerState::kReadStart:
        return WorkerState::kReadCells;
      case WorkerState::kReadCells:
        return --cells > 0 ? WorkerState::kReadCells : WorkerState::kBlockEnd;
      default:
        return WorkerState::kRequests;
    }
  };
  worker.Request(0x1);
  worker.Step();  // housekeeping
  worker.Step();  // every second
  worker.Step();  // continuous: no such row
  worker.Step();  // requests: row 0
  EXPECT_EQ(worker.State(), WorkerState::kReadStart);
  worker.Request(0x2);
  ASSERT_TRUE(StepUntil(WorkerState::kRequests));
  EXPECT_EQ(client.blockSteps,
            (std::vector<WorkerState>{WorkerState::kReadStart, WorkerState::kReadCells,
                                      WorkerState::kReadCells, WorkerState::kBlockEnd}));
  // After the transfer a whole request pass follows.
  ASSERT_TRUE(StepUntil(WorkerState::kHousekeeping));
  EXPECT_EQ(client.Executed(), (Rows{0, 1}));
}

TEST_F(LinkWorkerTest, BlockResultsGoWhereTheClientSays) {
  client.rows = {{kOnRequest, 0x1, true}, {kOnRequest, 0x2, true}};
  Connect();
  client.results[0] = {EntryResult::kDatasetWrite};
  client.results[1] = {EntryResult::kDatasetRead};
  client.stateAfter = [](EntryResult result) {
    return result == EntryResult::kDatasetWrite ? WorkerState::kBlockEnd : WorkerState::kWriteStart;
  };
  worker.Request(0x1);
  ASSERT_TRUE(StepUntil(WorkerState::kBlockEnd, 10));
  worker.Step();
  EXPECT_EQ(client.blockSteps, (std::vector<WorkerState>{WorkerState::kBlockEnd}));
  worker.Request(0x2);
  ASSERT_TRUE(StepUntil(WorkerState::kWriteStart, 10));
}

TEST_F(LinkWorkerTest, SessionStartDuringABlockPhaseIsNotOverridden) {
  client.rows = {{kOnRequest, 0x1, true}};
  Connect();
  client.results[0] = {EntryResult::kDatasetRead};
  // The phase releases the waiting operation, whose caller ends the session and starts anew.
  client.block = [&](WorkerState) {
    worker.BeginSession();
    return WorkerState::kRequests;
  };
  worker.Request(0x1);
  ASSERT_TRUE(StepUntil(WorkerState::kReadStart, 10));
  worker.Step();
  EXPECT_EQ(worker.State(), WorkerState::kConnect);
}

// The worker's own thread: it idles until the session runs, then connects and serves a request.
TEST(LinkWorkerThread, ConnectsPollsAndServesRequestsUntilStopped) {
  Recorders recorders;
  HBusTransport transport;
  FakeClient client;
  client.rows = {{kAtConnection, 0, true}, {kOnRequest, 0x8, true}};
  LinkWorker worker(client, transport);
  worker.StartThread();
  worker.BeginSession();
  transport.SessionRunning().Set();
  ASSERT_TRUE(client.WaitFor([](const auto&, int passes) { return passes == 1; }, 10s));
  worker.Request(0x8);
  ASSERT_TRUE(
      client.WaitFor([](const std::vector<std::size_t>& rows,
                        int) { return std::find(rows.begin(), rows.end(), 1u) != rows.end(); },
                     10s));
  transport.SessionRunning().Reset();
  transport.RequestStop();
  EXPECT_TRUE(worker.JoinThread());
  EXPECT_TRUE(worker.Exited());
  const Rows executed = client.Executed();
  EXPECT_EQ(executed.front(), 0u);
  EXPECT_EQ(std::count(executed.begin(), executed.end(), 1u), 1);
}

// --- TablePollClient -------------------------------------------------------------------------

struct TableDriver {
  std::vector<std::uint8_t> sent;
  std::vector<int> handled;
  std::uint8_t version = 0x31;
  std::size_t builderLength = 3;
};
struct TableReply {
  std::uint8_t first = 0;
};
using TableRow = PollRow<TableDriver, TableReply>;

std::size_t BuildThree(TableDriver& d, std::span<std::uint8_t> work, std::size_t) {
  work[2] = 0x77;
  return d.builderLength;
}
EntryResult HandleRepeat(TableDriver& d, const TableReply& reply) {
  d.handled.push_back(reply.first);
  return EntryResult::kRepeat;
}

constexpr TableRow kTableRows[] = {
    {{0x50, 0x07}, 2, kContinuous, 0, nullptr, HandleRepeat, 0x30, 0x39},
    {{0x34, 0x40}, 2, kOnRequest, 0x4, BuildThree, HandleRepeat, 0x10, 0x19},
};

class TableClient : public TablePollClient<TableDriver, TableReply> {
 public:
  using TablePollClient::TablePollClient;
  bool answer = true;
  std::uint8_t ProtocolVersion() const override { return Owner().version; }
  std::optional<TableReply> Exchange(std::span<const std::uint8_t> request) override {
    Owner().sent.assign(request.begin(), request.end());
    if (!answer) return std::nullopt;
    return TableReply{static_cast<std::uint8_t>(request[0] | 0x80)};
  }
  bool WakeUp() override { return true; }
  void ConnectionPassDone() override {}
};

TEST(TablePollClient, ExecutesRowsThroughBuilderExchangeAndHandler) {
  TableDriver driver;
  TableClient client(driver, kTableRows);
  ASSERT_EQ(client.RowCount(), 2u);
  EXPECT_EQ(client.RowSchedule(0), kContinuous);
  EXPECT_EQ(client.RowRequestBit(1), 0x4u);
  EXPECT_TRUE(client.RowApplies(0));
  EXPECT_FALSE(client.RowApplies(1));
  driver.version = 0x19;
  EXPECT_FALSE(client.RowApplies(0));
  EXPECT_TRUE(client.RowApplies(1));

  // Without a builder the payload goes out as it stands; the handler's result is the row's.
  EXPECT_EQ(client.ExecuteRow(0), EntryResult::kRepeat);
  EXPECT_EQ(driver.sent, (std::vector<std::uint8_t>{0x50, 0x07}));
  // A builder works on a copy of the payload and says how much to send.
  EXPECT_EQ(client.ExecuteRow(1), EntryResult::kRepeat);
  EXPECT_EQ(driver.sent, (std::vector<std::uint8_t>{0x34, 0x40, 0x77}));
  EXPECT_EQ(kTableRows[1].payload[2], 0);
  EXPECT_EQ(driver.handled, (std::vector<int>{0xD0, 0xB4}));
  // Nothing to send counts as done; an unanswered request is a link fault, not handled.
  driver.builderLength = 0;
  driver.sent.clear();
  EXPECT_EQ(client.ExecuteRow(1), EntryResult::kDone);
  EXPECT_TRUE(driver.sent.empty());
  client.answer = false;
  EXPECT_EQ(client.ExecuteRow(0), EntryResult::kLinkFault);
  EXPECT_EQ(driver.handled.size(), 2u);
}

}  // namespace
}  // namespace heatdiag
