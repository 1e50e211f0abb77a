// H-Bus framing, free of any I/O.
//
// Telegram: [header][length][command][data...][checksum]. The header carries the sender address
// in its high nibble and the receiver address in its low nibble (tester 0xF, heater 0x4: a
// request 0xF4, a reply 0x4F); length counts command, data and checksum; the checksum is the
// exclusive-or of every byte before it. A reply carries command | 0x80, a negative answer 0x7F
// followed by the reason code.
//
// Block frame (EOL transfer at the block baud rate): [command][data...][checksum].
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/framing.h"
#include "link/serial_port.h"

namespace heatdiag {

inline constexpr std::uint8_t kRequestHeader = 0xF4;
inline constexpr std::uint8_t kReplyHeader = 0x4F;
inline constexpr std::uint8_t kNakCommand = 0x7F;
inline constexpr std::uint8_t kPositiveReplyBit = 0x80;

// Header, length and checksum take three bytes of the transmit buffer.
inline constexpr std::size_t kMaxRequestPayload = kTransmitBufferSize - 3;
inline constexpr std::size_t kMaxBlockFramePayload = kTransmitBufferSize - 1;
// Length bytes that a received telegram may carry.
inline constexpr std::uint8_t kMinTelegramLength = 2;
inline constexpr std::uint8_t kMaxTelegramLength = 32;
inline constexpr std::size_t kMaxTelegramSize = kMaxTelegramLength + 2;

// Exclusive-or of the bytes: the checksum of what precedes it, and 0 over a whole valid frame.
std::uint8_t XorOf(std::span<const std::uint8_t> bytes);

// Writes a request telegram with the given header into out; returns its size (payload + 3), or 0
// when it does not fit into out (nothing is written then).
std::size_t BuildTelegram(std::uint8_t header, std::span<const std::uint8_t> payload,
                          std::span<std::uint8_t> out);
// Writes a block frame (the bytes and their checksum) into out; returns its size or 0.
std::size_t BuildBlockFrame(std::span<const std::uint8_t> bytes, std::span<std::uint8_t> out);

// The block-mode frame length rule: how many bytes follow the first byte of a received frame,
// given the control unit's H-Bus version (0x31 = 3.1), whether the echo of a sent frame is still
// awaited, the first byte received and the first byte sent. 0: the frame is not recognised.
std::uint32_t BlockBytesToFollow(std::uint8_t version, bool echoPending, std::uint8_t firstReceived,
                                 std::uint8_t firstSent);

// The text id of a negative-acknowledge code (kTextNakUnknown for codes outside the table) and
// the message as the user sees it ("NAK: unknown acknowlede code 0x99!" for an unknown code).
std::uint32_t NakTextId(std::uint8_t code);
std::string NakMessage(std::uint8_t code);
// A code as the unknown-code message shows it: "0x99".
std::string NakCodeText(std::uint8_t code);

// H-Bus telegrams: request and reply headers settable (the free telegram replaces them for its
// time); positive = command | 0x80, negative = 0x7F at byte 2 with the code at byte 3; a telegram
// with another header belongs to another member of the bus.
class HBusTelegramFraming final : public Framing {
 public:
  void SetRequestHeader(std::uint8_t header) { requestHeader_.store(header); }
  void SetReplyHeader(std::uint8_t header) { replyHeader_.store(header); }
  std::uint8_t RequestHeader() const { return requestHeader_.load(); }
  std::uint8_t ReplyHeader() const { return replyHeader_.load(); }

  std::size_t MaxPayload() const override { return kMaxRequestPayload; }
  std::size_t Build(std::span<const std::uint8_t> payload,
                    std::span<std::uint8_t> out) const override;
  FrameStep Next(std::span<const std::uint8_t> assembled, bool echoPending,
                 std::span<const std::uint8_t> sent) const override;
  bool ChecksumOk(std::span<const std::uint8_t> frame) const override;
  ReplyKind Classify(std::span<const std::uint8_t> frame,
                     std::span<const std::uint8_t> sent) const override;
  std::uint8_t NakReason(std::span<const std::uint8_t> frame) const override;
  bool WaitsForQuietLine() const override { return true; }
  bool ReportsMissingAdapter() const override { return true; }

 private:
  std::atomic<std::uint8_t> requestHeader_{kRequestHeader};
  std::atomic<std::uint8_t> replyHeader_{kReplyHeader};
};

// H-Bus block frames of the EOL transfer: lengths by BlockBytesToFollow with the control unit's
// version; the line belongs to the transfer (no quiet-line wait); every frame that is not the
// echo is the reply.
class HBusBlockFraming final : public Framing {
 public:
  // The control unit's protocol version (0x31 = 3.1; 0 until known).
  void SetVersion(std::uint8_t version) { version_.store(version); }
  std::uint8_t Version() const { return version_.load(); }

  std::size_t MaxPayload() const override { return kMaxBlockFramePayload; }
  std::size_t Build(std::span<const std::uint8_t> payload,
                    std::span<std::uint8_t> out) const override;
  FrameStep Next(std::span<const std::uint8_t> assembled, bool echoPending,
                 std::span<const std::uint8_t> sent) const override;
  bool ChecksumOk(std::span<const std::uint8_t> frame) const override;
  ReplyKind Classify(std::span<const std::uint8_t> frame,
                     std::span<const std::uint8_t> sent) const override;
  std::uint8_t NakReason(std::span<const std::uint8_t> frame) const override;
  bool WaitsForQuietLine() const override { return false; }
  bool ReportsMissingAdapter() const override { return false; }

 private:
  std::atomic<std::uint8_t> version_{0};
};

// Telegrams: 1300 ms per attempt, 5 attempts (2 while probing), the line's byte time-out, 40 ms
// quiet line. Block frames: 100 ms per attempt, always 5 attempts.
TransportTiming HBusTelegramTiming();
TransportTiming HBusBlockTiming();

// Line settings of the H-Bus: 2400 baud, 8E1, no handshake, 30 ms per byte, 100 ms per write.
PortConfig HBusLineConfig(std::uint32_t portNumber);

}  // namespace heatdiag
