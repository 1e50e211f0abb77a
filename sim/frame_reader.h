// Cuts the bytes the tester sends into requests, the way the unit's receiver does: H-Bus
// telegrams by their length byte, block frames by their first byte. A frame must come without
// a pause; a pause of kFrameGap ends whatever was begun, and after a byte that cannot start a
// frame the receiver waits for such a pause before it listens again. The tester keeps the bus
// quiet for 40 ms before every request, so a request always starts clean.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "scenario.h"

namespace heatsim {

class FrameReader {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::milliseconds kFrameGap{30};

  // In block mode `blockRest` tells how many bytes follow a frame's first byte (0: none can).
  void SetBlockMode(std::function<std::size_t(std::uint8_t)> blockRest);
  void SetHBusMode();

  // Takes one byte received at `at`; returns the frame it completes.
  std::optional<Bytes> Feed(std::uint8_t byte, TimePoint at);
  // Gives up a begun frame once the pause after its last byte has reached kFrameGap.
  bool Expire(TimePoint now);

  bool Partial() const { return !frame_.empty(); }
  std::optional<TimePoint> Deadline() const;
  std::uint64_t Dropped() const { return dropped_; }
  std::string_view LastDrop() const { return lastDrop_; }

 private:
  void Drop(std::string_view why, bool skip);

  std::function<std::size_t(std::uint8_t)> blockRest_;
  Bytes frame_;
  std::size_t expected_ = 0;  // total length once known
  bool skipping_ = false;
  bool haveLast_ = false;
  TimePoint last_{};
  std::uint64_t dropped_ = 0;
  std::string_view lastDrop_;
};

}  // namespace heatsim
