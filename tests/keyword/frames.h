// Keyword-link frames for the D06 tests, written as hex text, and recording stand-ins for the
// frame, the error boxes and the protocol.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/frame_sink.h"
#include "base/messages.h"
#include "base/protocol.h"
#include "drivers/diag_store.h"

namespace heatdiag::testing {

using Bytes = std::vector<std::uint8_t>;

// "C1 E9 8F" -> {0xC1, 0xE9, 0x8F}
inline Bytes Hex(std::string_view text) {
  Bytes bytes;
  std::istringstream in{std::string(text)};
  std::string token;
  while (in >> token) bytes.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
  return bytes;
}

// An answer of the unit to the tester: format byte 0x80 + n, target 0xF1, source 0x51, the
// data given, checksum.
inline Bytes Answer(std::string_view data) {
  const Bytes content = Hex(data);
  Bytes frame;
  frame.reserve(content.size() + 4);
  frame.push_back(static_cast<std::uint8_t>(0x80 + content.size()));
  frame.push_back(0xF1);
  frame.push_back(0x51);
  for (std::uint8_t b : content) frame.push_back(b);
  std::uint8_t sum = 0;
  for (std::uint8_t b : frame) sum = static_cast<std::uint8_t>(sum + b);
  frame.push_back(sum);
  return frame;
}

class Recorders : public MessageTarget, public ErrorBoxPresenter, public ProtocolSink {
 public:
  Recorders() {
    SetFrameTarget(this);
    SetErrorBoxPresenter(this);
    SetProtocolSink(this);
  }
  ~Recorders() override {
    StoreUnsubscribe(this);
    SetProtocolSink(nullptr);
    SetErrorBoxPresenter(nullptr);
    SetFrameTarget(nullptr);
  }
  Recorders(const Recorders&) = delete;
  Recorders& operator=(const Recorders&) = delete;

  void SubscribeToStore() { StoreSubscribe(this, 0xFFFFFFFFu, 0); }

  void Post(std::uint32_t message, std::intptr_t, std::intptr_t) override {
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(message);
    }
    changed_.notify_all();
  }
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    Post(message, a, b);
  }
  void ShowError(std::string_view, std::string_view text) override {
    {
      std::lock_guard lock(mutex_);
      errors_.emplace_back(text);
    }
    changed_.notify_all();
  }
  void Add(std::string_view text, int kind) override {
    {
      std::lock_guard lock(mutex_);
      protocol_.emplace_back(kind, std::string(text));
    }
    changed_.notify_all();
  }

  std::vector<std::string> Errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
  }
  std::vector<std::string> ProtocolTexts(int kind) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& [k, text] : protocol_)
      if (k == kind) texts.push_back(text);
    return texts;
  }
  std::size_t CountMessages(std::uint32_t message) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count(messages_.begin(), messages_.end(), message));
  }
  bool WaitForMessage(std::uint32_t message, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
      return std::find(messages_.begin(), messages_.end(), message) != messages_.end();
    });
  }
  // Waits until `count` error boxes have been shown.
  bool WaitForErrors(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return errors_.size() >= count; });
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    errors_.clear();
    protocol_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint32_t> messages_;
  std::vector<std::string> errors_;
  std::vector<std::pair<int, std::string>> protocol_;
};

}  // namespace heatdiag::testing
