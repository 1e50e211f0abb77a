// A bounds-checked view of one received H-Bus telegram.
//
// Byte 0 is the header, byte 1 the length L (the bytes after it: command, data, checksum),
// byte 2 the command (request command | 0x80, or 0x7F for a NAK), then the data, the checksum
// last. Handlers check DataLength() before they decode; a read beyond the telegram yields 0
// instead of touching memory that is not part of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/hbus_frame.h"

namespace heatdiag::hbus {

class ReplyView {
 public:
  ReplyView() = default;
  explicit ReplyView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // Byte i of the telegram, 0 when the telegram is shorter.
  std::uint8_t ByteAt(std::size_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
  // Big-endian 16-bit value at bytes i and i + 1, 0 when either lies outside.
  std::uint16_t Word16At(std::size_t i) const {
    if (i + 1 >= bytes_.size()) return 0;
    return static_cast<std::uint16_t>((bytes_[i] << 8) | bytes_[i + 1]);
  }
  // Whether bytes i .. i + count - 1 all lie inside the telegram.
  bool Has(std::size_t i, std::size_t count) const { return i + count <= bytes_.size(); }

  // Number of bytes received.
  std::size_t Size() const { return bytes_.size(); }
  // The length byte L.
  std::size_t Length() const { return ByteAt(1); }
  // L - 2: the data bytes between the command and the checksum (index byte included). A telegram
  // too short to hold its own length reads as -1, which no handler accepts.
  int DataLength() const {
    if (bytes_.size() < 2 || bytes_.size() < Length() + 2u) return -1;
    return static_cast<int>(Length()) - 2;
  }
  std::uint8_t Command() const { return ByteAt(2); }
  bool IsNak() const { return Size() >= 4 && Command() == kNakCommand; }
  bool Answers(std::uint8_t requestCommand) const {
    return Size() >= 3 && Command() == static_cast<std::uint8_t>(requestCommand | 0x80);
  }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace heatdiag::hbus
