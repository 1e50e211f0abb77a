// What the frame asks of the core: the selected device and its driver, the diagnosis start and
// finish, the automatic search and the store. The desktop program uses CoreShell, which calls
// the core modules; tests put a fake in its place.
//
// Every call that goes through the driver table is made only when a device is selected; the
// implementations check it again, so that a command arriving by accelerator while its menu item
// would be greyed does nothing.
#pragma once

#include <cstdint>
#include <string>

#include "base/messages.h"

namespace heatdiag {

class ShellCore {
 public:
  virtual ~ShellCore() = default;

  // The selected device: 0..18, 19 = none.
  virtual std::uint32_t SelectedDevice() const = 0;
  virtual void SelectDevice(std::uint32_t index) = 0;
  // The display name of a device index; empty for 19 or more.
  virtual std::string DeviceName(std::uint32_t index) const = 0;

  virtual bool SessionActive() const = 0;
  virtual bool StoreDataValid() const = 0;
  virtual bool SearchRunning() const = 0;
  virtual int FunctionAvailable(std::uint32_t function) const = 0;
  virtual std::uint32_t OperatingMode() const = 0;

  virtual void SetOperatingMode(std::uint32_t mode) = 0;
  virtual void ClearFaults() = 0;
  virtual int RunOwnComponentTest() = 0;

  virtual void StartDiagnosis() = 0;
  virtual void FinishDiagnosis() = 0;
  // Starts the search thread (the question box has been answered with OK).
  virtual void StartAutomaticSearch() = 0;
  virtual void CancelSearch() = 0;
  // Empties the temporary dataset storage (a new device was chosen).
  virtual void ResetTemporaryStorage() = 0;

  // Store notifications to the frame (mask 0: only those sent to every subscriber).
  virtual void Subscribe(MessageTarget* target, std::uint32_t mask, std::intptr_t user) = 0;
  virtual void Unsubscribe(MessageTarget* target) = 0;
};

}  // namespace heatdiag
