#include "drivers/device_search.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "base/protocol.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"

namespace heatdiag {
namespace {

class SearchThread {
 public:
  ~SearchThread() { Stop(); }

  bool Start(SearchWindow& window, std::chrono::milliseconds spacing) {
    std::lock_guard control(control_);
    if (running_.load()) return false;
    // The previous search has ended by itself: collect its thread.
    if (thread_.joinable()) thread_.join();
    {
      std::lock_guard lock(mutex_);
      cancel_ = false;
    }
    running_.store(true);
    thread_ = std::thread([this, &window, spacing] { Run(window, spacing); });
    return true;
  }

  void Cancel() {
    std::lock_guard lock(mutex_);
    cancel_ = true;
    wake_.notify_all();
  }

  void Stop() {
    std::lock_guard control(control_);
    if (running_.load()) Cancel();
    if (thread_.joinable()) thread_.join();
  }

  void Wait() {
    std::lock_guard control(control_);
    if (thread_.joinable()) thread_.join();
  }

  bool Running() const { return running_.load(); }

 private:
  bool Cancelled() {
    std::lock_guard lock(mutex_);
    return cancel_;
  }

  // Waits out the pause after a probe; a cancel cuts it short.
  void Pause(std::chrono::milliseconds spacing) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, spacing, [this] { return cancel_; });
  }

  void Run(SearchWindow& window, std::chrono::milliseconds spacing) {
    window.Open();
    const std::vector<std::uint32_t> order = SearchOrder();
    const auto total = static_cast<std::uint32_t>(DeviceTable().size());
    // Records that are never probed count as handled from the start.
    auto handled = static_cast<std::uint32_t>(total - order.size());
    bool identified = false;
    bool cancelled = false;
    for (std::uint32_t index : order) {
      if (Cancelled()) {
        cancelled = true;
        break;
      }
      ++handled;
      const std::string name = DeviceName(index);
      window.ShowUnit(name, total - handled);
      ProtocolAdd(name, kProtocolMessage);
      const DeviceDriver* record = DeviceRecord(index);
      if (record != nullptr && record->ProbeDevice() != 0) {
        window.RefreshCommands();
        SelectDevice(index);
        window.SelectedDeviceChanged();
        StartDiagnosis();
        identified = true;
        break;
      }
      Pause(spacing);
    }
    if (!identified && !cancelled) window.RefreshCommands();
    window.Close();
    running_.store(false);
  }

  std::mutex control_;  // one Start, Stop or Wait at a time
  std::mutex mutex_;    // guards cancel_
  std::condition_variable wake_;
  bool cancel_ = false;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

SearchThread& Search() {
  // Joined at the latest when the program's statics are destroyed.
  static SearchThread search;
  return search;
}

}  // namespace

void PrintingSearchWindow::Open() {
  std::fputs("Automatic control unit search\n", out_);
  std::fflush(out_);
}

void PrintingSearchWindow::ShowUnit(std::string_view name, std::uint32_t remaining) {
  std::fprintf(out_, "actual control unit: %.*s\nremaining units: %u\n",
               static_cast<int>(name.size()), name.data(), remaining);
  std::fflush(out_);
}

void PrintingSearchWindow::Close() {
  std::fflush(out_);
}

std::vector<std::uint32_t> SearchOrder() {
  const auto table = DeviceTable();
  std::vector<std::uint32_t> order;
  for (std::uint32_t i = 0; i < table.size(); ++i)
    if (table[i].deviceCode != 0) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return table[a].deviceCode < table[b].deviceCode;
  });
  return order;
}

bool IsSearchRunning() {
  return Search().Running();
}

bool StartAutomaticSearch(SearchWindow& window, std::chrono::milliseconds spacing) {
  return Search().Start(window, spacing);
}

void CancelSearch() {
  if (Search().Running()) Search().Cancel();
}

void StopAutomaticSearch() {
  Search().Stop();
}

void WaitForSearchEnd() {
  Search().Wait();
}

int DeviceSelectionResult(SelectionButton button, int listSelection) {
  switch (button) {
    case SelectionButton::kOk:
    case SelectionButton::kListDoubleClick:
      // Nothing selected reads as -1, which is the request for the automatic search.
      return listSelection >= 0 && listSelection < static_cast<int>(kDeviceCount)
                 ? listSelection
                 : kSelectionAutomaticSearch;
    case SelectionButton::kCancel:
      return kSelectionNoChange;
    case SelectionButton::kAutomaticSearch:
      return kSelectionAutomaticSearch;
  }
  return kSelectionNoChange;
}

DeviceSelectionPlan PlanDeviceSelection(int result, std::uint32_t selectedDevice,
                                        bool sessionActive) {
  DeviceSelectionPlan plan;
  if (result == kSelectionAutomaticSearch) {
    plan.emptyTemporaryStorage = true;
    plan.finishDiagnosis = sessionActive;
    plan.startSearch = true;
    return plan;
  }
  // Cancel, or anything that names no record: the dialog changed nothing, and the dataset in
  // temporary storage stays.
  if (result < 0 || result >= static_cast<int>(kDeviceCount)) return plan;
  const auto device = static_cast<std::uint32_t>(result);
  if (device == selectedDevice && sessionActive) return plan;
  plan.emptyTemporaryStorage = true;
  plan.finishDiagnosis = sessionActive;
  plan.select = device;
  return plan;
}

}  // namespace heatdiag
