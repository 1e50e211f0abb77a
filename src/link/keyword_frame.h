// The keyword framing of the diagnosis line (ISO 14230), free of any I/O.
//
// Frame (both directions): [format 0x80 + n][target][source][data: n bytes, service first]
// [checksum]; n is 1..32, the checksum the sum of all bytes before it modulo 256. A positive
// reply carries the request's service | 0x40 in byte 3; a negative one 0x7F in byte 3, the
// refused service in byte 4 and the reason code in byte 5 (the reason table of the H-Bus NAK).
// The addresses of a reply are not checked.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/framing.h"
#include "link/serial_port.h"

namespace heatdiag {

inline constexpr std::uint8_t kKeywordFormatBase = 0x80;
inline constexpr std::uint8_t kKeywordMinData = 1;
inline constexpr std::uint8_t kKeywordMaxData = 32;
inline constexpr std::uint8_t kKeywordPositiveBit = 0x40;
inline constexpr std::uint8_t kKeywordNak = 0x7F;
// Format, target, source and checksum around the data.
inline constexpr std::size_t kKeywordOverhead = 4;
inline constexpr std::size_t kKeywordMaxFrame = kKeywordMaxData + kKeywordOverhead;
// The start communication request and the tester's usual source address.
inline constexpr std::uint8_t kKeywordStartService = 0x81;
inline constexpr std::uint8_t kKeywordTesterAddress = 0xF1;

// The sum of the bytes modulo 256: the checksum of what precedes it.
std::uint8_t SumOf(std::span<const std::uint8_t> bytes);

// Writes a request frame into out; returns its size (payload + 4), or 0 when the payload is empty,
// longer than 32 bytes or does not fit into out (nothing is written then).
std::size_t BuildKeywordFrame(std::uint8_t target, std::uint8_t source,
                              std::span<const std::uint8_t> payload, std::span<std::uint8_t> out);

class KeywordFraming final : public Framing {
 public:
  // The addresses that requests carry (D06: target 0x51, source 0xF1).
  explicit KeywordFraming(std::uint8_t target = 0x51, std::uint8_t source = kKeywordTesterAddress)
      : target_(target), source_(source) {}

  // Replaced, for instance, for the time of a free telegram. Only while no request is out.
  void SetAddresses(std::uint8_t target, std::uint8_t source) {
    target_.store(target);
    source_.store(source);
  }
  std::uint8_t Target() const { return target_.load(); }
  std::uint8_t Source() const { return source_.load(); }

  std::size_t MaxPayload() const override { return kKeywordMaxData; }
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
  std::atomic<std::uint8_t> target_;
  std::atomic<std::uint8_t> source_;
};

// The keyword link's timing: 500 ms per attempt, 5 attempts (2 while probing), 30 ms per byte,
// 100 ms per write, 40 ms quiet line before a request.
TransportTiming KeywordTiming();

// Line settings of the keyword link: 10400 baud, 8N1, no handshake, 30 ms per byte, 100 ms per
// write.
PortConfig KeywordLineConfig(std::uint32_t portNumber);

}  // namespace heatdiag
