#include "drivers/keyword/d06_record.h"

#include "drivers/keyword/d06_driver.h"

namespace heatdiag::d06::record {

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
int SetCo2Value(std::uint8_t value) {
  return TheDriver().SetCo2Value(value);
}
void InitDriver() {
  TheDriver().Init();
}
void ShutdownDriver() {
  TheDriver().Shutdown();
}

int HasFaults() {
  return TheDriver().HasFaults();
}
void ClearFaults() {
  TheDriver().ClearFaults();
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
void GetCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current) {
  TheDriver().GetCo2Range(lowest, highest, current);
}

int SendFreeTelegram(const FreeTelegram* telegram) {
  return TheDriver().SendFreeTelegram(telegram);
}

}  // namespace heatdiag::d06::record
