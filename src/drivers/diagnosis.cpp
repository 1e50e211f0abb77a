#include "drivers/diagnosis.h"

#include <atomic>

#include "base/protocol.h"
#include "base/settings.h"
#include "base/string_table.h"
#include "drivers/device_search.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"

namespace heatdiag {
namespace {

std::atomic<std::uint32_t> g_current{kNoDevice};

}  // namespace

std::string DeviceName(std::uint32_t index, std::size_t maxChars) {
  const DeviceDriver* record = DeviceRecord(index);
  if (record == nullptr) return {};
  return LoadString(record->nameId, maxChars);
}

std::uint32_t CurrentDevice() {
  return g_current.load();
}

int StartDiagnosis() {
  const std::uint32_t device = SelectedDevice();
  const DeviceDriver* record = DeviceRecord(device);
  if (record == nullptr) return 0;
  // A session whose link ended before the frame finished it would otherwise never be stopped.
  if (g_current.load() != kNoDevice) FinishDiagnosis();
  ProgramSettings().lastDevice = static_cast<std::int32_t>(device);
  g_current.store(device);
  ProtocolMarkStart();
  ProtocolAddById(kTextDiagnosisStarted, kProtocolMessage);
  ProtocolAdd(DeviceName(device), kProtocolMessage);
  return record->StartSession();
}

void FinishDiagnosis() {
  // Taken in one step, so that a finish from the frame and one from a start on the search
  // thread cannot both stop the same session.
  const std::uint32_t device = g_current.exchange(kNoDevice);
  const DeviceDriver* record = DeviceRecord(device);
  if (record == nullptr) return;
  record->StopSession();
  ProtocolAddById(kTextDiagnosisFinished, kProtocolMessage);
  ProtocolFlush();
  // The views clear their lists on the release notice; a session that ended on its own may
  // have left its data behind.
  StoreRelease();
}

void InitDrivers() {
  SelectDevice(static_cast<std::uint32_t>(ProgramSettings().lastDevice));
  InitDriverRecords();
}

void ShutdownDrivers() {
  // A probe runs on the drivers' threads: it must be over before they stop.
  StopAutomaticSearch();
  ShutdownDriverRecords();
}

}  // namespace heatdiag
