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

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/serial_port.h"

namespace heatdiag {

inline constexpr std::uint8_t kRequestHeader = 0xF4;
inline constexpr std::uint8_t kReplyHeader = 0x4F;
inline constexpr std::uint8_t kNakCommand = 0x7F;
inline constexpr std::uint8_t kPositiveReplyBit = 0x80;

inline constexpr std::size_t kTransmitBufferSize = 256;
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

// Line settings of the H-Bus: 2400 baud, 8E1, no handshake, 30 ms per byte, 100 ms per write.
PortConfig HBusLineConfig(std::uint32_t portNumber);

}  // namespace heatdiag
