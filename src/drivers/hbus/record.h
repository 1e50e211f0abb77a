// The operations of D00's device table record, acting on the program's H-Bus driver.
#pragma once

#include <cstdint>

#include "drivers/driver_record.h"

namespace heatdiag::hbus::record {

int IsSessionActive();
int StartSession();
void StopSession();
int ProbeDevice();
int HasFaults();
void ClearFaults();
std::uint32_t GetOverviewElements(const OverviewElement** elements);
int IsFunctionAvailable(std::uint32_t function);
int GetComponentList(ComponentList* list);
int RunOwnComponentTest();
int StartComponent(std::uint32_t component, std::uint32_t value, std::uint32_t runTime);
void StopComponentTest();
int StartFuelPrime(std::uint32_t seconds);
void SetOperatingMode(std::uint32_t mode);
std::uint32_t GetOperatingMode();
void SetSupplyVoltage(std::uint16_t millivolts);
void SetGlowPlugResistance(std::uint16_t milliohms);
void GetCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current);
int StartCo2Adjustment();
int StartCo2AdjustmentCold();
int EndCo2Adjustment();
int SetCo2Value(std::uint8_t value);
int GetDatasetLayout(DatasetImage* image);
int ReadDataset(DatasetRequest* request);
int WriteDataset(DatasetRequest* request);
int ReadDatasetCell(std::uint16_t address, std::uint8_t* value);
int WriteDatasetCell(std::uint16_t address, std::uint8_t value);
int GetDefaultAddresses(std::uint8_t* addresses);
int SendFreeTelegram(const FreeTelegram* telegram);
int StartDebugMode(DebugState* state);
int PollDebugMode(DebugState* state);
void EndDebugMode(DebugState* state);
void InitDriver();
void ShutdownDriver();

}  // namespace heatdiag::hbus::record
