// The request transport of one driver on the single-wire diagnosis line, whatever its framing: a
// sender thread and a receiver thread on the driver's serial port, and the request functions that
// the driver's link worker calls.
//
// Every byte sent comes back as an echo through the diagnosis adapter before the control unit
// answers. The receiver assembles frames as the framing says, checks them, recognises the echo of
// what was sent and hands the reply to the waiting requester, who repeats an unanswered request.
// Under a framing that waits for the quiet line, the sender writes only after the line has been
// quiet for the framing's idle gap.
//
// The transport holds up to two framings: the line framing (receiver modes 1 to 4) and, for a
// family that has one, the block framing (modes 6 to 8). Each comes with its TransportTiming.
//
// Division of work with the owner (the link worker):
//  - the owner installs the framings (SetFraming, before StartThreads), sets the port, the
//    session-running event and the receiver mode; it pauses the receiver (PauseReceiver) before
//    anything that needs a quiet line (wake-up, baud change) and then sets kRxFirst (line
//    framing) or kRxBlockFirst (block framing);
//  - Send / DecodeNak / CheckAck / Reply are called from the owner's thread only;
//  - every wait is bounded; StopThreads returns within about a second.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "link/event.h"
#include "link/framing.h"
#include "link/timing.h"

namespace heatdiag {

class SerialPort;

// Where the receiver takes its bytes from when not from the port: a fuzz target or a test feeding
// the frame assembly directly. The calls mean what ReadWithin, IsPortOpen and PortByteTimeoutMs
// mean for a port.
class ReceiveLine {
 public:
  virtual ~ReceiveLine() = default;
  virtual int ReadWithin(std::uint8_t* buffer, std::uint32_t& length, std::uint32_t timeoutMs) = 0;
  virtual bool IsOpen() const = 0;
  virtual std::uint32_t ByteTimeoutMs() const = 0;
};

// The receiver's mode, also the hand-shake by which the owner pauses it.
enum ReceiverMode : std::uint32_t {
  kRxPaused = 0,
  kRxFirst = 1,   // line framing: waiting for a frame's first byte
  kRxHeader = 1,  // the same, as the H-Bus calls it
  kRxLength = 2,  // line framing: the first bytes, before the frame's length is known
  kRxBody = 3,    // line framing: the rest of a frame whose length is known
  kRxDispatch = 4,
  kRxPauseRequested = 5,
  kRxBlockFirst = 6,  // block framing: first byte
  kRxBlockBody = 7,
  kRxBlockDispatch = 8,
};

enum class FramingSlot : std::uint8_t { kLine = 0, kBlock = 1 };

class LineTransport {
 public:
  LineTransport();
  virtual ~LineTransport();  // stops the threads
  LineTransport(const LineTransport&) = delete;
  LineTransport& operator=(const LineTransport&) = delete;

  // --- Framings ------------------------------------------------------------------------------
  // Installs a framing and its timing in a slot (the framing must outlive the transport). Only
  // while the threads do not run, or while the receiver is paused.
  void SetFraming(const Framing& framing, const TransportTiming& timing,
                  FramingSlot slot = FramingSlot::kLine);
  const Framing* FramingIn(FramingSlot slot) const;
  // The timing of a slot; SetTiming replaces it (tests shorten the waits).
  TransportTiming Timing(FramingSlot slot = FramingSlot::kLine) const;
  void SetTiming(const TransportTiming& timing, FramingSlot slot = FramingSlot::kLine);
  // The slot that Send uses: the block slot while the receiver was last set to a block mode.
  FramingSlot ActiveSlot() const { return static_cast<FramingSlot>(activeSlot_.load()); }

  // --- Threads -------------------------------------------------------------------------------
  // Clears the stop flag and starts the receiver and the sender (no-op while they run).
  void StartThreads();
  // Sets the stop flag, wakes both threads and waits for them (bounded).
  void StopThreads();
  // The driver's stop flag: set once at shutdown; every thread of the driver leaves its loop.
  void RequestStop();
  bool StopRequested() const { return stop_.load(); }
  // The stop flag itself, for Event::WaitUnless of the driver's other threads.
  const std::atomic<bool>& StopFlag() const { return stop_; }
  // Sleeps ms, ending at once when the stop flag is set.
  void SleepUnlessStopped(std::uint32_t ms) { stopped_.WaitUnless(ms, stop_); }
  bool ReceiverExited() const { return receiverExited_.load(); }
  bool SenderExited() const { return senderExited_.load(); }

  // --- Wiring --------------------------------------------------------------------------------
  void SetPort(SerialPort* port) { port_.store(port); }
  SerialPort* Port() const { return port_.load(); }
  // Manual reset; set while a session runs. The threads idle while it is reset.
  Event& SessionRunning() { return sessionRunning_; }
  // Manual reset; set once the line has been quiet for the idle gap. The sender writes only
  // while it is set.
  Event& BusIdle() { return busIdle_; }
  // Auto reset; a frame is in the transmit buffer.
  Event& SendEvent() { return sendEvent_; }
  // Auto reset; the reply is in, or a transfer error occurred.
  Event& ReplyEvent() { return replyEvent_; }

  // Device search probe: fewer attempts per request.
  void SetProbeMode(bool on) { probeMode_.store(on); }
  bool ProbeMode() const { return probeMode_.load(); }

  // --- Receiver mode and the pause hand-shake ------------------------------------------------
  std::uint32_t ReceiverModeValue() const { return mode_.load(); }
  // Sets the mode outright (the owner: kRxPaused at session start, kRxFirst or kRxBlockFirst
  // after a pause). A mode of either framing also makes its slot the one Send uses.
  void SetReceiverMode(std::uint32_t mode);
  // Asks the receiver to pause (kRxPauseRequested) and waits, polling every 10 ms, until it has
  // answered with kRxPaused. Gives up (false) on stop, when the session stops running or after
  // 3 s; while the receiver thread does not run the mode is set to kRxPaused directly.
  bool PauseReceiver();

  // --- Requests (owner's thread) -------------------------------------------------------------
  // Sends the payload as a request frame of the active slot's framing and waits for the reply:
  // the slot's reply wait per attempt, its attempts (probe attempts in probe mode). 1 when
  // Reply() holds the answer. A payload that the framing cannot take is refused (0).
  int Send(const std::uint8_t* payload, std::size_t n);
  // The same under the framing of the given slot.
  int Send(FramingSlot slot, const std::uint8_t* payload, std::size_t n);
  // The answer to the last successful request (the whole frame).
  std::span<const std::uint8_t> Reply() const { return {answer_.data(), answerLength_}; }
  std::size_t ReplyLength() const { return answerLength_; }
  // Byte i of the answer; 0 beyond its end.
  std::uint8_t ReplyByte(std::size_t i) const { return i < answerLength_ ? answer_[i] : 0; }
  // 0 when the answer is not a negative acknowledge; otherwise shows its message (blocking
  // error box) and returns 1.
  int DecodeNak() const;
  // 0 for a NAK (shown) or a positive answer to the request sent; otherwise shows "Invalid
  // response from control unit!" and returns 2.
  int CheckAck() const;

  // --- The receiver without its thread (fuzz targets, tests) ---------------------------------
  // Takes the receiver's bytes from `line` instead of the port (nullptr: the port again). Only
  // while the receiver thread does not run.
  void SetReceiveLine(ReceiveLine* line) { line_ = line; }
  // One pass of the receiver loop in the current mode, on the caller's thread.
  void ReceiverStep();
  // Fills the transmit buffer with the request frame of the payload under the slot's framing
  // and marks its echo pending, as the request functions do before they wait for the answer.
  // False when it does not fit.
  bool PrepareTransmit(std::span<const std::uint8_t> payload, FramingSlot slot);

  // Observers (diagnostics and tests).
  bool EchoPending() const { return echoPending_.load(); }
  bool TransferError() const { return transferError_.load(); }

 private:
  struct Slot {
    std::atomic<const Framing*> framing{nullptr};
    std::atomic<std::uint32_t> replyWaitMs{0};
    std::atomic<int> attempts{0};
    std::atomic<int> probeAttempts{0};
    std::atomic<std::uint32_t> byteTimeoutMs{0};
    std::atomic<std::uint32_t> writeTimeoutMs{0};
    std::atomic<std::uint32_t> idleGapMs{0};
    std::atomic<std::uint32_t> skipPauseMs{0};
  };

  bool Build(FramingSlot slot, std::span<const std::uint8_t> payload);
  int Exchange(FramingSlot slot);
  void Arm();
  void PublishReply(std::span<const std::uint8_t> frame, ReplyKind kind);
  bool SnapshotTransmit(std::array<std::uint8_t, kTransmitBufferSize>& out,
                        std::size_t& length) const;

  void SenderLoop();
  void ReceiverLoop();
  // The receiver's steps in the mode's slot.
  void ReceiveFirst(FramingSlot slot);
  void ReceiveMore(FramingSlot slot);
  void Dispatch(FramingSlot slot);
  // Carries out the framing's step for the frame assembled in mode `from`.
  void Apply(FramingSlot slot, std::uint32_t from, const FrameStep& step);
  // Reads count bytes behind what the assembly buffer holds, within (count + 1) x byte time-out,
  // in slices that watch the stop flag. Returns the number read.
  std::uint32_t ReadAssembly(std::uint32_t count, std::uint32_t byteTimeoutMs);
  bool Advance(std::uint32_t from, std::uint32_t to);
  void Drop(std::uint32_t from, std::uint32_t textId, std::uint32_t nextMode);
  void MarkIdleIfQuiet(std::uint32_t gapMs);
  std::uint32_t ByteTimeoutOf(FramingSlot slot) const;
  // The receiver's line: the port, or the ReceiveLine set instead.
  int LineReadWithin(std::uint8_t* buffer, std::uint32_t& length, std::uint32_t timeoutMs);
  bool LineOpen() const;
  std::uint32_t LineByteTimeoutMs() const;

  std::array<Slot, 2> slots_;
  std::atomic<std::uint8_t> activeSlot_{0};

  std::atomic<SerialPort*> port_{nullptr};
  ReceiveLine* line_ = nullptr;
  Event sessionRunning_{EventReset::kManual};
  Event busIdle_{EventReset::kManual};
  Event sendEvent_{EventReset::kAuto};
  Event replyEvent_{EventReset::kAuto};
  Event stopped_{EventReset::kManual};     // never set: only woken, by RequestStop
  Event pausedAnswer_{EventReset::kAuto};  // the receiver has answered a pause request
  Event modeSet_{EventReset::kAuto};       // the owner has set the receiver mode

  std::atomic<bool> stop_{false};
  std::atomic<bool> probeMode_{false};
  std::atomic<std::uint32_t> mode_{kRxPaused};
  std::atomic<bool> echoPending_{false};
  std::atomic<bool> transferError_{false};
  std::atomic<std::uint32_t> bytesSinceSend_{0};

  // Transmit and reply buffers, shared between the requester and the two threads.
  mutable std::mutex buffers_;
  std::array<std::uint8_t, kTransmitBufferSize> transmit_{};
  std::size_t transmitLength_ = 0;
  std::array<std::uint8_t, kTransmitBufferSize> reply_{};
  std::size_t replyLength_ = 0;
  ReplyKind replyKind_ = ReplyKind::kUnexpected;

  // The requester's copy of the answer, what it is, and its framing (owner's thread only).
  std::array<std::uint8_t, kTransmitBufferSize> answer_{};
  std::size_t answerLength_ = 0;
  ReplyKind answerKind_ = ReplyKind::kUnexpected;
  const Framing* answerFraming_ = nullptr;

  // Receiver-private assembly state.
  std::array<std::uint8_t, kTransmitBufferSize> assembly_{};
  std::uint32_t assemblyCount_ = 0;
  std::uint32_t expected_ = 0;
  SteadyDeadline idle_{};  // the line counts as quiet once it expires

  std::thread sender_;
  std::thread receiver_;
  std::atomic<bool> senderExited_{true};
  std::atomic<bool> receiverExited_{true};
  std::mutex threads_;
};

}  // namespace heatdiag
