// The H-Bus control unit on the line: H-Bus telegrams at 2400 baud 8E1, block-mode frames at
// the block rate after a switch, and the return to H-Bus framing when a block-mode line has
// gone quiet.
#pragma once

#include "control_unit.h"
#include "frame_reader.h"
#include "line_unit.h"

namespace heatsim {

class HBusUnit : public LineUnit {
 public:
  // A unit left in block mode without a frame for this long returns to H-Bus framing, so that
  // a tester that lost the link can wake it again.
  static constexpr std::chrono::milliseconds kBlockIdle{2000};

  HBusUnit(const Scenario& scenario, Clock clock);

  std::optional<Bytes> Feed(std::uint8_t byte, TimePoint at) override;
  bool Expire(TimePoint now) override { return reader_.Expire(now); }
  bool Partial() const override { return reader_.Partial(); }
  std::optional<TimePoint> Deadline() const override;
  std::uint64_t Dropped() const override { return reader_.Dropped(); }
  std::string_view LastDrop() const override { return reader_.LastDrop(); }

  std::optional<RequestInfo> Check(std::span<const std::uint8_t> frame,
                                   std::string* why) const override;
  Answer Respond(std::span<const std::uint8_t> frame, TimePoint at) override;
  Bytes Refuse(std::span<const std::uint8_t> frame, std::uint8_t code) const override;
  void CorruptEcho(std::span<std::uint8_t> echo) const override;
  std::string OnTimer(TimePoint now) override;

  int Rate() const override { return unit_.Rate(); }
  int BitsPerByte() const override { return 11; }  // start, 8 data, even parity, stop

  std::string_view Device() const override { return "D00"; }
  Bytes Eeprom() const override { return unit_.Eeprom(); }
  std::uint8_t OperatingMode() override { return unit_.Mode(); }
  std::uint8_t StateCode() override { return unit_.StateCode(); }
  std::size_t StoredFaultCount() const override { return unit_.FaultCount(); }

 private:
  void SyncFraming(TimePoint at);

  ControlUnit unit_;
  FrameReader reader_;
  bool readerInBlockMode_ = false;
  TimePoint lastBlockActivity_{};
};

}  // namespace heatsim
