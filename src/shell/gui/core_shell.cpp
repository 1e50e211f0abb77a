#include "shell/gui/core_shell.h"

#include "drivers/device_search.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"

namespace heatdiag {

std::uint32_t CoreShell::SelectedDevice() const {
  return heatdiag::SelectedDevice();
}

void CoreShell::SelectDevice(std::uint32_t index) {
  heatdiag::SelectDevice(index);
}

std::string CoreShell::DeviceName(std::uint32_t index) const {
  return heatdiag::DeviceName(index);
}

bool CoreShell::SessionActive() const {
  return SelectedSessionActive();
}

bool CoreShell::StoreDataValid() const {
  return StoreIsDataValid();
}

bool CoreShell::SearchRunning() const {
  return IsSearchRunning();
}

int CoreShell::FunctionAvailable(std::uint32_t function) const {
  const DeviceDriver* driver = SelectedDriver();
  return driver != nullptr && driver->IsFunctionAvailable != nullptr
             ? driver->IsFunctionAvailable(function)
             : 0;
}

std::uint32_t CoreShell::OperatingMode() const {
  const DeviceDriver* driver = SelectedDriver();
  return driver != nullptr && driver->GetOperatingMode != nullptr ? driver->GetOperatingMode() : 0;
}

void CoreShell::SetOperatingMode(std::uint32_t mode) {
  const DeviceDriver* driver = SelectedDriver();
  if (driver != nullptr && driver->SetOperatingMode != nullptr) driver->SetOperatingMode(mode);
}

void CoreShell::ClearFaults() {
  const DeviceDriver* driver = SelectedDriver();
  if (driver != nullptr && driver->ClearFaults != nullptr) driver->ClearFaults();
}

int CoreShell::RunOwnComponentTest() {
  const DeviceDriver* driver = SelectedDriver();
  return driver != nullptr && driver->RunOwnComponentTest != nullptr ? driver->RunOwnComponentTest()
                                                                     : 0;
}

void CoreShell::StartDiagnosis() {
  heatdiag::StartDiagnosis();
}

void CoreShell::FinishDiagnosis() {
  heatdiag::FinishDiagnosis();
}

void CoreShell::StartAutomaticSearch() {
  heatdiag::StartAutomaticSearch(searchWindow_);
}

void CoreShell::CancelSearch() {
  heatdiag::CancelSearch();
}

void CoreShell::ResetTemporaryStorage() {
  if (resetStorage_) resetStorage_();
}

void CoreShell::Subscribe(MessageTarget* target, std::uint32_t mask, std::intptr_t user) {
  StoreSubscribe(target, mask, user);
}

void CoreShell::Unsubscribe(MessageTarget* target) {
  StoreUnsubscribe(target);
}

}  // namespace heatdiag
