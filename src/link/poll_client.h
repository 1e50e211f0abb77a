// What the link worker needs of a heater family: its poll table, how it wakes the control unit,
// its keep-alive entry and the phases of a block transfer. One LinkWorker state machine serves
// every family through this interface; the family's driver module implements it over its own
// transport, framing and tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace heatdiag {

// What a row's handler tells the worker.
enum class EntryResult : int {
  kDone = 0,
  kRepeat = 1,        // the same row is executed again
  kLinkFault = 2,     // link lost (state 7)
  kDatasetWrite = 3,  // a block phase: by default the dataset write (state 10)
  kDatasetRead = 4,   // a block phase: by default the dataset read (state 8)
};

enum PollSchedule : std::uint32_t {
  kOnRequest = 0,
  kAtConnection = 1,
  kContinuous = 2,
  kEverySecond = 4,
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

inline constexpr std::size_t kPollPayloadSize = 32;
inline constexpr std::size_t kWorkBufferSize = 256;

// One row of a family's poll table, typed on the family's driver and its reply view.
template <class Driver, class Reply>
struct PollRow {
  std::array<std::uint8_t, kPollPayloadSize> payload{};
  std::uint32_t payloadLength = 0;
  std::uint32_t schedule = kOnRequest;  // every row but kOnRequest runs once at connection
  std::uint32_t requestBit = 0;         // bit of the request word that asks for it (0: none)
  // Gets a copy of the payload in a work buffer of kWorkBufferSize bytes and its length;
  // returns the length to send, 0 = nothing to send this time (counts as done).
  std::size_t (*builder)(Driver& driver, std::span<std::uint8_t> work,
                         std::size_t length) = nullptr;
  // Decodes the reply of a successful exchange.
  EntryResult (*handler)(Driver& driver, const Reply& reply) = nullptr;
  std::uint8_t minVersion = 0x00;  // the row is used only for versions in [min, max]
  std::uint8_t maxVersion = 0xFF;
};

// The family side of the link worker. Called from the worker's thread only.
class PollClient {
 public:
  virtual ~PollClient() = default;

  // --- The poll table ------------------------------------------------------------------------
  virtual std::size_t RowCount() const = 0;
  virtual std::uint32_t RowSchedule(std::size_t k) const = 0;
  virtual std::uint32_t RowRequestBit(std::size_t k) const = 0;
  // Whether row k applies to the control unit's protocol version as known now.
  virtual bool RowApplies(std::size_t k) const = 0;
  // Builds row k's request, sends it through the family's transport and hands a successful
  // answer to the row's handler. A builder returning 0 gives kDone; an unanswered request
  // kLinkFault.
  virtual EntryResult ExecuteRow(std::size_t k) = 0;
  // The state a handler's block-phase result leads to (3 and 4).
  virtual WorkerState StateAfter(EntryResult result) {
    return result == EntryResult::kDatasetWrite ? WorkerState::kWriteStart
                                                : WorkerState::kReadStart;
  }

  // --- Connection ----------------------------------------------------------------------------
  // State 1: puts the family's wake-up pattern on the line and prepares the receiver for the
  // connection pass. False when the wake-up failed (the worker goes to the link-lost state).
  virtual bool WakeUp() = 0;
  // The connection pass has run through the table: the session's data are valid from now on.
  virtual void ConnectionPassDone() = 0;
  // The request bit of the row that keeps a running heating mode alive (0: none).
  virtual std::uint32_t KeepAliveBit() const { return 0; }
  // Work of the housekeeping step before the rows due every second (a queued free telegram).
  // False when the link was lost doing it.
  virtual bool Housekeeping() { return true; }
  // States 8 to 12: one step of a block transfer; returns the next state.
  virtual WorkerState BlockStep(WorkerState state) {
    (void)state;
    return WorkerState::kRequests;
  }
  // The link is lost: operations waiting on the family's own hand-overs are released.
  virtual void LinkLost() {}
};

}  // namespace heatdiag
