// One record of the device table: the display name, the search order key and the 35 operations
// through which the rest of the program reaches a heater family.
//
// Operations return 1 for success and 0 for failure unless their comment says otherwise; none
// of them throws. A record names its own operations (slots 0 to 7 always); the slots it leaves
// out keep the shared defaults of driver_defaults.h, which refuse or do nothing. Slots 33 and 34
// stay empty (nullptr) in a record that runs on its twin's threads.
#pragma once

#include <cstdint>
#include <type_traits>

#include "drivers/driver_defaults.h"

namespace heatdiag {

// Blocks of other subsystems that some operations take; only their addresses pass through here.
struct OverviewElement;  // one display element of the overview schematic
struct ComponentList;    // the component test list
struct DatasetImage;     // an EEPROM image with its areas
struct DatasetRequest;   // first cell index, end index and cells of a dataset transfer
struct FreeTelegram;     // the free telegram block (264 bytes)
struct DebugState;       // the debug mode's shared block

inline constexpr std::uint32_t kDriverSlotCount = 35;

struct DeviceDriver {
  std::uint32_t nameId = 0;      // string id of the name in the device list
  std::uint32_t deviceCode = 0;  // automatic search order, ascending; 0 = never probed

  // 0: nonzero while a diagnosis session runs.
  int (*IsSessionActive)() = nullptr;
  // 1: starts a session asynchronously; reports its own failures and then posts UM_LINKENDED.
  int (*StartSession)() = nullptr;
  // 2: ends the session and releases its store data.
  void (*StopSession)() = nullptr;
  // 3: 1 when a control unit of this family answered; silent on failure.
  int (*ProbeDevice)() = nullptr;
  // 4: nonzero when the fault count is known and not 0.
  int (*HasFaults)() = nullptr;
  // 5: requests clearing of the fault memory.
  void (*ClearFaults)() = nullptr;
  // 6: stores the address of the overview element table; returns the number of elements.
  std::uint32_t (*GetOverviewElements)(const OverviewElement** elements) = nullptr;
  // 7: 0 = function 0..18 (DriverFunction) not available; some functions answer with a count
  //    or variant.
  int (*IsFunctionAvailable)(std::uint32_t function) = nullptr;
  // 8: fills the component test list.
  int (*GetComponentList)(ComponentList* list) = defaults::NoComponentList;
  // 9: readiness for the component test dialog (> 0 ready, 0 not now, < 0 not yet known), or
  //    the driver's own guided test.
  int (*RunOwnComponentTest)() = defaults::NoOwnComponentTest;
  // 10: switches one component on (0 = all off) with a set value and a run time in seconds.
  int (*StartComponent)(std::uint32_t component, std::uint32_t value,
                        std::uint32_t runTime) = defaults::NoComponentStart;
  // 11: ends the component test.
  void (*StopComponentTest)() = defaults::IgnoreComponentStop;
  // 12: primes the fuel system for the given seconds (0 stops priming).
  int (*StartFuelPrime)(std::uint32_t seconds) = defaults::NoFuelPrime;
  // 13, 14: operating mode 0 off, 1 on, 2 parking heating, 3 supplemental heating,
  //         4 ventilating, 5 boost, 6 circulating pump external control.
  void (*SetOperatingMode)(std::uint32_t mode) = defaults::IgnoreOperatingMode;
  std::uint32_t (*GetOperatingMode)() = defaults::NoOperatingMode;
  // 15, 16: calibration values in millivolts and milliohms.
  void (*SetSupplyVoltage)(std::uint16_t millivolts) = defaults::IgnoreCalibration;
  void (*SetGlowPlugResistance)(std::uint16_t milliohms) = defaults::IgnoreCalibration;
  // 17..21: the CO2 adjustment.
  void (*GetCo2Range)(std::uint8_t* lowest, std::uint8_t* highest,
                      std::uint8_t* current) = defaults::NoCo2Range;
  int (*StartCo2Adjustment)() = defaults::Co2AdjustmentRefused;
  int (*StartCo2AdjustmentCold)() = defaults::Co2AdjustmentRefused;
  int (*EndCo2Adjustment)() = defaults::IgnoreCo2End;
  int (*SetCo2Value)(std::uint8_t value) = defaults::NoCo2Value;
  // 22..26: the EOL dataset.
  int (*GetDatasetLayout)(DatasetImage* image) = defaults::NoDatasetLayout;
  int (*ReadDataset)(DatasetRequest* request) = defaults::NoDatasetTransfer;
  int (*WriteDataset)(DatasetRequest* request) = defaults::NoDatasetTransfer;
  int (*ReadDatasetCell)(std::uint16_t address, std::uint8_t* value) = defaults::NoCellRead;
  int (*WriteDatasetCell)(std::uint16_t address, std::uint8_t value) = defaults::NoCellWrite;
  // 27: fills addresses[0] (receiver) and addresses[1] (sender) for the free telegram input.
  int (*GetDefaultAddresses)(std::uint8_t* addresses) = defaults::NoDefaultAddresses;
  // 28: sends a free telegram.
  int (*SendFreeTelegram)(const FreeTelegram* telegram) = defaults::NoFreeTelegram;
  // 29..32: the debug mode; the driver works on the shared block.
  int (*StartDebugMode)(DebugState* state) = defaults::NoDebugStart;
  int (*PollDebugMode)(DebugState* state) = defaults::NoDebugPoll;
  void (*EndDebugMode)(DebugState* state) = defaults::IgnoreDebugEnd;
  void (*SendDebugCommand)(DebugState* state) = defaults::IgnoreDebugCommand;
  // 33, 34: once at program start and exit (threads of the family); may be empty.
  void (*InitDriver)() = nullptr;
  void (*ShutdownDriver)() = nullptr;
};

// --- Records over a driver object ------------------------------------------------------------
//
// A driver module whose operations are member functions of one driver object makes its record
// with MakeMemberRecord<&TheObject>(nameId, deviceCode): every slot whose operation the driver
// class declares under the slot's name calls that member of the object TheObject() returns; the
// other slots keep the shared defaults (and slots 0 to 7, 33 and 34 stay empty). The module then
// sets by hand the slots that are not members (a constant table, differently named init and
// shutdown operations).

// A slot calling member `Member` of the object `Get()` returns.
template <auto Get, auto Member>
struct MemberSlot;

template <auto Get, typename D, typename R, typename... A, R (D::*Member)(A...)>
struct MemberSlot<Get, Member> {
  static R Call(A... args) { return (Get().*Member)(args...); }
};

template <auto Get>
constexpr DeviceDriver MakeMemberRecord(std::uint32_t nameId, std::uint32_t deviceCode) {
  using D = std::remove_cvref_t<decltype(Get())>;
  DeviceDriver r;
  r.nameId = nameId;
  r.deviceCode = deviceCode;
  // clang-format off
  if constexpr (requires { &D::IsSessionActive; }) r.IsSessionActive = MemberSlot<Get, &D::IsSessionActive>::Call;
  if constexpr (requires { &D::StartSession; }) r.StartSession = MemberSlot<Get, &D::StartSession>::Call;
  if constexpr (requires { &D::StopSession; }) r.StopSession = MemberSlot<Get, &D::StopSession>::Call;
  if constexpr (requires { &D::ProbeDevice; }) r.ProbeDevice = MemberSlot<Get, &D::ProbeDevice>::Call;
  if constexpr (requires { &D::HasFaults; }) r.HasFaults = MemberSlot<Get, &D::HasFaults>::Call;
  if constexpr (requires { &D::ClearFaults; }) r.ClearFaults = MemberSlot<Get, &D::ClearFaults>::Call;
  if constexpr (requires { &D::GetOverviewElements; }) r.GetOverviewElements = MemberSlot<Get, &D::GetOverviewElements>::Call;
  if constexpr (requires { &D::IsFunctionAvailable; }) r.IsFunctionAvailable = MemberSlot<Get, &D::IsFunctionAvailable>::Call;
  if constexpr (requires { &D::GetComponentList; }) r.GetComponentList = MemberSlot<Get, &D::GetComponentList>::Call;
  if constexpr (requires { &D::RunOwnComponentTest; }) r.RunOwnComponentTest = MemberSlot<Get, &D::RunOwnComponentTest>::Call;
  if constexpr (requires { &D::StartComponent; }) r.StartComponent = MemberSlot<Get, &D::StartComponent>::Call;
  if constexpr (requires { &D::StopComponentTest; }) r.StopComponentTest = MemberSlot<Get, &D::StopComponentTest>::Call;
  if constexpr (requires { &D::StartFuelPrime; }) r.StartFuelPrime = MemberSlot<Get, &D::StartFuelPrime>::Call;
  if constexpr (requires { &D::SetOperatingMode; }) r.SetOperatingMode = MemberSlot<Get, &D::SetOperatingMode>::Call;
  if constexpr (requires { &D::GetOperatingMode; }) r.GetOperatingMode = MemberSlot<Get, &D::GetOperatingMode>::Call;
  if constexpr (requires { &D::SetSupplyVoltage; }) r.SetSupplyVoltage = MemberSlot<Get, &D::SetSupplyVoltage>::Call;
  if constexpr (requires { &D::SetGlowPlugResistance; }) r.SetGlowPlugResistance = MemberSlot<Get, &D::SetGlowPlugResistance>::Call;
  if constexpr (requires { &D::GetCo2Range; }) r.GetCo2Range = MemberSlot<Get, &D::GetCo2Range>::Call;
  if constexpr (requires { &D::StartCo2Adjustment; }) r.StartCo2Adjustment = MemberSlot<Get, &D::StartCo2Adjustment>::Call;
  if constexpr (requires { &D::StartCo2AdjustmentCold; }) r.StartCo2AdjustmentCold = MemberSlot<Get, &D::StartCo2AdjustmentCold>::Call;
  if constexpr (requires { &D::EndCo2Adjustment; }) r.EndCo2Adjustment = MemberSlot<Get, &D::EndCo2Adjustment>::Call;
  if constexpr (requires { &D::SetCo2Value; }) r.SetCo2Value = MemberSlot<Get, &D::SetCo2Value>::Call;
  if constexpr (requires { &D::GetDatasetLayout; }) r.GetDatasetLayout = MemberSlot<Get, &D::GetDatasetLayout>::Call;
  if constexpr (requires { &D::ReadDataset; }) r.ReadDataset = MemberSlot<Get, &D::ReadDataset>::Call;
  if constexpr (requires { &D::WriteDataset; }) r.WriteDataset = MemberSlot<Get, &D::WriteDataset>::Call;
  if constexpr (requires { &D::ReadDatasetCell; }) r.ReadDatasetCell = MemberSlot<Get, &D::ReadDatasetCell>::Call;
  if constexpr (requires { &D::WriteDatasetCell; }) r.WriteDatasetCell = MemberSlot<Get, &D::WriteDatasetCell>::Call;
  if constexpr (requires { &D::GetDefaultAddresses; }) r.GetDefaultAddresses = MemberSlot<Get, &D::GetDefaultAddresses>::Call;
  if constexpr (requires { &D::SendFreeTelegram; }) r.SendFreeTelegram = MemberSlot<Get, &D::SendFreeTelegram>::Call;
  if constexpr (requires { &D::StartDebugMode; }) r.StartDebugMode = MemberSlot<Get, &D::StartDebugMode>::Call;
  if constexpr (requires { &D::PollDebugMode; }) r.PollDebugMode = MemberSlot<Get, &D::PollDebugMode>::Call;
  if constexpr (requires { &D::EndDebugMode; }) r.EndDebugMode = MemberSlot<Get, &D::EndDebugMode>::Call;
  if constexpr (requires { &D::SendDebugCommand; }) r.SendDebugCommand = MemberSlot<Get, &D::SendDebugCommand>::Call;
  if constexpr (requires { &D::InitDriver; }) r.InitDriver = MemberSlot<Get, &D::InitDriver>::Call;
  if constexpr (requires { &D::ShutdownDriver; }) r.ShutdownDriver = MemberSlot<Get, &D::ShutdownDriver>::Call;
  // clang-format on
  return r;
}

}  // namespace heatdiag
