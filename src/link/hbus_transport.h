// The H-Bus transport of one driver: a LineTransport over H-Bus telegrams (receiver modes 1 to 4)
// and, for the EOL transfer at the block baud rate, block frames (modes 6 to 8).
//
// Telegrams wait for the line to be quiet for 40 ms; block frames own the line. The owner sets
// mode 1 (kRxHeader) or 6 (kRxBlockFirst) after a pause, as for any LineTransport.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/hbus_frame.h"
#include "link/line_transport.h"

namespace heatdiag {

inline constexpr std::uint32_t kReplyWaitMs = 1300;
inline constexpr std::uint32_t kBlockReplyWaitMs = 100;
inline constexpr int kSendAttempts = 5;
inline constexpr int kProbeSendAttempts = 2;
inline constexpr std::uint32_t kBusIdleMs = 40;

class HBusTransport : public LineTransport {
 public:
  HBusTransport();
  ~HBusTransport() override;  // stops the threads

  // The reply wait of one attempt: 1300 ms for a telegram, 100 ms for a block frame. Tests of the
  // retry logic shorten them.
  void SetReplyWaits(std::uint32_t telegramMs, std::uint32_t blockMs);

  // The control unit's protocol version (0x31 = 3.1; 0 until known): decides the block-mode
  // frame lengths.
  void SetHBusVersion(std::uint8_t version) { block_.SetVersion(version); }
  std::uint8_t HBusVersion() const { return block_.Version(); }
  // The headers of requests and of the replies accepted (0xF4 / 0x4F; replaced for the time of
  // a free telegram).
  void SetRequestHeader(std::uint8_t header) { telegrams_.SetRequestHeader(header); }
  void SetReplyHeader(std::uint8_t header) { telegrams_.SetReplyHeader(header); }
  std::uint8_t RequestHeader() const { return telegrams_.RequestHeader(); }
  std::uint8_t ReplyHeader() const { return telegrams_.ReplyHeader(); }

  // Sends the payload (command and data) as a telegram and waits for the control unit's reply:
  // 1300 ms per attempt, 5 attempts (2 in probe mode). 1 when Reply() holds the answer. A payload
  // longer than 253 bytes is refused.
  int SendTelegram(const std::uint8_t* payload, std::size_t n) {
    return Send(FramingSlot::kLine, payload, n);
  }
  // The same for a block frame: 100 ms per attempt, always 5 attempts.
  int SendBlockFrame(const std::uint8_t* bytes, std::size_t n) {
    return Send(FramingSlot::kBlock, bytes, n);
  }
  // Fills the transmit buffer as the request functions do (fuzz targets).
  bool PrepareTransmit(std::span<const std::uint8_t> bytes, bool blockFrame) {
    return LineTransport::PrepareTransmit(bytes,
                                          blockFrame ? FramingSlot::kBlock : FramingSlot::kLine);
  }

 private:
  HBusTelegramFraming telegrams_;
  HBusBlockFraming block_;
};

}  // namespace heatdiag
