#include "shell/gui/queued_target.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "gui/qt_app.h"

namespace heatdiag {
namespace {

struct Received {
  std::uint32_t message;
  std::intptr_t a;
  bool onGuiThread;
};

class QueuedTargetTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    target.SetHandler([this](std::uint32_t message, std::intptr_t a, std::intptr_t) {
      received.push_back({message, a, QThread::currentThread() == qApp->thread()});
    });
  }
  // Runs the GUI loop until done() or a generous limit.
  template <typename Done>
  void RunUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < deadline)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }

  QueuedMessageTarget target;
  std::vector<Received> received;
};

TEST_F(QueuedTargetTest, PostsFromWorkersArriveInOrderOnTheGuiThread) {
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([this, w] {
      for (int i = 0; i < 100; ++i)
        target.Post(UM_VALUECHANGED + static_cast<std::uint32_t>(w), i, 0);
    });
  }
  for (auto& worker : workers) worker.join();
  EXPECT_TRUE(received.empty());
  test::DrainEvents();
  ASSERT_EQ(received.size(), 300U);
  std::intptr_t next[3] = {0, 0, 0};
  for (const Received& r : received) {
    EXPECT_TRUE(r.onGuiThread);
    const auto w = r.message - UM_VALUECHANGED;
    ASSERT_LT(w, 3U);
    EXPECT_EQ(r.a, next[w]++);
  }
}

TEST_F(QueuedTargetTest, SendFromAWorkerReturnsAfterTheMessageWasHandled) {
  std::atomic<bool> sent{false};
  std::size_t seenAtReturn = 0;
  std::thread worker([&] {
    target.Send(UM_PROTOCOLSTART, 7, 0);
    seenAtReturn = received.size();  // the GUI thread wrote it before releasing us
    sent = true;
  });
  RunUntil([&] { return sent.load(); });
  worker.join();
  EXPECT_EQ(seenAtReturn, 1U);
  ASSERT_EQ(received.size(), 1U);
  EXPECT_TRUE(received[0].onGuiThread);
}

TEST_F(QueuedTargetTest, SendOnTheGuiThreadIsHandledAtOnce) {
  target.Send(UM_STARTUP, 1, 0);
  ASSERT_EQ(received.size(), 1U);
  EXPECT_EQ(received[0].message, UM_STARTUP);
}

TEST_F(QueuedTargetTest, MessagesForARemovedHandlerAreDropped) {
  target.Post(UM_DATAREADY, 0, 0);
  target.ClearHandler();
  test::DrainEvents();
  EXPECT_TRUE(received.empty());
}

TEST_F(QueuedTargetTest, CloseReleasesWaitingSendersAndDropsTheRest) {
  // Holds back the worker's message: once it has come, the worker is inside its wait for sure.
  struct Swallow : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() != QEvent::MetaCall) return false;
      arrived = true;
      return true;
    }
    bool arrived = false;
  } swallow;
  target.installEventFilter(&swallow);
  std::atomic<bool> sent{false};
  std::thread worker([&] {
    target.Send(UM_PROTOCOLSTART, 0, 0);
    sent = true;
  });
  RunUntil([&] { return swallow.arrived; });
  ASSERT_TRUE(swallow.arrived);
  EXPECT_FALSE(sent);  // its message was not handled, so it still waits
  target.Close();      // without handling anything
  worker.join();
  EXPECT_TRUE(sent);
  target.removeEventFilter(&swallow);
  target.Post(UM_DATAREADY, 0, 0);
  target.Send(UM_DATAREADY, 0, 0);
  test::DrainEvents();
  EXPECT_TRUE(received.empty());
}

}  // namespace
}  // namespace heatdiag
