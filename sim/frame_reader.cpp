#include "frame_reader.h"

namespace heatsim {

void FrameReader::SetBlockMode(std::function<std::size_t(std::uint8_t)> blockRest) {
  blockRest_ = std::move(blockRest);
  frame_.clear();
  expected_ = 0;
  skipping_ = false;
}

void FrameReader::SetHBusMode() {
  blockRest_ = nullptr;
  frame_.clear();
  expected_ = 0;
  skipping_ = false;
}

void FrameReader::Drop(std::string_view why, bool skip) {
  frame_.clear();
  expected_ = 0;
  skipping_ = skip;
  ++dropped_;
  lastDrop_ = why;
}

std::optional<Bytes> FrameReader::Feed(std::uint8_t byte, TimePoint at) {
  const bool afterPause = !haveLast_ || at - last_ >= kFrameGap;
  haveLast_ = true;
  last_ = at;
  if (skipping_) {
    if (!afterPause) return std::nullopt;
    skipping_ = false;
  }
  if (!frame_.empty() && afterPause) Drop("incomplete", false);
  frame_.push_back(byte);
  if (blockRest_) {
    if (frame_.size() == 1) {
      const std::size_t rest = blockRest_(byte);
      if (rest == 0) {
        Drop("unknown block frame", true);
        return std::nullopt;
      }
      expected_ = 1 + rest;
    }
  } else if (frame_.size() == 2) {
    if (byte < 2) {
      Drop("invalid length", true);
      return std::nullopt;
    }
    expected_ = 2u + byte;
  }
  if (expected_ != 0 && frame_.size() == expected_) {
    Bytes complete;
    complete.swap(frame_);
    expected_ = 0;
    return complete;
  }
  return std::nullopt;
}

bool FrameReader::Expire(TimePoint now) {
  if (frame_.empty() || now - last_ < kFrameGap) return false;
  Drop("incomplete", false);
  return true;
}

std::optional<FrameReader::TimePoint> FrameReader::Deadline() const {
  if (frame_.empty()) return std::nullopt;
  return last_ + kFrameGap;
}

}  // namespace heatsim
