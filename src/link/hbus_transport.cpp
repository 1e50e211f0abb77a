#include "link/hbus_transport.h"

#include <algorithm>

#include "link/link_texts.h"
#include "link/serial_port.h"
#include "link/thread_priority.h"
#include "shell/frame_sink.h"
#include "views/protocol.h"

namespace heatdiag {
namespace {

// Longest single wait of a receiver read, so that a stop or a pause request is seen promptly.
constexpr std::uint32_t kReadSliceMs = 50;
constexpr std::uint32_t kPauseWaitPolls = 300;  // 3 s in steps of 10 ms
constexpr int kExitPolls = 100;                 // 1 s in steps of 10 ms

void LogReceived(const std::uint8_t* bytes, std::uint32_t count) {
  ProtocolAddTelegram(bytes, count, kProtocolReceived);
}

}  // namespace

HBusTransport::HBusTransport() = default;

HBusTransport::~HBusTransport() {
  StopThreads();
}

void HBusTransport::StartThreads() {
  std::lock_guard lock(threads_);
  if (sender_.joinable() || receiver_.joinable()) return;
  stop_.store(false);
  sendEvent_.Reset();
  replyEvent_.Reset();
  receiverExited_.store(false);
  senderExited_.store(false);
  receiver_ = std::thread([this] {
    RaiseThreadPriority();
    ReceiverLoop();
    receiverExited_.store(true);
  });
  sender_ = std::thread([this] {
    RaiseThreadPriority();
    SenderLoop();
    senderExited_.store(true);
  });
}

void HBusTransport::RequestStop() {
  stop_.store(true);
  // Every thread of the driver that waits looks at the flag at once rather than after its
  // period: the session, send and bus-idle waits, the sleeps, and the requester's reply wait.
  for (Event* e : {&sessionRunning_, &sendEvent_, &busIdle_, &stopped_}) e->Wake();
  replyEvent_.Set();
}

void HBusTransport::StopThreads() {
  std::lock_guard lock(threads_);
  RequestStop();  // a requester still waiting is released too
  // Every wait of both threads is sliced, so each leaves within one slice or read; the bounded
  // poll only keeps the order receiver, then sender.
  for (int i = 0; i < kExitPolls && receiver_.joinable() && !receiverExited_.load(); ++i)
    SleepMs(10);
  if (receiver_.joinable()) receiver_.join();
  busIdle_.Set();
  sendEvent_.Set();
  for (int i = 0; i < kExitPolls && sender_.joinable() && !senderExited_.load(); ++i) SleepMs(10);
  if (sender_.joinable()) sender_.join();
}

bool HBusTransport::PauseReceiver() {
  if (receiverExited_.load() || !sessionRunning_.IsSet()) {
    // Nobody is reading: the line is quiet on our side already.
    mode_.store(kRxPaused);
    return true;
  }
  mode_.store(kRxPauseRequested);
  for (std::uint32_t i = 0; i < kPauseWaitPolls; ++i) {
    if (mode_.load() == kRxPaused) return true;
    if (stop_.load()) return false;
    if (!sessionRunning_.IsSet() || receiverExited_.load()) {
      mode_.store(kRxPaused);
      return true;
    }
    SleepMs(10);
  }
  return mode_.load() == kRxPaused;
}

// --- Requests ------------------------------------------------------------------------------

bool HBusTransport::PrepareTransmit(std::span<const std::uint8_t> bytes, bool blockFrame) {
  if (bytes.size() > (blockFrame ? kMaxBlockFramePayload : kMaxRequestPayload)) return false;
  {
    std::lock_guard lock(buffers_);
    transmitLength_ = blockFrame
                          ? BuildBlockFrame(bytes, std::span(transmit_))
                          : BuildTelegram(requestHeader_.load(), bytes, std::span(transmit_));
  }
  Arm();
  return true;
}

int HBusTransport::SendTelegram(const std::uint8_t* payload, std::size_t n) {
  if (payload == nullptr && n > 0) return 0;
  if (n > kMaxRequestPayload) {
    ProtocolAddById(kTextTelegramTooLong, kProtocolError);
    return 0;
  }
  {
    std::lock_guard lock(buffers_);
    transmitLength_ =
        BuildTelegram(requestHeader_.load(), std::span(payload, n), std::span(transmit_));
  }
  commandKnown_ = n > 0;
  commandSent_ = n > 0 ? payload[0] : 0;
  return Exchange(replyWaitMs_.load(), probeMode_.load() ? kProbeSendAttempts : kSendAttempts,
                  true);
}

int HBusTransport::SendBlockFrame(const std::uint8_t* bytes, std::size_t n) {
  if (bytes == nullptr && n > 0) return 0;
  if (n > kMaxBlockFramePayload) {
    ProtocolAddById(kTextTelegramTooLong, kProtocolError);
    return 0;
  }
  {
    std::lock_guard lock(buffers_);
    transmitLength_ = BuildBlockFrame(std::span(bytes, n), std::span(transmit_));
  }
  commandKnown_ = false;
  return Exchange(blockReplyWaitMs_.load(), kSendAttempts, false);
}

void HBusTransport::Arm() {
  bytesSinceSend_.store(0);
  echoPending_.store(true);
  transferError_.store(false);
  sendEvent_.Set();
}

int HBusTransport::Exchange(std::uint32_t waitMs, int attempts, bool telegram) {
  answerLength_ = 0;
  // A reply event left over from an earlier exchange (a late answer, a stray telegram) must not
  // be taken for the answer to this one.
  replyEvent_.Reset();
  Arm();
  if (stop_.load()) return 0;
  for (int attempt = 1;; ++attempt) {
    if (!sessionRunning_.IsSet()) return 0;
    const bool signalled = replyEvent_.Wait(waitMs);
    if (stop_.load()) return 0;
    if (signalled && !transferError_.load()) {
      std::lock_guard lock(buffers_);
      std::copy_n(reply_.begin(), replyLength_, answer_.begin());
      answerLength_ = replyLength_;
      return 1;
    }
    if (!sessionRunning_.IsSet()) return 0;
    if (!signalled && !transferError_.load()) {
      const bool silent = telegram && echoPending_.load() && bytesSinceSend_.load() == 0;
      ProtocolAddById(silent ? kTextAdapterNotConnected : kTextTimeout, kProtocolError);
    }
    if (attempt >= attempts) return 0;
    Arm();
    if (stop_.load()) return 0;
  }
}

int HBusTransport::DecodeNak() const {
  if (answerLength_ < 3 || answer_[2] != kNakCommand) return 0;
  const std::uint8_t code = ReplyByte(3);
  const std::uint32_t id = NakTextId(code);
  if (id == kTextNakUnknown)
    ShowThreadError(id, NakCodeText(code));
  else
    ShowThreadError(id);
  return 1;
}

int HBusTransport::CheckAck() const {
  if (DecodeNak() != 0) return 0;
  if (commandKnown_ && answerLength_ >= 3 &&
      answer_[2] == static_cast<std::uint8_t>(commandSent_ | kPositiveReplyBit))
    return 0;
  ShowThreadError(kTextInvalidResponse);
  return 2;
}

void HBusTransport::PublishReply(std::span<const std::uint8_t> frame) {
  std::lock_guard lock(buffers_);
  std::copy(frame.begin(), frame.end(), reply_.begin());
  replyLength_ = frame.size();
}

bool HBusTransport::SnapshotTransmit(std::array<std::uint8_t, kTransmitBufferSize>& out,
                                     std::size_t& length) const {
  std::lock_guard lock(buffers_);
  out = transmit_;
  length = transmitLength_;
  return length > 0;
}

// --- Sender --------------------------------------------------------------------------------

void HBusTransport::SenderLoop() {
  std::array<std::uint8_t, kTransmitBufferSize> frame{};
  while (!stop_.load()) {
    if (!sessionRunning_.WaitUnless(100, stop_)) continue;
    if (!sendEvent_.WaitUnless(100, stop_)) continue;
    if (stop_.load()) break;
    // Only into a quiet line: not inside a telegram of another member, nor right behind one.
    bool idle = false;
    while (!(idle = busIdle_.WaitUnless(100, stop_)) && !stop_.load() && sessionRunning_.IsSet()) {
    }
    if (stop_.load()) break;
    if (!idle || !sessionRunning_.IsSet()) continue;
    std::size_t length = 0;
    if (!SnapshotTransmit(frame, length)) continue;
    // Logged before the write, so that the protocol never shows an answer ahead of its request.
    ProtocolAddTelegram(frame.data(), length, kProtocolSent);
    auto count = static_cast<std::uint32_t>(length);
    if (!WriteBytes(port_.load(), frame.data(), count)) {
      ProtocolAddById(kTextTransmissionFailure, kProtocolError);
      transferError_.store(true);
    }
  }
}

// --- Receiver ------------------------------------------------------------------------------

bool HBusTransport::Advance(std::uint32_t from, std::uint32_t to) {
  // The owner may have asked for a pause (or set a mode) meanwhile; its request wins.
  return mode_.compare_exchange_strong(from, to);
}

void HBusTransport::Drop(std::uint32_t from, std::uint32_t textId, std::uint32_t nextMode) {
  if (assemblyCount_ > 0) LogReceived(assembly_.data(), assemblyCount_);
  if (textId != 0) ProtocolAddById(textId, kProtocolError);
  assemblyCount_ = 0;
  Advance(from, nextMode);
}

void HBusTransport::MarkIdleIfQuiet() {
  if (idle_.Expired()) {
    idle_.Start(kBusIdleMs);
    busIdle_.Set();
  }
}

int HBusTransport::LineReadWithin(std::uint8_t* buffer, std::uint32_t& length,
                                  std::uint32_t timeoutMs) {
  if (line_ != nullptr) return line_->ReadWithin(buffer, length, timeoutMs);
  return ReadWithin(port_.load(), buffer, length, timeoutMs);
}

bool HBusTransport::LineOpen() const {
  return line_ != nullptr ? line_->IsOpen() : IsPortOpen(port_.load());
}

std::uint32_t HBusTransport::LineByteTimeoutMs() const {
  return line_ != nullptr ? line_->ByteTimeoutMs() : PortByteTimeoutMs(port_.load());
}

std::uint32_t HBusTransport::ReadAssembly(std::uint32_t count) {
  const std::uint32_t watchedMode = mode_.load();
  count = std::min<std::uint32_t>(count, kTransmitBufferSize - assemblyCount_);
  Deadline deadline;
  StartDeadline(deadline, static_cast<std::int32_t>((count + 1) * LineByteTimeoutMs()));
  std::uint32_t got = 0;
  while (got < count && !stop_.load() && mode_.load() == watchedMode) {
    const std::int32_t left = DeadlineRemainingMs(deadline);
    std::uint32_t n = count - got;
    const auto slice =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max(left, 0)), kReadSliceMs);
    if (LineReadWithin(assembly_.data() + assemblyCount_ + got, n, slice)) {
      got += n;
      bytesSinceSend_.fetch_add(n);
    } else if (!LineOpen()) {
      break;
    }
    if (left <= 0) break;
  }
  assemblyCount_ += got;
  return got;
}

void HBusTransport::ReceiverLoop() {
  idle_.Start(kBusIdleMs);
  assemblyCount_ = 0;
  while (!stop_.load()) {
    if (!sessionRunning_.WaitUnless(100, stop_)) continue;
    if (stop_.load()) break;
    ReceiverStep();
  }
}

void HBusTransport::ReceiverStep() {
  switch (mode_.load()) {
    case kRxPauseRequested:
      assemblyCount_ = 0;
      Advance(kRxPauseRequested, kRxPaused);
      break;
    case kRxHeader:
      ReceiveHeader();
      break;
    case kRxLength:
      ReceiveLength();
      break;
    case kRxBody:
      ReceiveBody();
      break;
    case kRxDispatch:
      DispatchTelegram();
      break;
    case kRxBlockFirst:
      ReceiveBlockFirst();
      break;
    case kRxBlockBody:
      ReceiveBlockBody();
      break;
    case kRxBlockDispatch:
      DispatchBlockFrame();
      break;
    default:  // paused, or a mode nobody knows
      SleepUnlessStopped(20);
      break;
  }
}

void HBusTransport::ReceiveHeader() {
  std::uint32_t timeout = std::clamp<std::uint32_t>(2 * LineByteTimeoutMs(), 10, 2 * kReadSliceMs);
  if (!busIdle_.IsSet()) {
    // Wait no longer than until the line counts as quiet, so that the gap stays 40 ms.
    const std::uint32_t left = idle_.RemainingMs();
    if (left == 0) {
      idle_.Start(kBusIdleMs);
      busIdle_.Set();
    } else {
      timeout = std::min(timeout, left);
    }
  }
  std::uint8_t byte = 0;
  std::uint32_t n = 1;
  const int ok = LineReadWithin(&byte, n, timeout);
  if (ok && n == 1) {
    bytesSinceSend_.fetch_add(1);
    busIdle_.Reset();
    idle_.Start(kBusIdleMs);
    assembly_[0] = byte;
    assemblyCount_ = 1;
    Advance(kRxHeader, kRxLength);
    return;
  }
  MarkIdleIfQuiet();
  if (!ok) SleepMs(10);  // no port or a failed line: the read may have returned at once
}

void HBusTransport::ReceiveLength() {
  if (ReadAssembly(1) == 0) {
    if (mode_.load() == kRxLength) Drop(kRxLength, kTextTimeout, kRxHeader);
    return;
  }
  const std::uint8_t length = assembly_[1];
  if (length < kMinTelegramLength || length > kMaxTelegramLength) {
    Drop(kRxLength, kTextInvalidLength, kRxHeader);
    return;
  }
  idle_.Start(kBusIdleMs);
  expected_ = length;
  Advance(kRxLength, kRxBody);
}

void HBusTransport::ReceiveBody() {
  const std::uint32_t got = ReadAssembly(expected_);
  if (mode_.load() != kRxBody) return;  // paused meanwhile
  if (got < expected_) {
    Drop(kRxBody, kTextTimeout, kRxHeader);
    MarkIdleIfQuiet();
    return;
  }
  idle_.Start(kBusIdleMs);
  if (XorOf(std::span(assembly_.data(), assemblyCount_)) != 0) {
    Drop(kRxBody, kTextChecksumFailure, kRxHeader);
    return;
  }
  Advance(kRxBody, kRxDispatch);
}

void HBusTransport::DispatchTelegram() {
  const std::span<const std::uint8_t> frame(assembly_.data(), assemblyCount_);
  if (echoPending_.load()) {
    std::array<std::uint8_t, kTransmitBufferSize> sent{};
    std::size_t sentLength = 0;
    SnapshotTransmit(sent, sentLength);
    const bool echo = frame.size() == sentLength && !frame.empty() &&
                      frame[0] == requestHeader_.load() &&
                      std::equal(frame.begin(), frame.end(), sent.begin());
    if (echo) {
      echoPending_.store(false);
    } else {
      LogReceived(frame.data(), assemblyCount_);
      ProtocolAddById(kTextWrongEcho, kProtocolError);
      transferError_.store(true);
      replyEvent_.Set();
    }
  } else if (!frame.empty() && frame[0] == replyHeader_.load()) {
    LogReceived(frame.data(), assemblyCount_);
    PublishReply(frame);
    transferError_.store(false);
    replyEvent_.Set();
  } else {
    // Another member of the bus: recorded, otherwise none of our business.
    LogReceived(frame.data(), assemblyCount_);
  }
  assemblyCount_ = 0;
  Advance(kRxDispatch, kRxHeader);
}

void HBusTransport::ReceiveBlockFirst() {
  // The line belongs to the block transfer: the sender is never held back.
  busIdle_.Set();
  const std::uint32_t timeout =
      std::clamp<std::uint32_t>(2 * LineByteTimeoutMs(), 10, 2 * kReadSliceMs);
  std::uint8_t byte = 0;
  std::uint32_t n = 1;
  const int ok = LineReadWithin(&byte, n, timeout);
  if (ok && n == 1) {
    bytesSinceSend_.fetch_add(1);
    assembly_[0] = byte;
    assemblyCount_ = 1;
    Advance(kRxBlockFirst, kRxBlockBody);
    return;
  }
  if (!ok) SleepMs(10);
}

void HBusTransport::ReceiveBlockBody() {
  std::array<std::uint8_t, kTransmitBufferSize> sent{};
  std::size_t sentLength = 0;
  SnapshotTransmit(sent, sentLength);
  const std::uint32_t toFollow =
      BlockBytesToFollow(version_.load(), echoPending_.load(), assembly_[0], sent[0]);
  if (toFollow == 0) {
    Drop(kRxBlockBody, 0, kRxBlockFirst);
    return;
  }
  const std::uint32_t got = ReadAssembly(toFollow);
  if (mode_.load() != kRxBlockBody) return;
  if (got < toFollow) {
    Drop(kRxBlockBody, kTextTimeout, kRxBlockFirst);
    return;
  }
  if (XorOf(std::span(assembly_.data(), assemblyCount_)) != 0) {
    Drop(kRxBlockBody, kTextChecksumFailure, kRxBlockFirst);
    return;
  }
  Advance(kRxBlockBody, kRxBlockDispatch);
}

void HBusTransport::DispatchBlockFrame() {
  const std::span<const std::uint8_t> frame(assembly_.data(), assemblyCount_);
  if (!echoPending_.load()) {
    LogReceived(frame.data(), assemblyCount_);
    PublishReply(frame);
    transferError_.store(false);
    replyEvent_.Set();
  } else {
    std::array<std::uint8_t, kTransmitBufferSize> sent{};
    std::size_t sentLength = 0;
    SnapshotTransmit(sent, sentLength);
    if (frame.size() == sentLength && std::equal(frame.begin(), frame.end(), sent.begin())) {
      echoPending_.store(false);
    } else {
      LogReceived(frame.data(), assemblyCount_);
      ProtocolAddById(kTextWrongEcho, kProtocolError);
      transferError_.store(true);
      replyEvent_.Set();
    }
  }
  assemblyCount_ = 0;
  Advance(kRxBlockDispatch, kRxBlockFirst);
}

}  // namespace heatdiag
