#include "link/line_transport.h"

#include <algorithm>

#include "base/frame_sink.h"
#include "base/protocol.h"
#include "link/hbus_frame.h"
#include "link/link_texts.h"
#include "link/serial_port.h"
#include "link/thread_priority.h"

namespace heatdiag {
namespace {

// Longest single wait of a receiver read, so that a stop or a pause request is seen promptly.
constexpr std::uint32_t kReadSliceMs = 50;
constexpr std::uint32_t kPauseWaitPolls = 300;  // 3 s in steps of 10 ms
// Longest wait for the first byte of a frame: a pause request waits no longer for its answer.
constexpr std::uint32_t kFirstByteSliceMs = 10;
constexpr int kExitPolls = 100;  // 1 s in steps of 10 ms

void LogReceived(const std::uint8_t* bytes, std::uint32_t count) {
  ProtocolAddTelegram(bytes, count, kProtocolReceived);
}

constexpr std::size_t Index(FramingSlot slot) {
  return static_cast<std::size_t>(slot);
}

// The receiver modes of each slot's stages.
constexpr std::uint32_t FirstMode(FramingSlot slot) {
  return slot == FramingSlot::kLine ? kRxFirst : kRxBlockFirst;
}
constexpr std::uint32_t MoreMode(FramingSlot slot, bool lengthKnown) {
  if (slot == FramingSlot::kBlock) return kRxBlockBody;
  return lengthKnown ? kRxBody : kRxLength;
}
constexpr std::uint32_t DispatchMode(FramingSlot slot) {
  return slot == FramingSlot::kLine ? kRxDispatch : kRxBlockDispatch;
}
constexpr bool IsBlockMode(std::uint32_t mode) {
  return mode >= kRxBlockFirst && mode <= kRxBlockDispatch;
}
constexpr bool IsLineMode(std::uint32_t mode) {
  return mode >= kRxFirst && mode <= kRxDispatch;
}

}  // namespace

LineTransport::LineTransport() = default;

LineTransport::~LineTransport() {
  StopThreads();
}

// --- Framings ------------------------------------------------------------------------------

void LineTransport::SetFraming(const Framing& framing, const TransportTiming& timing,
                               FramingSlot slot) {
  SetTiming(timing, slot);
  slots_[Index(slot)].framing.store(&framing);
}

const Framing* LineTransport::FramingIn(FramingSlot slot) const {
  return slots_[Index(slot)].framing.load();
}

TransportTiming LineTransport::Timing(FramingSlot slot) const {
  const Slot& s = slots_[Index(slot)];
  TransportTiming timing;
  timing.replyWaitMs = s.replyWaitMs.load();
  timing.attempts = s.attempts.load();
  timing.probeAttempts = s.probeAttempts.load();
  timing.byteTimeoutMs = s.byteTimeoutMs.load();
  timing.writeTimeoutMs = s.writeTimeoutMs.load();
  timing.idleGapMs = s.idleGapMs.load();
  timing.skipPauseMs = s.skipPauseMs.load();
  return timing;
}

void LineTransport::SetTiming(const TransportTiming& timing, FramingSlot slot) {
  Slot& s = slots_[Index(slot)];
  s.replyWaitMs.store(timing.replyWaitMs);
  s.attempts.store(std::max(timing.attempts, 1));
  s.probeAttempts.store(std::max(timing.probeAttempts, 1));
  s.byteTimeoutMs.store(timing.byteTimeoutMs);
  s.writeTimeoutMs.store(timing.writeTimeoutMs);
  s.idleGapMs.store(timing.idleGapMs);
  s.skipPauseMs.store(timing.skipPauseMs);
}

// --- Threads -------------------------------------------------------------------------------

void LineTransport::StartThreads() {
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

void LineTransport::RequestStop() {
  stop_.store(true);
  // Every thread of the driver that waits looks at the flag at once rather than after its
  // period: the session, send and bus-idle waits, the sleeps, and the requester's reply wait.
  for (Event* e : {&sessionRunning_, &sendEvent_, &busIdle_, &stopped_, &pausedAnswer_, &modeSet_})
    e->Wake();
  replyEvent_.Set();
}

void LineTransport::StopThreads() {
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

void LineTransport::SetReceiverMode(std::uint32_t mode) {
  if (IsBlockMode(mode))
    activeSlot_.store(static_cast<std::uint8_t>(FramingSlot::kBlock));
  else if (IsLineMode(mode))
    activeSlot_.store(static_cast<std::uint8_t>(FramingSlot::kLine));
  mode_.store(mode);
  modeSet_.Set();  // a paused receiver takes up the new mode at once
}

bool LineTransport::PauseReceiver() {
  if (receiverExited_.load() || !sessionRunning_.IsSet()) {
    // Nobody is reading: the line is quiet on our side already.
    mode_.store(kRxPaused);
    return true;
  }
  pausedAnswer_.Reset();
  mode_.store(kRxPauseRequested);
  for (std::uint32_t i = 0; i < kPauseWaitPolls; ++i) {
    if (mode_.load() == kRxPaused) return true;
    if (stop_.load()) return false;
    if (!sessionRunning_.IsSet() || receiverExited_.load()) {
      mode_.store(kRxPaused);
      return true;
    }
    // The receiver signals its answer: no need to wait for the end of a poll period.
    pausedAnswer_.WaitUnless(10, stop_);
  }
  return mode_.load() == kRxPaused;
}

// --- Requests ------------------------------------------------------------------------------

bool LineTransport::Build(FramingSlot slot, std::span<const std::uint8_t> payload) {
  const Framing* framing = FramingIn(slot);
  if (framing == nullptr || payload.size() > framing->MaxPayload()) return false;
  std::array<std::uint8_t, kTransmitBufferSize> frame{};
  const std::size_t length = framing->Build(payload, std::span(frame));
  if (length == 0) return false;
  {
    std::lock_guard lock(buffers_);
    std::copy_n(frame.begin(), length, transmit_.begin());
    transmitLength_ = length;
  }
  return true;
}

bool LineTransport::PrepareTransmit(std::span<const std::uint8_t> payload, FramingSlot slot) {
  if (!Build(slot, payload)) return false;
  Arm();
  return true;
}

int LineTransport::Send(const std::uint8_t* payload, std::size_t n) {
  return Send(ActiveSlot(), payload, n);
}

int LineTransport::Send(FramingSlot slot, const std::uint8_t* payload, std::size_t n) {
  if (payload == nullptr && n > 0) return 0;
  if (FramingIn(slot) == nullptr) return 0;
  if (!Build(slot, std::span(payload, n))) {
    ProtocolAddById(kTextTelegramTooLong, kProtocolError);
    return 0;
  }
  return Exchange(slot);
}

void LineTransport::Arm() {
  bytesSinceSend_.store(0);
  echoPending_.store(true);
  transferError_.store(false);
  sendEvent_.Set();
}

int LineTransport::Exchange(FramingSlot slot) {
  const Slot& s = slots_[Index(slot)];
  const Framing* framing = s.framing.load();
  const std::uint32_t waitMs = s.replyWaitMs.load();
  const int attempts = probeMode_.load() ? s.probeAttempts.load() : s.attempts.load();
  answerLength_ = 0;
  answerFraming_ = framing;
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
      answerKind_ = replyKind_;
      return 1;
    }
    if (!sessionRunning_.IsSet()) return 0;
    if (!signalled && !transferError_.load()) {
      const bool silent =
          framing->ReportsMissingAdapter() && echoPending_.load() && bytesSinceSend_.load() == 0;
      ProtocolAddById(silent ? kTextAdapterNotConnected : kTextTimeout, kProtocolError);
    }
    if (attempt >= attempts) return 0;
    Arm();
    if (stop_.load()) return 0;
  }
}

int LineTransport::DecodeNak() const {
  if (answerFraming_ == nullptr || answerLength_ == 0 || answerKind_ != ReplyKind::kNegative)
    return 0;
  const std::uint8_t code = answerFraming_->NakReason(std::span(answer_.data(), answerLength_));
  const std::uint32_t id = NakTextId(code);
  if (id == kTextNakUnknown)
    ShowThreadError(id, NakCodeText(code));
  else
    ShowThreadError(id);
  return 1;
}

int LineTransport::CheckAck() const {
  if (DecodeNak() != 0) return 0;
  if (answerLength_ > 0 && answerKind_ == ReplyKind::kPositive) return 0;
  ShowThreadError(kTextInvalidResponse);
  return 2;
}

void LineTransport::PublishReply(std::span<const std::uint8_t> frame, ReplyKind kind) {
  std::lock_guard lock(buffers_);
  std::copy(frame.begin(), frame.end(), reply_.begin());
  replyLength_ = frame.size();
  replyKind_ = kind;
}

bool LineTransport::SnapshotTransmit(std::array<std::uint8_t, kTransmitBufferSize>& out,
                                     std::size_t& length) const {
  std::lock_guard lock(buffers_);
  out = transmit_;
  length = transmitLength_;
  return length > 0;
}

// --- Sender --------------------------------------------------------------------------------

void LineTransport::SenderLoop() {
  std::array<std::uint8_t, kTransmitBufferSize> frame{};
  while (!stop_.load()) {
    if (!sessionRunning_.WaitUnless(100, stop_)) continue;
    if (!sendEvent_.WaitUnless(100, stop_)) continue;
    if (stop_.load()) break;
    // Only into a quiet line: not inside a frame of another member, nor right behind one (the
    // receiver keeps the event set where the framing does not wait for the quiet line).
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

bool LineTransport::Advance(std::uint32_t from, std::uint32_t to) {
  // The owner may have asked for a pause (or set a mode) meanwhile; its request wins.
  return mode_.compare_exchange_strong(from, to);
}

void LineTransport::Drop(std::uint32_t from, std::uint32_t textId, std::uint32_t nextMode) {
  if (assemblyCount_ > 0) LogReceived(assembly_.data(), assemblyCount_);
  if (textId != 0) ProtocolAddById(textId, kProtocolError);
  assemblyCount_ = 0;
  Advance(from, nextMode);
}

void LineTransport::MarkIdleIfQuiet(std::uint32_t gapMs) {
  if (idle_.Expired()) {
    idle_.Start(gapMs);
    busIdle_.Set();
  }
}

int LineTransport::LineReadWithin(std::uint8_t* buffer, std::uint32_t& length,
                                  std::uint32_t timeoutMs) {
  if (line_ != nullptr) return line_->ReadWithin(buffer, length, timeoutMs);
  return ReadWithin(port_.load(), buffer, length, timeoutMs);
}

bool LineTransport::LineOpen() const {
  return line_ != nullptr ? line_->IsOpen() : IsPortOpen(port_.load());
}

std::uint32_t LineTransport::LineByteTimeoutMs() const {
  return line_ != nullptr ? line_->ByteTimeoutMs() : PortByteTimeoutMs(port_.load());
}

std::uint32_t LineTransport::ByteTimeoutOf(FramingSlot slot) const {
  const std::uint32_t own = slots_[Index(slot)].byteTimeoutMs.load();
  return own != 0 ? own : LineByteTimeoutMs();
}

std::uint32_t LineTransport::ReadAssembly(std::uint32_t count, std::uint32_t byteTimeoutMs) {
  const std::uint32_t watchedMode = mode_.load();
  count = std::min<std::uint32_t>(count, kTransmitBufferSize - assemblyCount_);
  Deadline deadline;
  StartDeadline(deadline, static_cast<std::int32_t>((count + 1) * byteTimeoutMs));
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

void LineTransport::ReceiverLoop() {
  idle_.Start(slots_[Index(FramingSlot::kLine)].idleGapMs.load());
  assemblyCount_ = 0;
  while (!stop_.load()) {
    if (!sessionRunning_.WaitUnless(100, stop_)) continue;
    if (stop_.load()) break;
    ReceiverStep();
  }
}

void LineTransport::ReceiverStep() {
  const std::uint32_t mode = mode_.load();
  if (mode == kRxPauseRequested) {
    assemblyCount_ = 0;
    if (Advance(kRxPauseRequested, kRxPaused)) pausedAnswer_.Set();
    return;
  }
  const bool line = IsLineMode(mode);
  if (!line && !IsBlockMode(mode)) {  // paused, or a mode nobody knows
    modeSet_.WaitUnless(20, stop_);
    return;
  }
  const FramingSlot slot = line ? FramingSlot::kLine : FramingSlot::kBlock;
  if (FramingIn(slot) == nullptr) {  // nothing to assemble with
    SleepUnlessStopped(20);
    return;
  }
  if (mode == FirstMode(slot))
    ReceiveFirst(slot);
  else if (mode == DispatchMode(slot))
    Dispatch(slot);
  else
    ReceiveMore(slot);
}

void LineTransport::ReceiveFirst(FramingSlot slot) {
  const bool quiet = FramingIn(slot)->WaitsForQuietLine();
  const std::uint32_t gapMs = slots_[Index(slot)].idleGapMs.load();
  // Where the line belongs to the transfer, the sender is never held back.
  if (!quiet) busIdle_.Set();
  std::uint32_t timeout = std::clamp<std::uint32_t>(2 * ByteTimeoutOf(slot), 10, 2 * kReadSliceMs);
  // A pause request is looked at between reads.
  timeout = std::min(timeout, kFirstByteSliceMs);
  if (quiet && !busIdle_.IsSet()) {
    // Wait no longer than until the line counts as quiet, so that the gap stays as it is.
    const std::uint32_t left = idle_.RemainingMs();
    if (left == 0) {
      idle_.Start(gapMs);
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
    if (quiet) {
      busIdle_.Reset();
      idle_.Start(gapMs);
    }
    assembly_[0] = byte;
    assemblyCount_ = 1;
    std::array<std::uint8_t, kTransmitBufferSize> sent{};
    std::size_t sentLength = 0;
    SnapshotTransmit(sent, sentLength);
    Apply(slot, FirstMode(slot),
          FramingIn(slot)->Next(std::span(assembly_.data(), 1), echoPending_.load(),
                                std::span(sent.data(), sentLength)));
    return;
  }
  if (quiet) MarkIdleIfQuiet(gapMs);
  if (!ok) SleepMs(10);  // no port or a failed line: the read may have returned at once
}

void LineTransport::ReceiveMore(FramingSlot slot) {
  const std::uint32_t mode = mode_.load();
  const bool quiet = FramingIn(slot)->WaitsForQuietLine();
  const std::uint32_t gapMs = slots_[Index(slot)].idleGapMs.load();
  const std::uint32_t got = ReadAssembly(expected_, ByteTimeoutOf(slot));
  if (mode_.load() != mode) return;  // paused meanwhile
  if (got < expected_) {
    Drop(mode, kTextTimeout, FirstMode(slot));
    if (quiet) MarkIdleIfQuiet(gapMs);
    return;
  }
  if (quiet) idle_.Start(gapMs);
  std::array<std::uint8_t, kTransmitBufferSize> sent{};
  std::size_t sentLength = 0;
  SnapshotTransmit(sent, sentLength);
  Apply(slot, mode,
        FramingIn(slot)->Next(std::span(assembly_.data(), assemblyCount_), echoPending_.load(),
                              std::span(sent.data(), sentLength)));
}

void LineTransport::Apply(FramingSlot slot, std::uint32_t mode, const FrameStep& step) {
  const std::uint32_t first = FirstMode(slot);
  switch (step.kind) {
    case FrameStep::kMore:
      if (step.count > 0 && assemblyCount_ + step.count <= kTransmitBufferSize) {
        expected_ = step.count;
        Advance(mode, MoreMode(slot, step.lengthKnown));
      } else {
        Drop(mode, kTextInvalidLength, first);
      }
      return;
    case FrameStep::kComplete:
      if (!FramingIn(slot)->ChecksumOk(std::span(assembly_.data(), assemblyCount_))) {
        Drop(mode, kTextChecksumFailure, first);
        return;
      }
      Advance(mode, DispatchMode(slot));
      return;
    case FrameStep::kSkip:
      // Not the start of a frame: the next byte is tried as the first.
      assemblyCount_ = 0;
      Advance(mode, first);
      if (const std::uint32_t pause = slots_[Index(slot)].skipPauseMs.load(); pause > 0)
        SleepUnlessStopped(pause);
      return;
    case FrameStep::kDrop:
      Drop(mode, step.textId, first);
      return;
  }
}

void LineTransport::Dispatch(FramingSlot slot) {
  const std::span<const std::uint8_t> frame(assembly_.data(), assemblyCount_);
  std::array<std::uint8_t, kTransmitBufferSize> sent{};
  std::size_t sentLength = 0;
  SnapshotTransmit(sent, sentLength);
  if (echoPending_.load()) {
    if (!frame.empty() && frame.size() == sentLength &&
        std::equal(frame.begin(), frame.end(), sent.begin())) {
      echoPending_.store(false);  // the echo itself is not recorded
    } else {
      LogReceived(frame.data(), assemblyCount_);
      ProtocolAddById(kTextWrongEcho, kProtocolError);
      transferError_.store(true);
      replyEvent_.Set();
    }
  } else if (slot == FramingSlot::kLine && !frame.empty() && frame.size() == sentLength &&
             std::equal(frame.begin(), frame.end(), sent.begin())) {
    // The echo of a repeated request once more: the first attempt's echo came back so late that
    // it was taken for the repetition's. No reply of either framing equals its request (the
    // addresses are swapped), so it is dropped like any echo rather than taken for the answer.
  } else if (const ReplyKind kind =
                 FramingIn(slot)->Classify(frame, std::span(sent.data(), sentLength));
             kind != ReplyKind::kForeign) {
    LogReceived(frame.data(), assemblyCount_);
    PublishReply(frame, kind);
    transferError_.store(false);
    replyEvent_.Set();
  } else {
    // Another member of the bus: recorded, otherwise none of our business.
    LogReceived(frame.data(), assemblyCount_);
  }
  assemblyCount_ = 0;
  Advance(DispatchMode(slot), FirstMode(slot));
}

}  // namespace heatdiag
