// Ctrl-C and SIGTERM during a run: the first one reaches the run's handler once, on a thread
// where it may lock; the next one would end the program; afterwards the signal handling is what
// it was before.
#include "cli/interrupt_watch.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>

#include "cli/cli_test_support.h"

namespace heatdiag::cli {
namespace {

volatile std::sig_atomic_t g_ownHandlerCalls = 0;
extern "C" void OwnHandler(int) {
  g_ownHandlerCalls = g_ownHandlerCalls + 1;
}

void (*Disposition(int signal))(int) {
  struct sigaction now {};
  sigaction(signal, nullptr, &now);
  return now.sa_handler;
}

TEST(InterruptWatch, FirstSignalReachesTheRunThenEverythingIsPutBack) {
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    // A handler of the test's own stands for whatever the program had before the run.
    struct sigaction own {};
    own.sa_handler = OwnHandler;
    sigemptyset(&own.sa_mask);
    struct sigaction original {};
    ASSERT_EQ(sigaction(signal, &own, &original), 0);
    g_ownHandlerCalls = 0;
    const int threadsBefore = testing::ThreadCount();
    {
      std::mutex mutex;
      std::condition_variable called;
      int calls = 0;
      InterruptWatch watch([&] {
        std::lock_guard lock(mutex);
        ++calls;
        called.notify_all();
      });
      ASSERT_EQ(kill(getpid(), signal), 0);
      std::unique_lock lock(mutex);
      EXPECT_TRUE(called.wait_for(lock, std::chrono::seconds(10), [&] { return calls > 0; }));
      EXPECT_EQ(calls, 1);
      // A second signal would end the program at once.
      EXPECT_EQ(Disposition(signal), SIG_DFL);
    }
    EXPECT_EQ(Disposition(signal), &OwnHandler);
    EXPECT_EQ(g_ownHandlerCalls, 0);
    EXPECT_EQ(testing::ThreadCount(), threadsBefore);
    sigaction(signal, &original, nullptr);
  }
}

}  // namespace
}  // namespace heatdiag::cli
