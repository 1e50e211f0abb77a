#include "hbus_unit.h"

#include <algorithm>

namespace heatsim {

HBusUnit::HBusUnit(const Scenario& scenario, Clock clock) : unit_(scenario, std::move(clock)) {}

std::optional<Bytes> HBusUnit::Feed(std::uint8_t byte, TimePoint at) {
  return reader_.Feed(byte, at);
}

std::optional<TimePoint> HBusUnit::Deadline() const {
  std::optional<TimePoint> next = reader_.Deadline();
  if (readerInBlockMode_) {
    const TimePoint idle = lastBlockActivity_ + kBlockIdle;
    next = next ? std::min(*next, idle) : idle;
  }
  return next;
}

std::optional<RequestInfo> HBusUnit::Check(std::span<const std::uint8_t> frame,
                                           std::string* why) const {
  const bool block = unit_.BlockMode();
  if (Xor(frame) != 0) {
    *why = "dropped: checksum";
    return std::nullopt;
  }
  if (!block && (frame[0] & 0x0F) != 0x4) {
    *why = "not for the unit:";
    return std::nullopt;
  }
  RequestInfo r;
  r.block = block;
  r.command = block ? frame[0] : frame[2];
  if (block && frame.size() >= 3) r.index = frame[1];
  if (!block && frame.size() >= 5) r.index = frame[3];
  return r;
}

Answer HBusUnit::Respond(std::span<const std::uint8_t> frame, TimePoint at) {
  const bool block = unit_.BlockMode();
  if (block) lastBlockActivity_ = at;
  Answer answer = block ? unit_.OnBlockFrame(frame) : unit_.OnTelegram(frame);
  SyncFraming(at);
  return answer;
}

Bytes HBusUnit::Refuse(std::span<const std::uint8_t> frame, std::uint8_t code) const {
  return unit_.Nak(frame[0], code);
}

void HBusUnit::CorruptEcho(std::span<std::uint8_t> echo) const {
  if (echo.empty()) return;
  // Changing a data byte together with the checksum keeps the echo a well-formed telegram that
  // differs from the request.
  echo.back() ^= 0x01;
  if (echo.size() >= 3) echo[echo.size() - 2] ^= 0x01;
}

std::string HBusUnit::OnTimer(TimePoint now) {
  if (!readerInBlockMode_ || now - lastBlockActivity_ < kBlockIdle) return {};
  unit_.LeaveBlockMode();
  SyncFraming(now);
  return "-- block mode ended: no frame for 2 s";
}

void HBusUnit::SyncFraming(TimePoint at) {
  const bool block = unit_.BlockMode();
  if (block == readerInBlockMode_) return;
  readerInBlockMode_ = block;
  if (block) {
    ControlUnit* u = &unit_;
    reader_.SetBlockMode([u](std::uint8_t first) { return u->BlockFrameRest(first); });
    lastBlockActivity_ = at;
  } else {
    reader_.SetHBusMode();
  }
}

}  // namespace heatsim
