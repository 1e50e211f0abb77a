// Recording stand-ins for the protocol and the error boxes, safe to feed from the link's threads.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/frame_sink.h"
#include "base/protocol.h"

namespace heatdiag::linktest {

struct Entry {
  int kind;
  std::string text;
  bool operator==(const Entry&) const = default;
};

class RecordingProtocol : public ProtocolSink {
 public:
  RecordingProtocol() { SetProtocolSink(this); }
  ~RecordingProtocol() override { SetProtocolSink(nullptr); }
  void Add(std::string_view text, int kind) override {
    std::lock_guard lock(mutex_);
    entries_.push_back({kind, std::string(text)});
  }
  std::vector<Entry> Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  // The texts of the entries of one kind, in order.
  std::vector<std::string> Texts(int kind) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : entries_)
      if (e.kind == kind) out.push_back(e.text);
    return out;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

class RecordingBoxes : public ErrorBoxPresenter {
 public:
  RecordingBoxes() { SetErrorBoxPresenter(this); }
  ~RecordingBoxes() override { SetErrorBoxPresenter(nullptr); }
  void ShowError(std::string_view caption, std::string_view text) override {
    std::lock_guard lock(mutex_);
    shown_.emplace_back(caption, text);
  }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& box : shown_) out.push_back(box.second);
    return out;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> shown_;
};

}  // namespace heatdiag::linktest
