#include "link/hbus_frame.h"

#include <algorithm>
#include <cstdio>

#include "base/frame_sink.h"
#include "base/string_table.h"
#include "link/link_texts.h"

namespace heatdiag {

std::uint8_t XorOf(std::span<const std::uint8_t> bytes) {
  std::uint8_t x = 0;
  for (std::uint8_t b : bytes) x = static_cast<std::uint8_t>(x ^ b);
  return x;
}

std::size_t BuildTelegram(std::uint8_t header, std::span<const std::uint8_t> payload,
                          std::span<std::uint8_t> out) {
  const std::size_t size = payload.size() + 3;
  if (payload.size() > kMaxRequestPayload || size > out.size()) return 0;
  out[0] = header;
  out[1] = static_cast<std::uint8_t>(payload.size() + 1);
  std::copy(payload.begin(), payload.end(), out.begin() + 2);
  out[size - 1] = XorOf(out.first(size - 1));
  return size;
}

std::size_t BuildBlockFrame(std::span<const std::uint8_t> bytes, std::span<std::uint8_t> out) {
  const std::size_t size = bytes.size() + 1;
  if (bytes.size() > kMaxBlockFramePayload || size > out.size()) return 0;
  std::copy(bytes.begin(), bytes.end(), out.begin());
  out[size - 1] = XorOf(bytes);
  return size;
}

std::uint32_t BlockBytesToFollow(std::uint8_t version, bool echoPending, std::uint8_t firstReceived,
                                 std::uint8_t firstSent) {
  if (version >= 0x30) {
    switch (firstReceived) {
      case 3:
        return echoPending ? 2 : 3;
      case 4:
        return 3;
      case 5:
        return 2;
      case 9:
        return echoPending && version >= 0x32 ? 1 : 2;
      default:
        return 0;
    }
  }
  if (!echoPending) return 2;
  switch (firstSent) {
    case 4:
      return 3;
    case 9:
      return 1;
    default:
      return 2;
  }
}

std::uint32_t NakTextId(std::uint8_t code) {
  switch (code) {
    case 0x10:
      return kTextNakGeneralReject;
    case 0x11:
      return kTextNakRequestNotSupported;
    case 0x12:
      return kTextNakParameterNotSupported;
    case 0x21:
      return kTextNakBusy;
    case 0x22:
      return kTextNakConditionsNotCorrect;
    case 0x31:
      return kTextNakInvalidRange;
    case 0x33:
      return kTextNakAccessDenied;
    case 0x42:
      return kTextNakProgrammingFailed;
    case 0x52:
      return kTextNakReadingFailed;
    case 0x77:
      return kTextNakBlockChecksum;
    default:
      return kTextNakUnknown;
  }
}

std::string NakCodeText(std::uint8_t code) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", code);
  return text;
}

std::string NakMessage(std::uint8_t code) {
  const std::uint32_t id = NakTextId(code);
  if (id != kTextNakUnknown) return LoadString(id);
  return FormatText(LoadString(id), NakCodeText(code));
}

// --- Telegrams ----------------------------------------------------------------------------

std::size_t HBusTelegramFraming::Build(std::span<const std::uint8_t> payload,
                                       std::span<std::uint8_t> out) const {
  return BuildTelegram(requestHeader_.load(), payload, out);
}

FrameStep HBusTelegramFraming::Next(std::span<const std::uint8_t> assembled, bool /*echoPending*/,
                                    std::span<const std::uint8_t> /*sent*/) const {
  if (assembled.size() == 1) return FrameStep::More(1, false);  // the length byte
  if (assembled.size() == 2) {
    const std::uint8_t length = assembled[1];
    if (length < kMinTelegramLength || length > kMaxTelegramLength)
      return FrameStep::Drop(kTextInvalidLength);
    return FrameStep::More(length, true);
  }
  return FrameStep::Complete();
}

bool HBusTelegramFraming::ChecksumOk(std::span<const std::uint8_t> frame) const {
  return XorOf(frame) == 0;
}

ReplyKind HBusTelegramFraming::Classify(std::span<const std::uint8_t> frame,
                                        std::span<const std::uint8_t> sent) const {
  if (frame.empty() || frame[0] != replyHeader_.load()) return ReplyKind::kForeign;
  if (frame.size() < 3) return ReplyKind::kUnexpected;
  if (frame[2] == kNakCommand) return ReplyKind::kNegative;
  // A request without a command (header, length, checksum) has no positive answer.
  if (sent.size() > 3 && frame[2] == static_cast<std::uint8_t>(sent[2] | kPositiveReplyBit))
    return ReplyKind::kPositive;
  return ReplyKind::kUnexpected;
}

std::uint8_t HBusTelegramFraming::NakReason(std::span<const std::uint8_t> frame) const {
  return frame.size() > 3 ? frame[3] : 0;
}

// --- Block frames --------------------------------------------------------------------------

std::size_t HBusBlockFraming::Build(std::span<const std::uint8_t> payload,
                                    std::span<std::uint8_t> out) const {
  return BuildBlockFrame(payload, out);
}

FrameStep HBusBlockFraming::Next(std::span<const std::uint8_t> assembled, bool echoPending,
                                 std::span<const std::uint8_t> sent) const {
  if (assembled.size() > 1) return FrameStep::Complete();
  const std::uint32_t toFollow = BlockBytesToFollow(version_.load(), echoPending, assembled[0],
                                                    sent.empty() ? std::uint8_t{0} : sent[0]);
  if (toFollow == 0) return FrameStep::Drop(0);  // not a frame of this transfer
  return FrameStep::More(toFollow, true);
}

bool HBusBlockFraming::ChecksumOk(std::span<const std::uint8_t> frame) const {
  return XorOf(frame) == 0;
}

ReplyKind HBusBlockFraming::Classify(std::span<const std::uint8_t> frame,
                                     std::span<const std::uint8_t> /*sent*/) const {
  // The line belongs to the transfer: whatever is not the echo is the reply. Its meaning is the
  // block handler's business; only the negative acknowledge has a fixed place.
  if (frame.size() >= 3 && frame[2] == kNakCommand) return ReplyKind::kNegative;
  return ReplyKind::kUnexpected;
}

std::uint8_t HBusBlockFraming::NakReason(std::span<const std::uint8_t> frame) const {
  return frame.size() > 3 ? frame[3] : 0;
}

TransportTiming HBusTelegramTiming() {
  TransportTiming timing;
  timing.replyWaitMs = 1300;
  timing.attempts = 5;
  timing.probeAttempts = 2;
  timing.byteTimeoutMs = 0;  // the line's: 30 ms at 2400 baud
  timing.writeTimeoutMs = 100;
  timing.idleGapMs = 40;
  return timing;
}

TransportTiming HBusBlockTiming() {
  TransportTiming timing = HBusTelegramTiming();
  timing.replyWaitMs = 100;
  timing.probeAttempts = timing.attempts;
  return timing;
}

PortConfig HBusLineConfig(std::uint32_t portNumber) {
  PortConfig config;
  config.portNumber = portNumber;
  config.baudRate = 2400;
  config.dataBits = 8;
  config.parity = kParityEven;
  config.stopBits = kOneStopBit;
  config.handshake = kHandshakeNone;
  config.byteTimeoutMs = 30;
  config.writeTimeoutMs = HBusTelegramTiming().writeTimeoutMs;
  return config;
}

}  // namespace heatdiag
