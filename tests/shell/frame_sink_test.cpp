#include "base/frame_sink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/protocol.h"

namespace heatdiag {
namespace {

struct RecordingBoxes : ErrorBoxPresenter {
  std::vector<std::pair<std::string, std::string>> shown;
  void ShowError(std::string_view caption, std::string_view text) override {
    shown.emplace_back(caption, text);
  }
};

struct RecordingProtocol : ProtocolSink {
  std::vector<std::pair<int, std::string>> entries;
  void Add(std::string_view text, int kind) override { entries.emplace_back(kind, text); }
};

TEST(ThreadError, ShowsFormattedTextAndLogsIt) {
  RecordingBoxes boxes;
  RecordingProtocol protocol;
  SetErrorBoxPresenter(&boxes);
  SetProtocolSink(&protocol);
  ShowThreadError(21002);
  ShowThreadError(0);
  ShowThreadError(1);  // unknown id: nothing
  SetErrorBoxPresenter(nullptr);
  SetProtocolSink(nullptr);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].first, "Error!");
  EXPECT_EQ(boxes.shown[0].second, "Attention!");
  ASSERT_EQ(protocol.entries.size(), 1u);
  EXPECT_EQ(protocol.entries[0].first, kProtocolError);
}

// A worker's box waits for the thread that shows boxes; that thread raising a box of its own
// meanwhile must not wait for the worker's box in turn.
TEST(ThreadError, PresenterThreadDoesNotWaitForAWorkersBox) {
  struct GatedBoxes : ErrorBoxPresenter {
    std::thread::id presenterThread = std::this_thread::get_id();
    std::mutex mutex;
    std::condition_variable changed;
    bool workerShowing = false;
    bool presenterDone = false;
    bool workerSawPresenterBox = false;
    void ShowError(std::string_view, std::string_view) override {
      std::unique_lock lock(mutex);
      if (std::this_thread::get_id() == presenterThread) return;
      workerShowing = true;
      changed.notify_all();
      workerSawPresenterBox =
          changed.wait_for(lock, std::chrono::seconds(10), [this] { return presenterDone; });
    }
  } boxes;
  SetErrorBoxPresenter(&boxes);
  std::thread worker([] { ShowThreadError(21002); });
  {
    std::unique_lock lock(boxes.mutex);
    boxes.changed.wait(lock, [&] { return boxes.workerShowing; });
  }
  ShowThreadError(21001);
  {
    std::lock_guard lock(boxes.mutex);
    boxes.presenterDone = true;
  }
  boxes.changed.notify_all();
  worker.join();
  SetErrorBoxPresenter(nullptr);
  EXPECT_TRUE(boxes.workerSawPresenterBox);
}

TEST(ThreadError, FormatsOneArgument) {
  EXPECT_EQ(FormatText("code %s!", "0x99"), "code 0x99!");
  EXPECT_EQ(FormatText("%d fault(s)", 3L), "3 fault(s)");
}

TEST(Protocol, TelegramBytesInHex) {
  RecordingProtocol protocol;
  SetProtocolSink(&protocol);
  const std::uint8_t bytes[] = {0xF4, 0x03, 0x51, 0x0A, 0xAC};
  ProtocolAddTelegram(bytes, sizeof bytes, kProtocolSent);
  ProtocolAddTelegram(bytes, 0, kProtocolReceived);
  SetProtocolSink(nullptr);
  ASSERT_EQ(protocol.entries.size(), 1u);
  EXPECT_EQ(protocol.entries[0].second, "Tx: F4 03 51 0A AC ");
}

}  // namespace
}  // namespace heatdiag
