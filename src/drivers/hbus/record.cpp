#include "drivers/hbus/record.h"

#include "drivers/hbus/hbus_driver.h"
#include "drivers/hbus/overview.h"

namespace heatdiag::hbus::record {

int IsSessionActive() {
  return TheDriver().IsSessionActive();
}
int StartSession() {
  return TheDriver().StartSession();
}
void StopSession() {
  TheDriver().StopSession();
}
int ProbeDevice() {
  return TheDriver().ProbeDevice();
}
int HasFaults() {
  return TheDriver().HasFaults();
}
void ClearFaults() {
  TheDriver().ClearFaults();
}
std::uint32_t GetOverviewElements(const OverviewElement** elements) {
  const auto table = HBusOverview();
  if (elements != nullptr) *elements = table.data();
  return static_cast<std::uint32_t>(table.size());
}
int IsFunctionAvailable(std::uint32_t function) {
  return TheDriver().IsFunctionAvailable(function);
}
int GetComponentList(ComponentList* list) {
  return TheDriver().GetComponentList(list);
}
int RunOwnComponentTest() {
  return TheDriver().RunOwnComponentTest();
}
int StartComponent(std::uint32_t component, std::uint32_t value, std::uint32_t runTime) {
  return TheDriver().StartComponent(component, value, runTime);
}
void StopComponentTest() {
  TheDriver().StopComponentTest();
}
int StartFuelPrime(std::uint32_t seconds) {
  return TheDriver().StartFuelPrime(seconds);
}
void SetOperatingMode(std::uint32_t mode) {
  TheDriver().SetOperatingMode(mode);
}
std::uint32_t GetOperatingMode() {
  return TheDriver().GetOperatingMode();
}
void SetSupplyVoltage(std::uint16_t millivolts) {
  TheDriver().SetSupplyVoltage(millivolts);
}
void SetGlowPlugResistance(std::uint16_t milliohms) {
  TheDriver().SetGlowPlugResistance(milliohms);
}
void GetCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current) {
  TheDriver().GetCo2Range(lowest, highest, current);
}
int StartCo2Adjustment() {
  return TheDriver().StartCo2Adjustment();
}
int StartCo2AdjustmentCold() {
  return TheDriver().StartCo2AdjustmentCold();
}
int EndCo2Adjustment() {
  return TheDriver().EndCo2Adjustment();
}
int SetCo2Value(std::uint8_t value) {
  return TheDriver().SetCo2Value(value);
}
int GetDatasetLayout(DatasetImage* image) {
  return TheDriver().GetDatasetLayout(image);
}
int ReadDataset(DatasetRequest* request) {
  return TheDriver().ReadDataset(request);
}
int WriteDataset(DatasetRequest* request) {
  return TheDriver().WriteDataset(request);
}
int ReadDatasetCell(std::uint16_t address, std::uint8_t* value) {
  return TheDriver().ReadDatasetCell(address, value);
}
int WriteDatasetCell(std::uint16_t address, std::uint8_t value) {
  return TheDriver().WriteDatasetCell(address, value);
}
int GetDefaultAddresses(std::uint8_t* addresses) {
  return TheDriver().GetDefaultAddresses(addresses);
}
int SendFreeTelegram(const FreeTelegram* telegram) {
  return TheDriver().SendFreeTelegram(telegram);
}
int StartDebugMode(DebugState* state) {
  return TheDriver().StartDebugMode(state);
}
int PollDebugMode(DebugState* state) {
  return TheDriver().PollDebugMode(state);
}
void EndDebugMode(DebugState* state) {
  TheDriver().EndDebugMode(state);
}
void InitDriver() {
  TheDriver().Init();
}
void ShutdownDriver() {
  TheDriver().Shutdown();
}

}  // namespace heatdiag::hbus::record
