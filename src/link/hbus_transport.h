// The H-Bus telegram transport of one driver: a sender thread and a receiver thread on the
// driver's serial port, and the request functions that the driver's link worker calls.
//
// The bus is a single wire: every byte sent comes back as an echo through the diagnosis adapter
// before the control unit answers. The receiver assembles telegrams (or block frames), checks
// them, recognises the echo of what was sent and hands the reply to the waiting requester. The
// sender writes only after the line has been quiet for 40 ms.
//
// Division of work with the owner (the link worker):
//  - the owner sets the port, the session-running event and the receiver mode; it pauses the
//    receiver (PauseReceiver) before anything that needs a quiet line (wake-up, baud change)
//    and then sets mode 1 (H-Bus framing) or 6 (block mode);
//  - SendTelegram / SendBlockFrame / DecodeNak / CheckAck / Reply are called from the owner's
//    thread only;
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
#include "link/hbus_frame.h"
#include "link/timing.h"

namespace heatdiag {

class SerialPort;

// Where the receiver takes its bytes from when not from the port: a fuzz target feeding the
// frame assembly directly. The calls mean what ReadWithin, IsPortOpen and PortByteTimeoutMs mean
// for a port.
class ReceiveLine {
 public:
  virtual ~ReceiveLine() = default;
  virtual int ReadWithin(std::uint8_t* buffer, std::uint32_t& length, std::uint32_t timeoutMs) = 0;
  virtual bool IsOpen() const = 0;
  virtual std::uint32_t ByteTimeoutMs() const = 0;
};

enum ReceiverMode : std::uint32_t {
  kRxPaused = 0,
  kRxHeader = 1,
  kRxLength = 2,
  kRxBody = 3,
  kRxDispatch = 4,
  kRxPauseRequested = 5,
  kRxBlockFirst = 6,
  kRxBlockBody = 7,
  kRxBlockDispatch = 8,
};

inline constexpr std::uint32_t kReplyWaitMs = 1300;
inline constexpr std::uint32_t kBlockReplyWaitMs = 100;
inline constexpr int kSendAttempts = 5;
inline constexpr int kProbeSendAttempts = 2;
inline constexpr std::uint32_t kBusIdleMs = 40;

class HBusTransport {
 public:
  HBusTransport();
  ~HBusTransport();  // stops the threads
  HBusTransport(const HBusTransport&) = delete;
  HBusTransport& operator=(const HBusTransport&) = delete;

  // --- Threads -------------------------------------------------------------------------------
  // Clears the stop flag and starts BusReceiver and BusSender (no-op while they run).
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
  // Manual reset; set once the line has been quiet for 40 ms. The sender writes only while set.
  Event& BusIdle() { return busIdle_; }
  // Auto reset; a telegram is in the transmit buffer.
  Event& SendEvent() { return sendEvent_; }
  // Auto reset; the reply is in, or a transfer error occurred.
  Event& ReplyEvent() { return replyEvent_; }

  // The reply wait of one attempt: 1300 ms for a telegram, 100 ms for a block frame. Tests of the
  // retry logic shorten them.
  void SetReplyWaits(std::uint32_t telegramMs, std::uint32_t blockMs) {
    replyWaitMs_.store(telegramMs);
    blockReplyWaitMs_.store(blockMs);
  }

  // Device search probe: fewer attempts per request.
  void SetProbeMode(bool on) { probeMode_.store(on); }
  bool ProbeMode() const { return probeMode_.load(); }
  // The control unit's protocol version (0x31 = 3.1; 0 until known): decides the block-mode
  // frame lengths.
  void SetHBusVersion(std::uint8_t version) { version_.store(version); }
  std::uint8_t HBusVersion() const { return version_.load(); }
  // The headers of requests and of the replies accepted (0xF4 / 0x4F; replaced for the time of
  // a free telegram).
  void SetRequestHeader(std::uint8_t header) { requestHeader_.store(header); }
  void SetReplyHeader(std::uint8_t header) { replyHeader_.store(header); }
  std::uint8_t RequestHeader() const { return requestHeader_.load(); }
  std::uint8_t ReplyHeader() const { return replyHeader_.load(); }

  // --- Receiver mode and the pause hand-shake ------------------------------------------------
  std::uint32_t ReceiverModeValue() const { return mode_.load(); }
  // Sets the mode outright (the owner: 0 at session start, 1 or 6 after a pause).
  void SetReceiverMode(std::uint32_t mode) { mode_.store(mode); }
  // Asks the receiver to pause (mode 5) and waits, polling every 10 ms, until it has answered
  // with mode 0. Gives up (false) on stop, when the session stops running or after 3 s; while the
  // receiver thread does not run the mode is set to 0 directly.
  bool PauseReceiver();

  // --- Requests (owner's thread) -------------------------------------------------------------
  // Sends the payload (command and data) as a telegram and waits for the control unit's reply:
  // 1300 ms per attempt, 5 attempts (2 in probe mode). 1 when Reply() holds the answer. A payload
  // longer than 253 bytes is refused.
  int SendTelegram(const std::uint8_t* payload, std::size_t n);
  // The same for a block frame: 100 ms per attempt, always 5 attempts.
  int SendBlockFrame(const std::uint8_t* bytes, std::size_t n);
  // The answer to the last successful request (whole telegram or block frame).
  std::span<const std::uint8_t> Reply() const { return {answer_.data(), answerLength_}; }
  std::size_t ReplyLength() const { return answerLength_; }
  // Byte i of the answer; 0 beyond its end.
  std::uint8_t ReplyByte(std::size_t i) const { return i < answerLength_ ? answer_[i] : 0; }
  // 0 when the answer is not a negative acknowledge; otherwise shows its message (blocking
  // error box) and returns 1.
  int DecodeNak() const;
  // 0 for a NAK (shown) or a positive answer to the command sent; otherwise shows "Invalid
  // response from control unit!" and returns 2.
  int CheckAck() const;

  // --- The receiver without its thread (fuzz targets) ----------------------------------------
  // Takes the receiver's bytes from `line` instead of the port (nullptr: the port again). Only
  // while the receiver thread does not run.
  void SetReceiveLine(ReceiveLine* line) { line_ = line; }
  // One pass of the receiver loop in the current mode, on the caller's thread.
  void ReceiverStep();
  // Fills the transmit buffer with a request telegram (or a block frame) and marks its echo
  // pending, as the request functions do before they wait for the answer. False when it does
  // not fit.
  bool PrepareTransmit(std::span<const std::uint8_t> bytes, bool blockFrame);

  // Observers (diagnostics and tests).
  bool EchoPending() const { return echoPending_.load(); }
  bool TransferError() const { return transferError_.load(); }

 private:
  int Exchange(std::uint32_t waitMs, int attempts, bool telegram);
  void Arm();
  void PublishReply(std::span<const std::uint8_t> frame);
  bool SnapshotTransmit(std::array<std::uint8_t, kTransmitBufferSize>& out,
                        std::size_t& length) const;

  void SenderLoop();
  void ReceiverLoop();
  // One receiver step in the given mode.
  void ReceiveHeader();
  void ReceiveLength();
  void ReceiveBody();
  void DispatchTelegram();
  void ReceiveBlockFirst();
  void ReceiveBlockBody();
  void DispatchBlockFrame();
  // Reads count bytes behind what the assembly buffer holds, within (count + 1) x byte time-out,
  // in slices that watch the stop flag. Returns the number read.
  std::uint32_t ReadAssembly(std::uint32_t count);
  bool Advance(std::uint32_t from, std::uint32_t to);
  void Drop(std::uint32_t from, std::uint32_t textId, std::uint32_t nextMode);
  void MarkIdleIfQuiet();
  // The receiver's line: the port, or the ReceiveLine set instead.
  int LineReadWithin(std::uint8_t* buffer, std::uint32_t& length, std::uint32_t timeoutMs);
  bool LineOpen() const;
  std::uint32_t LineByteTimeoutMs() const;

  std::atomic<SerialPort*> port_{nullptr};
  ReceiveLine* line_ = nullptr;
  Event sessionRunning_{EventReset::kManual};
  Event busIdle_{EventReset::kManual};
  Event sendEvent_{EventReset::kAuto};
  Event replyEvent_{EventReset::kAuto};
  Event stopped_{EventReset::kManual};  // never set: only woken, by RequestStop

  std::atomic<bool> stop_{false};
  std::atomic<bool> probeMode_{false};
  std::atomic<std::uint32_t> replyWaitMs_{kReplyWaitMs};
  std::atomic<std::uint32_t> blockReplyWaitMs_{kBlockReplyWaitMs};
  std::atomic<std::uint8_t> version_{0};
  std::atomic<std::uint8_t> requestHeader_{kRequestHeader};
  std::atomic<std::uint8_t> replyHeader_{kReplyHeader};
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

  // The requester's copy of the answer (owner's thread only).
  std::array<std::uint8_t, kTransmitBufferSize> answer_{};
  std::size_t answerLength_ = 0;
  std::uint8_t commandSent_ = 0;
  bool commandKnown_ = false;

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
