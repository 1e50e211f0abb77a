// The H-Bus link worker: the thread that, while a diagnosis session runs, wakes the control
// unit, runs the connection pass over the poll table, then polls it without pause and serves,
// between the continuous telegrams, the requests that the driver's operations hand over.
//
// States: 0 idle, 1 connect, 2 connection pass, 3 housekeeping, 4 every second, 5 continuous,
// 6 requests, 7 link lost, 8/9 dataset read and 10/11 dataset write in block mode, 12 end of
// block mode. Requests cross threads as bits of the request word plus parameters written before
// the bit, and come back through the dataset-done and request-done events with their error words.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

#include "drivers/hbus/reply_view.h"
#include "link/event.h"
#include "link/serial_port.h"
#include "link/timing.h"
#include "service/free_telegram.h"

namespace heatdiag {

struct DatasetCell;
struct DatasetRequest;
class HBusTransport;

namespace hbus {
class Driver;
}

// What a telegram handler tells the worker.
enum class EntryResult : int {
  kDone = 0,
  kRepeat = 1,        // the same entry is executed again
  kLinkFault = 2,     // link lost (state 7)
  kDatasetWrite = 3,  // block mode entered: write the marked cells (state 10)
  kDatasetRead = 4,   // block mode entered: read the marked cells (state 8)
};

enum PollSchedule : std::uint32_t {
  kOnRequest = 0,
  kAtConnection = 1,
  kContinuous = 2,
  kEverySecond = 4,
};

inline constexpr std::size_t kPollPayloadSize = 32;
inline constexpr std::size_t kWorkBufferSize = 256;

// One row of the poll table.
struct PollEntry {
  std::array<std::uint8_t, kPollPayloadSize> payload;
  std::uint32_t payloadLength;
  std::uint32_t schedule;    // PollSchedule; every entry but kOnRequest runs once at connection
  std::uint32_t requestBit;  // bit of the request word that asks for the entry (0: none)
  // Gets a copy of the payload in a work buffer of kWorkBufferSize bytes and its length;
  // returns the length to send, 0 = nothing to send this time (counts as done).
  std::size_t (*builder)(hbus::Driver& driver, std::span<std::uint8_t> work, std::size_t length);
  // Decodes the reply of a successful exchange.
  EntryResult (*handler)(hbus::Driver& driver, const hbus::ReplyView& reply);
  std::uint8_t minVersion;  // the entry is used only for versions in [min, max]
  std::uint8_t maxVersion;
};

enum class WorkerState : std::uint32_t {
  kIdle = 0,
  kConnect = 1,
  kConnectionPass = 2,
  kHousekeeping = 3,
  kEverySecond = 4,
  kContinuous = 5,
  kRequests = 6,
  kLinkLost = 7,
  kReadStart = 8,
  kReadCells = 9,
  kWriteStart = 10,
  kWriteCells = 11,
  kBlockEnd = 12,
};

inline constexpr std::uint32_t kKeepAliveMs = 10000;
inline constexpr int kConnectionAttempts = 3;
inline constexpr std::uint32_t kReconnectDelayMs = 500;

class LinkWorker {
 public:
  LinkWorker(hbus::Driver& driver, HBusTransport& transport, std::span<const PollEntry> table);
  ~LinkWorker();
  LinkWorker(const LinkWorker&) = delete;
  LinkWorker& operator=(const LinkWorker&) = delete;

  // --- Thread --------------------------------------------------------------------------------
  void StartThread();
  // Waits for the thread to leave (the transport's stop flag must be set), polling every 10 ms
  // at most 100 times. False when it did not leave in time; it is then left to end on its own.
  bool JoinThread();
  bool Exited() const { return exited_.load(); }

  // --- Session -------------------------------------------------------------------------------
  // The line settings of the H-Bus and of block mode.
  void SetLineConfigs(const PortConfig& hbus, const PortConfig& block);
  const PortConfig& HBusConfig() const { return hbusConfig_; }
  const PortConfig& BlockConfig() const { return blockConfig_; }
  // Fresh connection bookkeeping for a session about to start; the worker begins with state 1.
  void BeginSession();
  WorkerState State() const { return state_.load(); }
  void SetState(WorkerState state) { state_.store(state); }
  // One step of the state machine (the thread calls it while the session runs).
  void Step();

  // --- Request word --------------------------------------------------------------------------
  void Request(std::uint32_t bits) { requests_.fetch_or(bits); }
  void ClearRequest(std::uint32_t bits) { requests_.fetch_and(~bits); }
  std::uint32_t Requests() const { return requests_.load(); }

  // --- Facts of the connection ---------------------------------------------------------------
  std::uint8_t Version() const;
  void SetVersion(std::uint8_t version);
  bool Answered() const { return answered_.load(); }
  void SetAnswered() { answered_.store(true); }
  bool ProbeMode() const;
  void SetProbeMode(bool on);
  bool Identified() const { return identified_.load(); }
  void SetIdentified(bool on) { identified_.store(on); }
  bool ProbeFailed() const { return probeFailed_.load(); }
  void SetProbeFailed(bool on) { probeFailed_.store(on); }
  std::uint32_t WakeUpCount() const { return wakeUps_.load(); }
  // The command byte of the heating mode the tester last started (0: none); drives the
  // keep-alive.
  std::uint8_t HeatingActive() const { return heatingActive_.load(); }
  void SetHeatingActive(std::uint8_t command) { heatingActive_.store(command); }
  // The operating mode last requested (0..6).
  std::uint32_t CurrentMode() const { return currentMode_.load(); }
  void SetCurrentMode(std::uint32_t mode) { currentMode_.store(mode); }
  // The command byte of the telegram last sent (handlers compare the answer with it).
  std::uint8_t SentCommand() const { return sentCommand_; }
  void NoteSent(std::uint8_t command) { sentCommand_ = command; }

  // --- Completion events ---------------------------------------------------------------------
  Event& DatasetDone() { return datasetDone_; }
  Event& RequestDone() { return requestDone_; }
  std::uint32_t DatasetError() const { return datasetError_.load(); }
  std::uint32_t RequestError() const { return requestError_.load(); }
  void FinishDataset(std::uint32_t error);
  void FinishRequest(std::uint32_t error);

  // --- Hand-overs ----------------------------------------------------------------------------
  void SetDatasetRequest(DatasetRequest* request) { datasetRequest_.store(request); }
  DatasetRequest* CurrentDatasetRequest() const { return datasetRequest_.load(); }
  // Copies the telegram; the worker sends it at its next housekeeping step.
  void QueueFreeTelegram(const FreeTelegram& telegram);
  bool FreeTelegramPending() const { return freeTelegramPending_.load(); }
  std::uint8_t CurrentBank() const { return currentBank_.load(); }
  void SetCurrentBank(std::uint8_t bank) { currentBank_.store(bank); }

  // Switches the line to block mode at the given rate (handlers of the block-mode request).
  void EnterBlockMode(std::uint32_t baudRate);

  HBusTransport& Transport() { return transport_; }
  std::span<const PollEntry> Table() const { return table_; }

 private:
  void Run();
  bool InVersionRange(const PollEntry& entry) const;
  // Executes entry k: builds, sends, handles. True when the entry is done.
  bool Execute(std::size_t k);
  void Connect();
  void ConnectionPass();
  void Housekeeping();
  void EverySecond();
  void Continuous();
  void ServeRequests();
  void LinkLost();
  void StartCellTransfer(bool write);
  // The next cell of the dataset request that still carries `pendingFlag`, its bank selected
  // and the flag cleared; nullptr when the transfer has ended.
  DatasetCell* NextCell(std::uint8_t pendingFlag);
  std::optional<std::uint8_t> ExchangeCell(const std::uint8_t* frame, std::size_t n);
  void ReadNextCell();
  void WriteNextCell();
  void EndTransfer(std::uint32_t error);
  bool SelectBank(std::uint8_t bank);
  void EndBlockMode();
  bool SendFreeTelegram();

  hbus::Driver& driver_;
  HBusTransport& transport_;
  std::span<const PollEntry> table_;

  std::atomic<WorkerState> state_{WorkerState::kIdle};
  std::atomic<std::uint32_t> requests_{0};
  std::atomic<bool> answered_{false};
  std::atomic<bool> identified_{false};
  std::atomic<bool> probeFailed_{false};
  std::atomic<std::uint32_t> wakeUps_{0};
  std::atomic<std::uint8_t> heatingActive_{0};
  std::atomic<std::uint32_t> currentMode_{0};
  std::atomic<std::uint8_t> currentBank_{0};
  // Result of the block walk, handed to the waiting operation once the end frame has gone out.
  std::uint32_t blockError_ = 0;
  std::uint8_t sentCommand_ = 0;

  Event datasetDone_{EventReset::kAuto};
  Event requestDone_{EventReset::kAuto};
  std::atomic<std::uint32_t> datasetError_{0};
  std::atomic<std::uint32_t> requestError_{0};
  std::atomic<DatasetRequest*> datasetRequest_{nullptr};

  std::mutex freeTelegramLock_;
  FreeTelegram freeTelegram_{};
  std::atomic<bool> freeTelegramPending_{false};

  PortConfig hbusConfig_;
  PortConfig blockConfig_;

  // Walk positions of the poll table.
  std::size_t connectionIndex_ = 0;
  std::size_t everySecondIndex_ = 0;
  std::size_t continuousIndex_ = 0;
  std::size_t requestIndex_ = 0;
  std::size_t requestsLookedAt_ = 0;
  std::uint32_t cellIndex_ = 0;
  Deadline oneSecond_{};
  Deadline keepAlive_{};

  std::thread thread_;
  std::atomic<bool> exited_{true};
};

}  // namespace heatdiag
