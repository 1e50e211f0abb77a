// The frame's view of the core: the device table, the diagnosis start and finish, the automatic
// search and the store.
#pragma once

#include <functional>

#include "shell/gui/shell_core.h"

namespace heatdiag {

class SearchWindow;

class CoreShell final : public ShellCore {
 public:
  // The search window the automatic search reports to; it must outlive any search.
  explicit CoreShell(SearchWindow& searchWindow) : searchWindow_(searchWindow) {}

  std::uint32_t SelectedDevice() const override;
  void SelectDevice(std::uint32_t index) override;
  std::string DeviceName(std::uint32_t index) const override;
  bool SessionActive() const override;
  bool StoreDataValid() const override;
  bool SearchRunning() const override;
  int FunctionAvailable(std::uint32_t function) const override;
  std::uint32_t OperatingMode() const override;
  void SetOperatingMode(std::uint32_t mode) override;
  void ClearFaults() override;
  int RunOwnComponentTest() override;
  void StartDiagnosis() override;
  void FinishDiagnosis() override;
  void StartAutomaticSearch() override;
  void CancelSearch() override;
  void ResetTemporaryStorage() override;
  // What empties the temporary dataset storage (the dataset module's worker).
  void SetTemporaryStorageReset(std::function<void()> reset) { resetStorage_ = std::move(reset); }
  void Subscribe(MessageTarget* target, std::uint32_t mask, std::intptr_t user) override;
  void Unsubscribe(MessageTarget* target) override;

 private:
  SearchWindow& searchWindow_;
  std::function<void()> resetStorage_;
};

}  // namespace heatdiag
