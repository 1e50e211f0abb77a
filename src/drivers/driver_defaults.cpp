#include "drivers/driver_defaults.h"

#include "base/frame_sink.h"
#include "base/messages.h"
#include "drivers/device_table.h"
#include "service/component_list.h"

namespace heatdiag {

namespace defaults {

int NoComponentList(ComponentList* list) {
  if (list != nullptr) *list = ComponentList{};
  return 0;
}
int NoOwnComponentTest() {
  return 0;
}
int NoComponentStart(std::uint32_t, std::uint32_t, std::uint32_t) {
  return 0;
}
void IgnoreComponentStop() {}
int NoFuelPrime(std::uint32_t) {
  return 0;
}
void IgnoreOperatingMode(std::uint32_t) {}
std::uint32_t NoOperatingMode() {
  return 0;
}
void IgnoreCalibration(std::uint16_t) {}

void NoCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current) {
  if (lowest != nullptr) *lowest = 0;
  if (highest != nullptr) *highest = 0;
  if (current != nullptr) *current = 0;
}

int Co2AdjustmentAccepted() {
  return 1;
}
int Co2AdjustmentRefused() {
  return 0;
}
int IgnoreCo2End() {
  return 0;
}
int NoCo2Value(std::uint8_t) {
  return 0;
}
int NoDatasetLayout(DatasetImage*) {
  return 0;
}
int NoDatasetTransfer(DatasetRequest*) {
  return 0;
}
int NoCellRead(std::uint16_t, std::uint8_t*) {
  return 0;
}
int NoCellWrite(std::uint16_t, std::uint8_t) {
  return 0;
}

// The usual receiver and sender addresses of the keyword-link families.
int DefaultAddresses51F1(std::uint8_t* addresses) {
  if (addresses == nullptr) return 0;
  addresses[0] = 0x51;
  addresses[1] = 0xF1;
  return 1;
}
int DefaultAddresses9D9A(std::uint8_t* addresses) {
  if (addresses == nullptr) return 0;
  addresses[0] = 0x9D;
  addresses[1] = 0x9A;
  return 1;
}
int NoDefaultAddresses(std::uint8_t*) {
  return 0;
}

int NoFreeTelegram(const FreeTelegram*) {
  return 0;
}
int NoDebugStart(DebugState*) {
  return 0;
}
int NoDebugPoll(DebugState*) {
  return 0;
}
void IgnoreDebugEnd(DebugState*) {}
void IgnoreDebugCommand(DebugState*) {}

}  // namespace defaults

namespace unsupported {

int IsSessionActive() {
  return 0;
}

int StartSession() {
  ShowThreadError(kTextFamilyNotSupported);
  PostToFrame(UM_LINKENDED);
  return 0;
}

void StopSession() {}
int ProbeDevice() {
  return 0;
}
int HasFaults() {
  return 0;
}
void ClearFaults() {}

std::uint32_t GetOverviewElements(const OverviewElement** elements) {
  if (elements != nullptr) *elements = nullptr;
  return 0;
}

int IsFunctionAvailable(std::uint32_t) {
  return 0;
}
int GetComponentList(ComponentList* list) {
  return defaults::NoComponentList(list);
}
int RunOwnComponentTest() {
  return 0;
}
int StartComponent(std::uint32_t, std::uint32_t, std::uint32_t) {
  return 0;
}
void StopComponentTest() {}
int StartFuelPrime(std::uint32_t) {
  return 0;
}
void SetOperatingMode(std::uint32_t) {}
std::uint32_t GetOperatingMode() {
  return 0;
}
void SetSupplyVoltage(std::uint16_t) {}
void SetGlowPlugResistance(std::uint16_t) {}

void GetCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current) {
  defaults::NoCo2Range(lowest, highest, current);
}

int StartCo2Adjustment() {
  return 0;
}
int StartCo2AdjustmentCold() {
  return 0;
}
int EndCo2Adjustment() {
  return 0;
}
int SetCo2Value(std::uint8_t) {
  return 0;
}
int GetDatasetLayout(DatasetImage*) {
  return 0;
}
int ReadDataset(DatasetRequest*) {
  return 0;
}
int WriteDataset(DatasetRequest*) {
  return 0;
}
int ReadDatasetCell(std::uint16_t, std::uint8_t*) {
  return 0;
}
int WriteDatasetCell(std::uint16_t, std::uint8_t) {
  return 0;
}
int GetDefaultAddresses(std::uint8_t*) {
  return 0;
}
int SendFreeTelegram(const FreeTelegram*) {
  return 0;
}
int StartDebugMode(DebugState*) {
  return 0;
}
int PollDebugMode(DebugState*) {
  return 0;
}
void EndDebugMode(DebugState*) {}
void InitDriver() {}
void ShutdownDriver() {}

}  // namespace unsupported

}  // namespace heatdiag
