// Recording stand-ins for the frame, the error boxes and the protocol, for the H-Bus tests.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/frame_sink.h"
#include "base/messages.h"
#include "base/protocol.h"
#include "drivers/diag_store.h"

namespace heatdiag::testing {

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

  // Also receive the store's notifications (UM_DATAREADY among them).
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
    std::lock_guard lock(mutex_);
    protocol_.emplace_back(kind, std::string(text));
  }

  std::vector<std::string> Errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
  }
  std::vector<std::pair<int, std::string>> Protocol() const {
    std::lock_guard lock(mutex_);
    return protocol_;
  }
  // Protocol texts of one kind.
  std::vector<std::string> ProtocolTexts(int kind) const {
    std::vector<std::string> texts;
    for (const auto& [k, text] : Protocol())
      if (k == kind) texts.push_back(text);
    return texts;
  }
  // Telegrams sent whose text starts with the prefix ("Tx: F4 04 56 02").
  std::size_t CountSent(std::string_view prefix) const {
    std::size_t count = 0;
    for (const auto& text : ProtocolTexts(kProtocolSent))
      if (text.compare(0, prefix.size(), prefix) == 0) ++count;
    return count;
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
