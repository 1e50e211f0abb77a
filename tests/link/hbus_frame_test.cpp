#include "link/hbus_frame.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "link/link_texts.h"

namespace heatdiag {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Built(std::uint8_t header, const Bytes& payload) {
  std::array<std::uint8_t, kTransmitBufferSize> out{};
  const std::size_t n = BuildTelegram(header, payload, out);
  return Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
}

TEST(TelegramFraming, RequestCarriesLengthAndChecksum) {
  EXPECT_EQ(Built(kRequestHeader, {0x51, 0x0A}), (Bytes{0xF4, 0x03, 0x51, 0x0A, 0xAC}));
  // A free telegram without data bytes still gets length and checksum.
  EXPECT_EQ(Built(kRequestHeader, {}), (Bytes{0xF4, 0x01, 0xF5}));
  const Bytes reply{0x4F, 0x03, 0xD1, 0x0A, 0x97};
  EXPECT_EQ(XorOf(reply), 0);
}

TEST(TelegramFraming, PayloadThatDoesNotFitIsRefusedUntouched) {
  const Bytes largest(kMaxRequestPayload, 0x11);
  EXPECT_EQ(Built(kRequestHeader, largest).size(), kTransmitBufferSize);

  std::array<std::uint8_t, kTransmitBufferSize> out{};
  out.fill(0xEE);
  const Bytes tooLong(kMaxRequestPayload + 1, 0x11);
  EXPECT_EQ(BuildTelegram(kRequestHeader, tooLong, out), 0u);
  EXPECT_EQ(out[0], 0xEE);
  // A buffer smaller than the telegram is not written past either.
  std::array<std::uint8_t, 4> small{};
  EXPECT_EQ(BuildTelegram(kRequestHeader, Bytes{0x51, 0x0A}, small), 0u);
}

TEST(BlockFraming, BytesAndChecksum) {
  std::array<std::uint8_t, kTransmitBufferSize> out{};
  const Bytes frame{0x04, 0x12, 0x5A};
  ASSERT_EQ(BuildBlockFrame(frame, out), 4u);
  EXPECT_EQ(out[3], 0x04 ^ 0x12 ^ 0x5A);
  EXPECT_EQ(BuildBlockFrame(Bytes(kMaxBlockFramePayload + 1, 0), out), 0u);
}

struct BlockLengthCase {
  std::uint8_t version;
  bool echoPending;
  std::uint8_t firstReceived;
  std::uint8_t firstSent;
  std::uint32_t expected;
};

class BlockLength : public ::testing::TestWithParam<BlockLengthCase> {};

TEST_P(BlockLength, FollowsVersionAndEcho) {
  const auto& c = GetParam();
  EXPECT_EQ(BlockBytesToFollow(c.version, c.echoPending, c.firstReceived, c.firstSent), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BlockLength,
    ::testing::Values(
        // From 3.0 the first byte received decides.
        BlockLengthCase{0x30, true, 3, 3, 2}, BlockLengthCase{0x30, false, 3, 3, 3},
        BlockLengthCase{0x31, true, 4, 4, 3}, BlockLengthCase{0x31, false, 4, 4, 3},
        BlockLengthCase{0x32, false, 5, 5, 2}, BlockLengthCase{0x32, true, 9, 9, 1},
        BlockLengthCase{0x31, true, 9, 9, 2}, BlockLengthCase{0x32, false, 9, 9, 2},
        BlockLengthCase{0x32, false, 0x12, 3, 0}, BlockLengthCase{0x39, true, 0, 3, 0},
        // Before 3.0 the first byte sent decides while the echo is awaited.
        BlockLengthCase{0x21, true, 4, 4, 3}, BlockLengthCase{0x10, true, 9, 9, 1},
        BlockLengthCase{0x10, true, 3, 3, 2}, BlockLengthCase{0x10, false, 0x40, 4, 2},
        BlockLengthCase{0x00, false, 9, 9, 2}));

struct NakCase {
  std::uint8_t code;
  const char* message;
};

class NakTable : public ::testing::TestWithParam<NakCase> {};

TEST_P(NakTable, MessageOfCode) {
  EXPECT_EQ(NakMessage(GetParam().code), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, NakTable,
    ::testing::Values(NakCase{0x10, "NAK: general reject!"},
                      NakCase{0x11, "NAK: request not supported!"},
                      NakCase{0x12, "NAK: parameter not supported!"},
                      NakCase{0x21, "NAK: busy, retry request!"},
                      NakCase{0x22, "NAK: conditions not correct!"},
                      NakCase{0x31, "NAK: invalid range!"}, NakCase{0x33, "NAK: access denied!"},
                      NakCase{0x42, "NAK: programming to specified address failed!"},
                      NakCase{0x52, "NAK: reading from specified address failed!"},
                      NakCase{0x77, "NAK: block transfer checksum failure!"},
                      NakCase{0x99, "NAK: unknown acknowlede code 0x99!"},
                      NakCase{0x00, "NAK: unknown acknowlede code 0x00!"},
                      NakCase{0x0A, "NAK: unknown acknowlede code 0x0A!"}));

TEST(HBusLine, SettingsOfTheBus) {
  const PortConfig c = HBusLineConfig(3);
  EXPECT_EQ(c.portNumber, 3u);
  EXPECT_EQ(c.baudRate, 2400u);
  EXPECT_EQ(c.dataBits, 8);
  EXPECT_EQ(c.parity, kParityEven);
  EXPECT_EQ(c.stopBits, kOneStopBit);
  EXPECT_EQ(c.handshake, kHandshakeNone);
  EXPECT_EQ(c.byteTimeoutMs, 30u);
  EXPECT_EQ(c.writeTimeoutMs, 100u);
}

}  // namespace
}  // namespace heatdiag
