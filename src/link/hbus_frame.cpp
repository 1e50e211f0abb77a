#include "link/hbus_frame.h"

#include <algorithm>
#include <cstdio>

#include "link/link_texts.h"
#include "shell/frame_sink.h"
#include "shell/string_table.h"

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

PortConfig HBusLineConfig(std::uint32_t portNumber) {
  PortConfig config;
  config.portNumber = portNumber;
  config.baudRate = 2400;
  config.dataBits = 8;
  config.parity = kParityEven;
  config.stopBits = kOneStopBit;
  config.handshake = kHandshakeNone;
  config.byteTimeoutMs = 30;
  config.writeTimeoutMs = 100;
  return config;
}

}  // namespace heatdiag
