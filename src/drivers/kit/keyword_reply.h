// A bounds-checked view of one received keyword-link frame.
//
// Byte 0 is the format byte (0x80 + n, n = number of data bytes), bytes 1 and 2 the target and
// source addresses, bytes 3 .. n + 2 the data (the service answer first), the checksum last. A
// positive answer carries the request's service byte | 0x40 in byte 3; a negative one 0x7F, the
// refused service in byte 4 and the reason code in byte 5. A read beyond the frame yields 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace heatdiag::keyword {

inline constexpr std::uint8_t kNegativeAnswer = 0x7F;
inline constexpr std::uint8_t kPositiveBit = 0x40;
inline constexpr std::size_t kFrameOverhead = 4;  // format, target, source, checksum
inline constexpr std::size_t kMaxDataLength = 32;

class ReplyView {
 public:
  ReplyView() = default;
  explicit ReplyView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // Byte i of the frame, 0 when the frame is shorter.
  std::uint8_t ByteAt(std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
  // Big-endian 16-bit value at bytes i and i + 1, 0 when either lies outside.
  std::uint16_t Word16At(std::size_t i) const {
    if (i + 1 >= bytes_.size()) return 0;
    return static_cast<std::uint16_t>((bytes_[i] << 8) | bytes_[i + 1]);
  }
  std::size_t Size() const { return bytes_.size(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

  // n = format byte & 0x7F: the data bytes, service answer included. A frame too short to hold
  // the data its format byte announces reads as -1, which no handler accepts.
  int DataLength() const {
    if (bytes_.empty()) return -1;
    const std::size_t n = bytes_[0] & 0x7Fu;
    if (bytes_.size() < n + kFrameOverhead - 1) return -1;  // the checksum may be cut off
    return static_cast<int>(n);
  }
  // Byte 3: the service answer.
  std::uint8_t Service() const { return ByteAt(3); }
  bool IsNak() const { return DataLength() >= 3 && Service() == kNegativeAnswer; }
  // Of a negative answer: the refused service and the reason code.
  std::uint8_t RefusedService() const { return ByteAt(4); }
  std::uint8_t NakCode() const { return ByteAt(5); }
  // A positive answer to the request service `service`.
  bool Answers(std::uint8_t service) const {
    return DataLength() >= 1 && Service() == static_cast<std::uint8_t>(service | kPositiveBit);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace heatdiag::keyword
