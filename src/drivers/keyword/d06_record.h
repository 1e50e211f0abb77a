// The operations of D06's device table record, acting on the program's D06 driver
// (d06_driver.h). Plain functions, so that the device table needs nothing of the link.
#pragma once

#include <cstdint>

namespace heatdiag {
struct ComponentList;
struct FreeTelegram;
}  // namespace heatdiag

namespace heatdiag::d06::record {

int IsSessionActive();
int StartSession();
void StopSession();
int ProbeDevice();
int SetCo2Value(std::uint8_t value);
void InitDriver();
void ShutdownDriver();

int HasFaults();
void ClearFaults();
int IsFunctionAvailable(std::uint32_t function);
int GetComponentList(ComponentList* list);
int RunOwnComponentTest();
int StartComponent(std::uint32_t component, std::uint32_t value, std::uint32_t runTime);
void StopComponentTest();
void GetCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current);
int SendFreeTelegram(const FreeTelegram* telegram);

}  // namespace heatdiag::d06::record
