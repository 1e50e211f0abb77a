// The CO2 adjustment: the menu sets the CO2 command, the Co2Worker thread starts the adjustment
// with the selected driver, hands the shared request to the adjustment dialog and sends every new
// value the dialog marks until the dialog is closed; then it ends the adjustment. The adjustment
// ends on every path: the menu chosen again, the dialog closed, a value refused, the session
// lost, the program stopping.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace heatdiag::service {

// Shared by the worker and the dialog. Each word is written by one side only, except changed,
// which the dialog sets and the worker clears (a change that falls between the worker's read and
// its clear is sent with the next one).
struct Co2Request {
  std::atomic<std::uint8_t> value{0};
  std::atomic<std::uint8_t> lowest{0};
  std::atomic<std::uint8_t> highest{0};
  std::atomic<std::uint32_t> mode{0};  // 0 the cold adjustment, otherwise the normal one
  std::atomic<std::uint32_t> changed{0};
  std::atomic<std::uint32_t> abort{0};   // worker -> dialog: close now
  std::atomic<std::uint32_t> closed{0};  // dialog -> worker: the dialog has ended
  // Worker -> front end: values the unit accepted so far, and whether one was refused.
  std::atomic<std::uint32_t> accepted{0};
  std::atomic<std::uint32_t> failed{0};
};

enum Co2CommandValue : std::uint32_t { kCo2Idle = 0, kCo2Normal = 1, kCo2Cold = 2 };

// The CO2 command of the menu (any thread).
std::uint32_t Co2Command();
void SetCo2Command(std::uint32_t command);
// The menu item: the command becomes `command`, or 0 when it is `command` already.
void ToggleCo2Command(std::uint32_t command);

class Co2Worker {
 public:
  struct Hooks {
    // The adjustment has started: open the dialog for the request (on the worker's thread;
    // post to the GUI). Empty: UM_OPENCO2DIALOG is posted to the frame.
    std::function<void(Co2Request*)> openDialog;
    // Start refused or value not accepted. Empty: the "not possible" box through the frame.
    std::function<void()> refused;
  };

  explicit Co2Worker(Hooks hooks = {},
                     std::chrono::milliseconds poll = std::chrono::milliseconds(50));
  // Stop().
  ~Co2Worker();
  Co2Worker(const Co2Worker&) = delete;
  Co2Worker& operator=(const Co2Worker&) = delete;

  void Start();
  // Sets quit and waits for the thread, polling every 10 ms at most 100 times; a thread that
  // has not ended by then is left to end on its own. The request stays valid until it has.
  void Stop();
  bool Ended() const;
  // An adjustment runs (from its start until the driver was told to end it).
  bool Adjusting() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace heatdiag::service
