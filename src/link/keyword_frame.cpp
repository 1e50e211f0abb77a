#include "link/keyword_frame.h"

#include <algorithm>

namespace heatdiag {
namespace {

// Byte 3 holds the service answer; a negative one names the refused service in byte 4 and the
// reason in byte 5.
constexpr std::size_t kServiceAt = 3;
constexpr std::size_t kNakReasonAt = 5;

}  // namespace

std::uint8_t SumOf(std::span<const std::uint8_t> bytes) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
  return sum;
}

std::size_t BuildKeywordFrame(std::uint8_t target, std::uint8_t source,
                              std::span<const std::uint8_t> payload, std::span<std::uint8_t> out) {
  const std::size_t size = payload.size() + kKeywordOverhead;
  if (payload.size() < kKeywordMinData || payload.size() > kKeywordMaxData || size > out.size())
    return 0;
  out[0] = static_cast<std::uint8_t>(kKeywordFormatBase + payload.size());
  out[1] = target;
  out[2] = source;
  std::copy(payload.begin(), payload.end(), out.begin() + 3);
  out[size - 1] = SumOf(out.first(size - 1));
  return size;
}

std::size_t KeywordFraming::Build(std::span<const std::uint8_t> payload,
                                  std::span<std::uint8_t> out) const {
  return BuildKeywordFrame(target_.load(), source_.load(), payload, out);
}

FrameStep KeywordFraming::Next(std::span<const std::uint8_t> assembled, bool /*echoPending*/,
                               std::span<const std::uint8_t> /*sent*/) const {
  if (assembled.size() > 1) return FrameStep::Complete();
  const std::uint8_t format = assembled[0];
  if (format < kKeywordFormatBase) return FrameStep::Skip();
  const std::uint32_t n = format & 0x7Fu;
  if (n < kKeywordMinData || n > kKeywordMaxData) return FrameStep::Skip();
  return FrameStep::More(n + 3, true);  // target, source, data, checksum
}

bool KeywordFraming::ChecksumOk(std::span<const std::uint8_t> frame) const {
  return !frame.empty() && SumOf(frame.first(frame.size() - 1)) == frame.back();
}

ReplyKind KeywordFraming::Classify(std::span<const std::uint8_t> frame,
                                   std::span<const std::uint8_t> sent) const {
  // The addresses of a reply are not checked: every frame that is not the echo is the answer.
  if (frame.size() <= kServiceAt + 1) return ReplyKind::kUnexpected;
  const std::uint8_t service = frame[kServiceAt];
  if (service == kKeywordNak) return ReplyKind::kNegative;
  if (sent.size() > kServiceAt + 1 &&
      service == static_cast<std::uint8_t>(sent[kServiceAt] | kKeywordPositiveBit))
    return ReplyKind::kPositive;
  return ReplyKind::kUnexpected;
}

std::uint8_t KeywordFraming::NakReason(std::span<const std::uint8_t> frame) const {
  // The checksum follows the reason: a frame too short to hold both has no reason.
  return frame.size() > kNakReasonAt + 1 ? frame[kNakReasonAt] : 0;
}

TransportTiming KeywordTiming() {
  TransportTiming timing;
  timing.replyWaitMs = 500;
  timing.attempts = 5;
  timing.probeAttempts = 2;
  timing.byteTimeoutMs = 30;
  timing.writeTimeoutMs = 100;
  timing.idleGapMs = 40;
  timing.skipPauseMs = 10;
  return timing;
}

PortConfig KeywordLineConfig(std::uint32_t portNumber) {
  const TransportTiming timing = KeywordTiming();
  PortConfig config;
  config.portNumber = portNumber;
  config.baudRate = 10400;
  config.dataBits = 8;
  config.parity = kParityNone;
  config.stopBits = kOneStopBit;
  config.handshake = kHandshakeNone;
  config.byteTimeoutMs = timing.byteTimeoutMs;
  config.writeTimeoutMs = timing.writeTimeoutMs;
  return config;
}

}  // namespace heatdiag
