// The shared operations that fill the slots of a device record whose family lacks the function,
// and the operations of a family that has no module in this version yet.
#pragma once

#include <cstdint>

namespace heatdiag {

struct OverviewElement;
struct ComponentList;
struct DatasetImage;
struct DatasetRequest;
struct FreeTelegram;
struct DebugState;

namespace defaults {

int NoComponentList(ComponentList* list);  // 8: clears the list, returns 0
int NoOwnComponentTest();                  // 9: 0
int NoComponentStart(std::uint32_t component, std::uint32_t value,
                     std::uint32_t runTime);   // 10: 0
void IgnoreComponentStop();                    // 11
int NoFuelPrime(std::uint32_t seconds);        // 12: 0
void IgnoreOperatingMode(std::uint32_t mode);  // 13
std::uint32_t NoOperatingMode();               // 14: 0
void IgnoreCalibration(std::uint16_t value);   // 15, 16
void NoCo2Range(std::uint8_t* lowest, std::uint8_t* highest,
                std::uint8_t* current);          // 17: all three 0
int Co2AdjustmentAccepted();                     // 18, 19 of the families that accept: 1
int Co2AdjustmentRefused();                      // 18, 19: 0
int IgnoreCo2End();                              // 20: 0
int NoCo2Value(std::uint8_t value);              // 21: 0
int NoDatasetLayout(DatasetImage* image);        // 22: 0
int NoDatasetTransfer(DatasetRequest* request);  // 23, 24: 0
int NoCellRead(std::uint16_t address, std::uint8_t* value);  // 25: 0
int NoCellWrite(std::uint16_t address, std::uint8_t value);  // 26: 0
int DefaultAddresses51F1(std::uint8_t* addresses);           // 27: 0x51, 0xF1, returns 1
int DefaultAddresses9D9A(std::uint8_t* addresses);           // 27: 0x9D, 0x9A, returns 1
int NoDefaultAddresses(std::uint8_t* addresses);             // 27: 0, addresses untouched
int NoFreeTelegram(const FreeTelegram* telegram);            // 28: 0
int NoDebugStart(DebugState* state);                         // 29: 0
int NoDebugPoll(DebugState* state);                          // 30: 0
void IgnoreDebugEnd(DebugState* state);                      // 31
void IgnoreDebugCommand(DebugState* state);                  // 32

}  // namespace defaults

// The operations of a family whose module this version does not contain. A session cannot start
// ("This control unit family is not supported by this version!", then UM_LINKENDED), a probe
// fails at once and without a message, and every request is refused.
namespace unsupported {

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

}  // namespace unsupported

}  // namespace heatdiag
