// A telegram typed in by the user: addresses and data; the driver adds length and checksum.
// The same 264 bytes are kept in the settings so that the last telegram is offered again.
#pragma once

#include <array>
#include <cstdint>

namespace heatdiag {

inline constexpr std::size_t kFreeTelegramDataSize = 256;

struct FreeTelegram {
  std::uint8_t deviceAddress = 0;  // the addressee
  std::uint8_t sourceAddress = 0;  // the sender
  std::uint16_t length = 0;        // data bytes, 0..256
  std::array<std::uint8_t, kFreeTelegramDataSize> data{};
  std::uint32_t viewAnswer = 0;  // record the exchange in the protocol
};

static_assert(sizeof(FreeTelegram) == 264);

}  // namespace heatdiag
