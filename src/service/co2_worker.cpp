#include "service/co2_worker.h"

#include "base/frame_sink.h"
#include "base/messages.h"
#include "drivers/device_table.h"
#include "service/service_texts.h"
#include "service/thread_prompt.h"

namespace heatdiag::service {
namespace {

std::atomic<std::uint32_t> g_command{kCo2Idle};

constexpr int kStopPolls = 100;
constexpr std::chrono::milliseconds kStopPoll{10};

bool IsAdjustCommand(std::uint32_t command) {
  return command == kCo2Normal || command == kCo2Cold;
}

}  // namespace

std::uint32_t Co2Command() {
  return g_command.load();
}

void SetCo2Command(std::uint32_t command) {
  g_command.store(command);
}

void ToggleCo2Command(std::uint32_t command) {
  std::uint32_t current = g_command.load();
  while (!g_command.compare_exchange_weak(current, current == command ? kCo2Idle : command)) {
  }
}

struct Co2Worker::Shared {
  Hooks hooks;
  std::chrono::milliseconds poll;
  Co2Request request;
  std::atomic<bool> quit{false};
  std::atomic<bool> ended{false};
  std::atomic<bool> adjusting{false};

  void Refused() {
    if (hooks.refused)
      hooks.refused();
    else
      PromptUserById(kTextAttention, kTextCo2NotPossible, PromptButtons::kOk,
                     PromptIcon::kExclamation);
  }

  void OpenDialog() {
    if (hooks.openDialog)
      hooks.openDialog(&request);
    else
      PostToFrame(UM_OPENCO2DIALOG, reinterpret_cast<std::intptr_t>(&request));
  }

  // One adjustment, from the command to its end.
  void Adjust(std::uint32_t command) {
    request.value = 0;
    request.mode = 0;
    request.changed = 0;
    request.abort = 0;
    request.closed = 0;
    request.accepted = 0;
    request.failed = 0;
    const DeviceDriver* driver = SelectedDriver();
    if (driver == nullptr) {
      SetCo2Command(kCo2Idle);
      return;
    }
    adjusting = true;
    bool started = false;
    if (command == kCo2Normal) {
      started = driver->StartCo2Adjustment() != 0;
      if (started) request.mode = 1;
    } else {
      started = driver->StartCo2AdjustmentCold() != 0;
    }
    if (!started) {
      driver->EndCo2Adjustment();
      adjusting = false;
      SetCo2Command(kCo2Idle);
      Refused();
      return;
    }
    std::uint8_t lowest = 0;
    std::uint8_t highest = 0;
    std::uint8_t current = 0;
    driver->GetCo2Range(&lowest, &highest, &current);
    request.lowest = lowest;
    request.highest = highest;
    request.value = current;
    OpenDialog();
    request.changed = 1;  // the current value is sent once at the start
    bool sendFailed = false;
    // Once the program stops, nobody may be left to close the dialog: the adjustment ends
    // without waiting for it.
    while (request.closed.load() == 0 && !quit.load()) {
      if (!IsAdjustCommand(Co2Command())) request.abort = 1;
      const DeviceDriver* selected = SelectedDriver();
      if (selected != nullptr && selected->IsSessionActive() != 0 && request.abort.load() == 0) {
        if (request.changed.exchange(0) != 0) {
          if (selected->SetCo2Value(request.value.load()) != 0) {
            request.accepted.fetch_add(1);
          } else {
            sendFailed = true;
            request.failed = 1;
            request.abort = 1;
          }
        }
      } else {
        request.abort = 1;
      }
      std::this_thread::sleep_for(poll);
    }
    if (quit.load()) request.abort = 1;
    if (sendFailed) Refused();
    if (const DeviceDriver* selected = SelectedDriver()) selected->EndCo2Adjustment();
    adjusting = false;
    SetCo2Command(kCo2Idle);
  }

  void Run() {
    while (!quit.load()) {
      const std::uint32_t command = Co2Command();
      if (IsAdjustCommand(command))
        Adjust(command);
      else
        std::this_thread::sleep_for(poll);
    }
    ended = true;
  }
};

Co2Worker::Co2Worker(Hooks hooks, std::chrono::milliseconds poll)
    : shared_(std::make_shared<Shared>()) {
  shared_->hooks = std::move(hooks);
  shared_->poll = poll;
}

Co2Worker::~Co2Worker() {
  Stop();
}

void Co2Worker::Start() {
  if (thread_.joinable()) return;
  shared_->quit = false;
  shared_->ended = false;
  thread_ = std::thread([shared = shared_] { shared->Run(); });
}

void Co2Worker::Stop() {
  if (!thread_.joinable()) return;
  shared_->quit = true;
  for (int polls = 0; polls <= kStopPolls && !shared_->ended.load(); ++polls)
    std::this_thread::sleep_for(kStopPoll);
  if (shared_->ended.load())
    thread_.join();
  else
    thread_.detach();  // it keeps the shared state alive until it ends
}

bool Co2Worker::Ended() const {
  return shared_->ended.load();
}

bool Co2Worker::Adjusting() const {
  return shared_->adjusting.load();
}

}  // namespace heatdiag::service
