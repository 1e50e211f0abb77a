#include "link/link_worker.h"

#include <algorithm>

#include "dataset/dataset_image.h"
#include "dataset/dataset_texts.h"
#include "drivers/diag_store.h"
#include "drivers/hbus/hbus_driver.h"
#include "link/hbus_transport.h"
#include "link/link_texts.h"
#include "link/wakeup.h"
#include "shell/frame_sink.h"
#include "views/protocol.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kSessionWaitMs = 100;
constexpr std::uint32_t kIdleSleepMs = 10;
constexpr std::uint32_t kBlockEndPauseMs = 50;
constexpr int kJoinPolls = 100;
constexpr std::uint32_t kJoinPollMs = 10;

// Block frames of the EEPROM transfer.
constexpr std::uint8_t kBlockRead = 0x03;
constexpr std::uint8_t kBlockWrite = 0x04;
constexpr std::uint8_t kBlockBank = 0x05;
constexpr std::uint8_t kBlockEnd = 0x09;

constexpr std::uint8_t kVersion30 = 0x30;
constexpr std::uint8_t kVersion31 = 0x31;
constexpr std::uint8_t kVersion32 = 0x32;

}  // namespace

LinkWorker::LinkWorker(hbus::Driver& driver, HBusTransport& transport,
                       std::span<const PollEntry> table)
    : driver_(driver), transport_(transport), table_(table) {}

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

void LinkWorker::SetLineConfigs(const PortConfig& hbus, const PortConfig& block) {
  hbusConfig_ = hbus;
  blockConfig_ = block;
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
  freeTelegramPending_.store(false);
  state_.store(WorkerState::kConnect);
}

std::uint8_t LinkWorker::Version() const {
  return transport_.HBusVersion();
}
void LinkWorker::SetVersion(std::uint8_t version) {
  transport_.SetHBusVersion(version);
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

void LinkWorker::QueueFreeTelegram(const FreeTelegram& telegram) {
  {
    std::lock_guard lock(freeTelegramLock_);
    freeTelegram_ = telegram;
  }
  freeTelegramPending_.store(true);
}

void LinkWorker::EnterBlockMode(std::uint32_t baudRate) {
  transport_.PauseReceiver();
  PortConfig config = blockConfig_;
  config.baudRate = baudRate;
  ConfigurePort(transport_.Port(), config);
  transport_.SetReceiverMode(kRxBlockFirst);
}

bool LinkWorker::InVersionRange(const PollEntry& entry) const {
  const std::uint8_t version = Version();
  return version >= entry.minVersion && version <= entry.maxVersion;
}

bool LinkWorker::Execute(std::size_t k) {
  const PollEntry& entry = table_[k];
  std::array<std::uint8_t, kWorkBufferSize> work{};
  std::copy_n(entry.payload.begin(), entry.payloadLength, work.begin());
  std::size_t length = entry.payloadLength;
  if (entry.builder != nullptr) {
    length = std::min(entry.builder(driver_, work, length), work.size());
    if (length == 0) return true;
  }
  NoteSent(work[0]);
  if (transport_.SendTelegram(work.data(), length) == 0) {
    state_.store(WorkerState::kLinkLost);
    return false;
  }
  const hbus::ReplyView reply(transport_.Reply());
  switch (entry.handler(driver_, reply)) {
    case EntryResult::kDone:
      return true;
    case EntryResult::kRepeat:
      return false;
    case EntryResult::kLinkFault:
      state_.store(WorkerState::kLinkLost);
      return false;
    case EntryResult::kDatasetWrite:
      state_.store(WorkerState::kWriteStart);
      return false;
    case EntryResult::kDatasetRead:
      state_.store(WorkerState::kReadStart);
      return false;
  }
  return false;
}

void LinkWorker::Step() {
  switch (state_.load()) {
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
    case WorkerState::kReadStart:
      StartCellTransfer(false);
      break;
    case WorkerState::kReadCells:
      ReadNextCell();
      break;
    case WorkerState::kWriteStart:
      StartCellTransfer(true);
      break;
    case WorkerState::kWriteCells:
      WriteNextCell();
      break;
    case WorkerState::kBlockEnd:
      EndBlockMode();
      break;
  }
}

void LinkWorker::Connect() {
  transport_.PauseReceiver();
  ProtocolAddById(kTextWakeup, kProtocolMessage);
  if (WakeShortPulse(transport_.Port()) == 0) {
    ProtocolAddById(kTextWakeupFault, kProtocolError);
    state_.store(WorkerState::kLinkLost);
    return;
  }
  transport_.BusIdle().Set();
  transport_.SetReceiverMode(kRxHeader);
  SetVersion(0);
  connectionIndex_ = 0;
  everySecondIndex_ = 0;
  continuousIndex_ = 0;
  requestIndex_ = 0;
  state_.store(WorkerState::kConnectionPass);
}

void LinkWorker::ConnectionPass() {
  // Entries that are not due are passed over within the same step.
  while (connectionIndex_ < table_.size()) {
    const PollEntry& entry = table_[connectionIndex_];
    const bool due = InVersionRange(entry) &&
                     (entry.schedule != kOnRequest || (Requests() & entry.requestBit) != 0);
    if (!due) {
      ++connectionIndex_;
      continue;
    }
    ClearRequest(entry.requestBit);
    if (Execute(connectionIndex_)) ++connectionIndex_;
    if (ProbeMode() && (Identified() || ProbeFailed())) state_.store(WorkerState::kIdle);
    return;
  }
  currentMode_.store(0);
  StoreSetDataValid();
  StartDeadline(oneSecond_, 1000);
  StartDeadline(keepAlive_, static_cast<std::int32_t>(kKeepAliveMs));
  state_.store(WorkerState::kHousekeeping);
}

void LinkWorker::Housekeeping() {
  if (freeTelegramPending_.exchange(false) && !SendFreeTelegram()) {
    state_.store(WorkerState::kLinkLost);
    return;
  }
  if (heatingActive_.load() == 0) {
    StartDeadline(keepAlive_, static_cast<std::int32_t>(kKeepAliveMs));
  } else if (DeadlineExpired(keepAlive_)) {
    Request(hbus::bit::kKeepAlive);
    AdvanceDeadline(keepAlive_, static_cast<std::int32_t>(kKeepAliveMs));
  }
  state_.store(WorkerState::kEverySecond);
}

void LinkWorker::EverySecond() {
  if (DeadlineExpired(oneSecond_)) {
    for (std::size_t looked = 0; looked < table_.size(); ++looked) {
      const std::size_t k = everySecondIndex_ % table_.size();
      const PollEntry& entry = table_[k];
      if (entry.schedule == kEverySecond && InVersionRange(entry)) {
        ClearRequest(entry.requestBit);
        if (Execute(k)) everySecondIndex_ = k + 1;
        break;
      }
      everySecondIndex_ = k + 1;
    }
    everySecondIndex_ %= table_.size();
    StartDeadline(oneSecond_, 1000);
    if (state_.load() != WorkerState::kEverySecond) return;
  }
  state_.store(WorkerState::kContinuous);
}

void LinkWorker::Continuous() {
  const std::size_t k = continuousIndex_ % table_.size();
  const PollEntry& entry = table_[k];
  if (entry.schedule == kContinuous && InVersionRange(entry)) {
    ClearRequest(entry.requestBit);
    if (!Execute(k)) return;  // tried again at the next step (or the state has changed)
  }
  continuousIndex_ = (k + 1) % table_.size();
  requestsLookedAt_ = 0;
  state_.store(WorkerState::kRequests);
}

void LinkWorker::ServeRequests() {
  while (requestsLookedAt_ < table_.size()) {
    const std::size_t k = requestIndex_ % table_.size();
    const PollEntry& entry = table_[k];
    if (entry.requestBit != 0 && (Requests() & entry.requestBit) != 0 && InVersionRange(entry)) {
      ClearRequest(entry.requestBit);
      if (!Execute(k)) return;  // the same slot again at the next step
      requestIndex_ = (k + 1) % table_.size();
      ++requestsLookedAt_;
      return;
    }
    requestIndex_ = (k + 1) % table_.size();
    ++requestsLookedAt_;
  }
  state_.store(WorkerState::kHousekeeping);
}

void LinkWorker::LinkLost() {
  currentMode_.store(0);
  // Waiting operations are released with an error: nothing they asked for was confirmed.
  FinishDataset(1);
  FinishRequest(1);
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

void LinkWorker::StartCellTransfer(bool write) {
  const DatasetRequest* request = datasetRequest_.load();
  if (request == nullptr || request->cells == nullptr) {
    EndTransfer(1);
    return;
  }
  blockError_ = 0;
  cellIndex_ = request->first;
  state_.store(write ? WorkerState::kWriteCells : WorkerState::kReadCells);
}

void LinkWorker::EndTransfer(std::uint32_t error) {
  // The waiting operation is released in state 12, after the end frame: a session that ends
  // as soon as the operation returns must not leave the unit in block mode.
  blockError_ = error;
  state_.store(WorkerState::kBlockEnd);
}

bool LinkWorker::SelectBank(std::uint8_t bank) {
  if (bank == currentBank_.load()) return true;
  // Only units from 3.2 on can switch the page.
  if (Version() < kVersion32) {
    // The walk cannot go on; the cells behind stay untransferred, so it is a failure.
    ShowThreadError(kTextPageNotSelectable, static_cast<long>(bank));
    EndTransfer(1);
    return false;
  }
  const std::uint8_t frame[] = {kBlockBank, bank};
  if (transport_.SendBlockFrame(frame, sizeof frame) == 0) {
    EndTransfer(1);
    return false;
  }
  const hbus::ReplyView reply(transport_.Reply());
  if (reply.ByteAt(0) != kBlockBank) {
    ShowThreadError(kTextInvalidResponse);
    EndTransfer(1);
    return false;
  }
  currentBank_.store(bank);
  return true;
}

DatasetCell* LinkWorker::NextCell(std::uint8_t pendingFlag) {
  DatasetRequest* request = datasetRequest_.load();
  if (request == nullptr || request->cells == nullptr) {
    EndTransfer(1);
    return nullptr;
  }
  while (cellIndex_ < request->end && (request->cells[cellIndex_].flags & pendingFlag) == 0)
    ++cellIndex_;
  if (cellIndex_ >= request->end) {
    EndTransfer(0);
    return nullptr;
  }
  if (!SelectBank(static_cast<std::uint8_t>(cellIndex_ >> 8))) return nullptr;
  DatasetCell& cell = request->cells[cellIndex_];
  cell.flags &= static_cast<std::uint8_t>(~pendingFlag);
  if (request->currentAddress != nullptr) request->currentAddress->store(cellIndex_);
  return &cell;
}

// Sends one cell frame; the answer echoes the command (from 3.0) and the address before the
// cell's value. Returns that value, or nullopt when the transfer has ended.
std::optional<std::uint8_t> LinkWorker::ExchangeCell(const std::uint8_t* frame, std::size_t n) {
  if (transport_.SendBlockFrame(frame, n) == 0) {
    EndTransfer(1);
    return std::nullopt;
  }
  const hbus::ReplyView reply(transport_.Reply());
  const bool v3 = Version() >= kVersion30;
  const std::uint8_t command = frame[0];
  const std::uint8_t address = frame[1];
  const bool matches =
      v3 ? reply.Has(0, 3) && reply.ByteAt(0) == command && reply.ByteAt(1) == address
         : reply.Has(0, 2) && reply.ByteAt(0) == address;
  if (!matches) {
    ShowThreadError(kTextInvalidResponse);
    EndTransfer(1);
    return std::nullopt;
  }
  return reply.ByteAt(v3 ? 2 : 1);
}

void LinkWorker::ReadNextCell() {
  DatasetCell* cell = NextCell(CELL_READ);
  if (cell == nullptr) return;
  const std::uint8_t frame[] = {kBlockRead, static_cast<std::uint8_t>(cellIndex_ & 0xFF)};
  const std::optional<std::uint8_t> value = ExchangeCell(frame, sizeof frame);
  if (!value) return;
  cell->value = *value;
  cell->alt = *value;
  cell->flags = static_cast<std::uint8_t>((cell->flags | CELL_VALID) & ~CELL_CHANGED);
  ++cellIndex_;
}

void LinkWorker::WriteNextCell() {
  DatasetCell* cell = NextCell(CELL_WRITE);
  if (cell == nullptr) return;
  const std::uint8_t frame[] = {kBlockWrite, static_cast<std::uint8_t>(cellIndex_ & 0xFF),
                                cell->value};
  const std::optional<std::uint8_t> written = ExchangeCell(frame, sizeof frame);
  if (!written) return;
  if (*written != cell->value) {
    ShowThreadError(kTextEepromWriteFailed);
    EndTransfer(1);
    return;
  }
  cell->flags &= static_cast<std::uint8_t>(~CELL_CHANGED);
  ++cellIndex_;
}

void LinkWorker::EndBlockMode() {
  const std::uint32_t error = blockError_;
  blockError_ = 0;
  if (ProbeMode()) {
    probeFailed_.store(true);
    state_.store(WorkerState::kIdle);
    FinishDataset(1);
    return;
  }
  SleepMs(kBlockEndPauseMs);
  const std::uint8_t version = Version();
  const bool twice = version == kVersion30 || version == kVersion31;
  const std::uint8_t frame[] = {kBlockEnd, kBlockEnd};
  const bool ended = transport_.SendBlockFrame(frame, twice ? 2 : 1) != 0;
  transport_.PauseReceiver();
  ConfigurePort(transport_.Port(), hbusConfig_);
  transport_.SetReceiverMode(kRxHeader);
  requestsLookedAt_ = 0;
  state_.store(WorkerState::kRequests);
  FinishDataset(ended ? error : 1);
}

bool LinkWorker::SendFreeTelegram() {
  FreeTelegram telegram;
  {
    std::lock_guard lock(freeTelegramLock_);
    telegram = freeTelegram_;
  }
  const bool notify = telegram.viewAnswer != 0;
  if (notify) SendToFrame(UM_PROTOCOLSTART);
  const std::uint8_t requestHeader = transport_.RequestHeader();
  const std::uint8_t replyHeader = transport_.ReplyHeader();
  transport_.SetRequestHeader(
      static_cast<std::uint8_t>((telegram.sourceAddress << 4) | (telegram.deviceAddress & 0x0F)));
  transport_.SetReplyHeader(
      static_cast<std::uint8_t>((telegram.deviceAddress << 4) | (telegram.sourceAddress & 0x0F)));
  const std::size_t length = std::min<std::size_t>(telegram.length, kMaxRequestPayload);
  NoteSent(length > 0 ? telegram.data[0] : 0);
  const int sent = transport_.SendTelegram(telegram.data.data(), length);
  transport_.SetRequestHeader(requestHeader);
  transport_.SetReplyHeader(replyHeader);
  if (notify) PostToFrame(UM_PROTOCOLSTOP);
  return sent != 0;
}

}  // namespace heatdiag
