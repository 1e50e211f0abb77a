// Recording stand-ins for the frame, the error boxes and the protocol.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/frame_sink.h"
#include "base/messages.h"
#include "base/protocol.h"

namespace heatdiag::testing {

struct Message {
  std::uint32_t message;
  std::intptr_t a;
  std::intptr_t b;
  bool operator==(const Message&) const = default;
};

// A window that keeps every message posted to it.
class RecordingTarget : public MessageTarget {
 public:
  void Post(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({message, a, b});
  }
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    Post(message, a, b);
  }
  std::vector<Message> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<Message> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(messages_, {});
  }
  std::size_t Count(std::uint32_t message) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& m : messages_) n += m.message == message ? 1 : 0;
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
};

class RecordingBoxes : public ErrorBoxPresenter {
 public:
  void ShowError(std::string_view /*caption*/, std::string_view text) override {
    std::lock_guard lock(mutex_);
    texts_.emplace_back(text);
  }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
};

class RecordingProtocol : public ProtocolSink {
 public:
  void Add(std::string_view text, int kind) override {
    std::lock_guard lock(mutex_);
    entries_.emplace_back(kind, std::string(text));
  }
  std::size_t Size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<int, std::string>> entries_;
};

// Installs the recorders as frame, error-box presenter and protocol sink for one test.
class FrameRecorders {
 public:
  FrameRecorders() {
    SetFrameTarget(&frame);
    SetErrorBoxPresenter(&boxes);
    SetProtocolSink(&protocol);
  }
  ~FrameRecorders() {
    SetFrameTarget(nullptr);
    SetErrorBoxPresenter(nullptr);
    SetProtocolSink(nullptr);
  }
  FrameRecorders(const FrameRecorders&) = delete;
  FrameRecorders& operator=(const FrameRecorders&) = delete;

  RecordingTarget frame;
  RecordingBoxes boxes;
  RecordingProtocol protocol;
};

}  // namespace heatdiag::testing
