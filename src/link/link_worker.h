// The link worker: the thread that, while a diagnosis session runs, wakes the control unit, runs
// the connection pass over the family's poll table, then polls it without pause and serves,
// between the continuous telegrams, the requests that the driver's operations hand over.
//
// One state machine serves every family: what is sent, how the unit is woken and what a block
// transfer does come from the family's PollClient. The worker itself touches the line only to
// wait for the session, to pause the receiver before a wake-up and to sleep.
//
// States: 0 idle, 1 connect, 2 connection pass, 3 housekeeping, 4 every second, 5 continuous,
// 6 requests, 7 link lost, 8 to 12 the phases of a block transfer (the client's BlockStep).
// Requests cross threads as bits of the request word plus parameters written before the bit, and
// come back through the dataset-done and request-done events with their error words.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "link/event.h"
#include "link/poll_client.h"
#include "link/timing.h"

namespace heatdiag {

class HBusTransport;

inline constexpr std::uint32_t kKeepAliveMs = 10000;
inline constexpr int kConnectionAttempts = 3;
inline constexpr std::uint32_t kReconnectDelayMs = 500;

class LinkWorker {
 public:
  // Both must outlive the worker. Of the transport the worker uses only the session-running
  // event, the stop flag, the probe mode and the receiver pause.
  LinkWorker(PollClient& client, HBusTransport& transport);
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
  // Fresh connection bookkeeping for a session about to start; the worker begins with state 1.
  void BeginSession();
  WorkerState State() const { return state_.load(); }
  void SetState(WorkerState state) { state_.store(state); }
  // One step of the state machine (the thread calls it while the session runs).
  void Step();
  // The millisecond clock of the one-second and keep-alive deadlines (NowMs unless replaced,
  // before the thread starts, by a test that drives the time itself).
  using MsClock = std::uint32_t (*)();
  void SetClock(MsClock clock) { clock_ = clock; }

  // --- Request word --------------------------------------------------------------------------
  void Request(std::uint32_t bits) { requests_.fetch_or(bits); }
  void ClearRequest(std::uint32_t bits) { requests_.fetch_and(~bits); }
  std::uint32_t Requests() const { return requests_.load(); }

  // --- Facts of the connection ---------------------------------------------------------------
  // Set once the unit has answered with a version the family accepts (or does not implement):
  // from then on a lost link ends the session instead of being retried.
  bool Answered() const { return answered_.load(); }
  void SetAnswered() { answered_.store(true); }
  bool ProbeMode() const;
  void SetProbeMode(bool on);
  bool Identified() const { return identified_.load(); }
  void SetIdentified(bool on) { identified_.store(on); }
  bool ProbeFailed() const { return probeFailed_.load(); }
  void SetProbeFailed(bool on) { probeFailed_.store(on); }
  std::uint32_t WakeUpCount() const { return wakeUps_.load(); }
  // The command byte of the heating mode the tester last started (0: none); while it is not 0
  // the client's keep-alive row is requested every 10 s.
  std::uint8_t HeatingActive() const { return heatingActive_.load(); }
  void SetHeatingActive(std::uint8_t command) { heatingActive_.store(command); }
  // The operating mode last requested (0..6).
  std::uint32_t CurrentMode() const { return currentMode_.load(); }
  void SetCurrentMode(std::uint32_t mode) { currentMode_.store(mode); }

  // --- Completion events ---------------------------------------------------------------------
  Event& DatasetDone() { return datasetDone_; }
  Event& RequestDone() { return requestDone_; }
  std::uint32_t DatasetError() const { return datasetError_.load(); }
  std::uint32_t RequestError() const { return requestError_.load(); }
  void FinishDataset(std::uint32_t error);
  void FinishRequest(std::uint32_t error);

 private:
  void Run();
  // Executes row k. True when it is done; otherwise it stays due, or the state has changed.
  bool Execute(std::size_t k);
  void Connect();
  void ConnectionPass();
  void Housekeeping();
  void EverySecond();
  void Continuous();
  void ServeRequests();
  void LinkLost();
  void BlockStep(WorkerState state);
  void StartTimer(Deadline& deadline, std::int32_t ms) const;
  bool TimerExpired(const Deadline& deadline) const;

  PollClient& client_;
  HBusTransport& transport_;
  MsClock clock_ = NowMs;

  std::atomic<WorkerState> state_{WorkerState::kIdle};
  std::atomic<std::uint32_t> requests_{0};
  std::atomic<bool> answered_{false};
  std::atomic<bool> identified_{false};
  std::atomic<bool> probeFailed_{false};
  std::atomic<std::uint32_t> wakeUps_{0};
  std::atomic<std::uint8_t> heatingActive_{0};
  std::atomic<std::uint32_t> currentMode_{0};

  Event datasetDone_{EventReset::kAuto};
  Event requestDone_{EventReset::kAuto};
  std::atomic<std::uint32_t> datasetError_{0};
  std::atomic<std::uint32_t> requestError_{0};

  // Walk positions of the poll table.
  std::size_t connectionIndex_ = 0;
  std::size_t everySecondIndex_ = 0;
  std::size_t continuousIndex_ = 0;
  std::size_t requestIndex_ = 0;
  std::size_t requestsLookedAt_ = 0;
  Deadline oneSecond_{};
  Deadline keepAlive_{};

  std::thread thread_;
  std::atomic<bool> exited_{true};
};

}  // namespace heatdiag
