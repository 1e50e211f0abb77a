#include "link/link_worker.h"

#include "base/frame_sink.h"
#include "base/protocol.h"
#include "link/hbus_transport.h"
#include "link/link_texts.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kSessionWaitMs = 100;
constexpr std::uint32_t kIdleSleepMs = 10;
constexpr int kJoinPolls = 100;
constexpr std::uint32_t kJoinPollMs = 10;
constexpr std::int32_t kOneSecondMs = 1000;

bool IsBlockState(WorkerState state) {
  return state >= WorkerState::kReadStart && state <= WorkerState::kBlockEnd;
}

}  // namespace

LinkWorker::LinkWorker(PollClient& client, HBusTransport& transport)
    : client_(client), transport_(transport) {}

LinkWorker::~LinkWorker() {
  if (thread_.joinable()) {
    transport_.RequestStop();
    if (!JoinThread() && thread_.joinable()) thread_.detach();
  }
}

void LinkWorker::StartThread() {
  if (thread_.joinable()) return;
  exited_.store(false);
  thread_ = std::thread([this] { Run(); });
}

bool LinkWorker::JoinThread() {
  if (!thread_.joinable()) return true;
  for (int i = 0; i < kJoinPolls && !exited_.load(); ++i) SleepMs(kJoinPollMs);
  if (!exited_.load()) return false;
  thread_.join();
  return true;
}

void LinkWorker::Run() {
  while (true) {
    Event& running = transport_.SessionRunning();
    running.WaitUnless(kSessionWaitMs, transport_.StopFlag());
    if (transport_.StopRequested()) break;
    if (!running.IsSet()) {
      transport_.SleepUnlessStopped(kSessionWaitMs);
      continue;
    }
    Step();
  }
  exited_.store(true);
}

void LinkWorker::BeginSession() {
  wakeUps_.store(0);
  answered_.store(false);
  identified_.store(false);
  probeFailed_.store(false);
  // Requests placed while no session ran must not fire at the next connection.
  requests_.store(0);
  heatingActive_.store(0);
  currentMode_.store(0);
  datasetError_.store(0);
  requestError_.store(0);
  state_.store(WorkerState::kConnect);
}

bool LinkWorker::ProbeMode() const {
  return transport_.ProbeMode();
}
void LinkWorker::SetProbeMode(bool on) {
  transport_.SetProbeMode(on);
}

void LinkWorker::FinishDataset(std::uint32_t error) {
  datasetError_.store(error);
  datasetDone_.Set();
}

void LinkWorker::FinishRequest(std::uint32_t error) {
  requestError_.store(error);
  requestDone_.Set();
}

bool LinkWorker::Execute(std::size_t k) {
  const EntryResult result = client_.ExecuteRow(k);
  switch (result) {
    case EntryResult::kDone:
      return true;
    case EntryResult::kRepeat:
      return false;
    case EntryResult::kLinkFault:
      state_.store(WorkerState::kLinkLost);
      return false;
    case EntryResult::kDatasetWrite:
    case EntryResult::kDatasetRead:
      state_.store(client_.StateAfter(result));
      return false;
  }
  // A result outside the enumeration is a handler fault: the link cannot be trusted.
  state_.store(WorkerState::kLinkLost);
  return false;
}

void LinkWorker::Step() {
  const WorkerState state = state_.load();
  switch (state) {
    case WorkerState::kIdle:
      SleepMs(kIdleSleepMs);
      break;
    case WorkerState::kConnect:
      Connect();
      break;
    case WorkerState::kConnectionPass:
      ConnectionPass();
      break;
    case WorkerState::kHousekeeping:
      Housekeeping();
      break;
    case WorkerState::kEverySecond:
      EverySecond();
      break;
    case WorkerState::kContinuous:
      Continuous();
      break;
    case WorkerState::kRequests:
      ServeRequests();
      break;
    case WorkerState::kLinkLost:
      LinkLost();
      break;
    default:
      if (IsBlockState(state))
        BlockStep(state);
      else
        state_.store(WorkerState::kIdle);
      break;
  }
}

void LinkWorker::Connect() {
  transport_.PauseReceiver();
  ProtocolAddById(kTextWakeup, kProtocolMessage);
  if (!client_.WakeUp()) {
    ProtocolAddById(kTextWakeupFault, kProtocolError);
    state_.store(WorkerState::kLinkLost);
    return;
  }
  connectionIndex_ = 0;
  everySecondIndex_ = 0;
  continuousIndex_ = 0;
  requestIndex_ = 0;
  state_.store(WorkerState::kConnectionPass);
}

void LinkWorker::ConnectionPass() {
  const std::size_t rows = client_.RowCount();
  // Rows that are not due are passed over within the same step.
  while (connectionIndex_ < rows) {
    const std::size_t k = connectionIndex_;
    const std::uint32_t requestBit = client_.RowRequestBit(k);
    const bool due = client_.RowApplies(k) &&
                     (client_.RowSchedule(k) != kOnRequest || (Requests() & requestBit) != 0);
    if (!due) {
      ++connectionIndex_;
      continue;
    }
    ClearRequest(requestBit);
    if (Execute(k)) ++connectionIndex_;
    if (ProbeMode() && (Identified() || ProbeFailed())) state_.store(WorkerState::kIdle);
    return;
  }
  currentMode_.store(0);
  client_.ConnectionPassDone();
  StartTimer(oneSecond_, kOneSecondMs);
  StartTimer(keepAlive_, static_cast<std::int32_t>(kKeepAliveMs));
  state_.store(WorkerState::kHousekeeping);
}

void LinkWorker::Housekeeping() {
  if (!client_.Housekeeping()) {
    state_.store(WorkerState::kLinkLost);
    return;
  }
  if (heatingActive_.load() == 0) {
    StartTimer(keepAlive_, static_cast<std::int32_t>(kKeepAliveMs));
  } else if (TimerExpired(keepAlive_)) {
    Request(client_.KeepAliveBit());
    AdvanceDeadline(keepAlive_, static_cast<std::int32_t>(kKeepAliveMs));
  }
  state_.store(WorkerState::kEverySecond);
}

void LinkWorker::EverySecond() {
  const std::size_t rows = client_.RowCount();
  if (rows > 0 && TimerExpired(oneSecond_)) {
    for (std::size_t looked = 0; looked < rows; ++looked) {
      const std::size_t k = everySecondIndex_ % rows;
      if (client_.RowSchedule(k) == kEverySecond && client_.RowApplies(k)) {
        ClearRequest(client_.RowRequestBit(k));
        if (Execute(k)) everySecondIndex_ = k + 1;
        break;
      }
      everySecondIndex_ = k + 1;
    }
    everySecondIndex_ %= rows;
    StartTimer(oneSecond_, kOneSecondMs);
    if (state_.load() != WorkerState::kEverySecond) return;
  }
  state_.store(WorkerState::kContinuous);
}

void LinkWorker::Continuous() {
  const std::size_t rows = client_.RowCount();
  if (rows > 0) {
    const std::size_t k = continuousIndex_ % rows;
    if (client_.RowSchedule(k) == kContinuous && client_.RowApplies(k)) {
      ClearRequest(client_.RowRequestBit(k));
      if (!Execute(k)) return;  // tried again at the next step (or the state has changed)
    }
    continuousIndex_ = (k + 1) % rows;
  }
  requestsLookedAt_ = 0;
  state_.store(WorkerState::kRequests);
}

void LinkWorker::ServeRequests() {
  const std::size_t rows = client_.RowCount();
  while (requestsLookedAt_ < rows) {
    const std::size_t k = requestIndex_ % rows;
    const std::uint32_t requestBit = client_.RowRequestBit(k);
    if (requestBit != 0 && (Requests() & requestBit) != 0 && client_.RowApplies(k)) {
      ClearRequest(requestBit);
      if (!Execute(k)) return;  // the same slot again at the next step
      requestIndex_ = (k + 1) % rows;
      ++requestsLookedAt_;
      return;
    }
    requestIndex_ = (k + 1) % rows;
    ++requestsLookedAt_;
  }
  state_.store(WorkerState::kHousekeeping);
}

void LinkWorker::LinkLost() {
  currentMode_.store(0);
  // Waiting operations are released with an error: nothing they asked for was confirmed.
  FinishDataset(1);
  FinishRequest(1);
  client_.LinkLost();
  if (!answered_.load()) {
    const std::uint32_t attempts = wakeUps_.fetch_add(1) + 1;
    if (attempts < static_cast<std::uint32_t>(kConnectionAttempts)) {
      transport_.SleepUnlessStopped(kReconnectDelayMs);
      state_.store(WorkerState::kConnect);
      return;
    }
    if (ProbeMode()) {
      probeFailed_.store(true);
      state_.store(WorkerState::kIdle);
      return;
    }
    ShowThreadError(kTextConnectionFailed);
  }
  state_.store(WorkerState::kIdle);
  PostToFrame(UM_LINKENDED);
}

void LinkWorker::StartTimer(Deadline& deadline, std::int32_t ms) const {
  deadline.durationMs = ms;
  deadline.startMs = clock_();
}

bool LinkWorker::TimerExpired(const Deadline& deadline) const {
  return DeadlineExpiredAt(deadline, clock_());
}

void LinkWorker::BlockStep(WorkerState state) {
  const WorkerState next = client_.BlockStep(state);
  // A block phase may release a waiting operation, which may end the session and start the
  // next one meanwhile: its outcome never overrides the state that session start has set.
  WorkerState expected = state;
  if (!state_.compare_exchange_strong(expected, next)) return;
  if (next == WorkerState::kRequests) requestsLookedAt_ = 0;
}

}  // namespace heatdiag
