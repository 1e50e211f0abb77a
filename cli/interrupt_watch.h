// Ctrl-C during a command-line run. While a watch exists, SIGINT and SIGTERM are caught: the
// first one calls the watch's handler on a thread of the watch's own, where it may take locks
// and write; a second one ends the program at once, as it would without the watch.
#pragma once

#include <signal.h>

#include <functional>
#include <thread>

namespace heatdiag::cli {

class InterruptWatch {
 public:
  // One watch at a time. When the signal pipe cannot be made, nothing is caught.
  explicit InterruptWatch(std::function<void()> onInterrupt);
  // Puts back the signal handling that was there before and stops the thread.
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  void Watch();

  std::function<void()> onInterrupt_;
  bool installed_ = false;
  struct sigaction previousInt_ {};
  struct sigaction previousTerm_ {};
  std::thread thread_;
};

}  // namespace heatdiag::cli
