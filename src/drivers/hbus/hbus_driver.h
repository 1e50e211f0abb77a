// D00, the H-Bus driver: its transport, link worker and driver state, and the operations of its
// device table record.
//
// The program has one D00 (TheDriver()); its record's operations act on it. Tests may build
// drivers of their own: a Driver owns everything it works with except the process-wide store.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "drivers/driver_record.h"
#include "drivers/hbus/driver_state.h"
#include "drivers/hbus/link_client.h"
#include "drivers/hbus/reply_view.h"
#include "link/hbus_transport.h"
#include "link/link_worker.h"
#include "link/serial_port.h"

namespace heatdiag {
struct ComponentList;
struct DatasetImage;
struct DatasetRequest;
struct FreeTelegram;
struct DebugState;
}  // namespace heatdiag

namespace heatdiag::hbus {

// Bits of the request word, by the poll entry they ask for.
namespace bit {
inline constexpr std::uint32_t kHeaterOff = 0x1;
inline constexpr std::uint32_t kHeatingOn = 0x2;
inline constexpr std::uint32_t kParkingHeating = 0x4;
inline constexpr std::uint32_t kVentilating = 0x8;
inline constexpr std::uint32_t kSupplementalHeating = 0x10;
inline constexpr std::uint32_t kPumpExternalControl = 0x20;
inline constexpr std::uint32_t kBoost = 0x40;
inline constexpr std::uint32_t kCommand26 = 0x80;
inline constexpr std::uint32_t kCommand27 = 0x100;
inline constexpr std::uint32_t kKeepAlive = 0x200;
inline constexpr std::uint32_t kVoltageCalibration = 0x400;
inline constexpr std::uint32_t kResistanceCalibration = 0x800;
inline constexpr std::uint32_t kFuelPrime = 0x1000;
inline constexpr std::uint32_t kCommand43 = 0x2000;
inline constexpr std::uint32_t kComponentTest = 0x4000;
inline constexpr std::uint32_t kFaultDetails = 0x8000;
inline constexpr std::uint32_t kClearFaults = 0x10000;
inline constexpr std::uint32_t kFaultList = 0x20000;
inline constexpr std::uint32_t kCo2Values = 0x40000;
inline constexpr std::uint32_t kCo2WriteCold = 0x80000;
inline constexpr std::uint32_t kCo2Write = 0x100000;
inline constexpr std::uint32_t kCommand30 = 0x200000;
inline constexpr std::uint32_t kCommand31 = 0x400000;
inline constexpr std::uint32_t kReadCell = 0x800000;
inline constexpr std::uint32_t kWriteCell = 0x1000000;
inline constexpr std::uint32_t kCommand37 = 0x2000000;
inline constexpr std::uint32_t kBlockWrite = 0x4000000;
inline constexpr std::uint32_t kBlockRead = 0x8000000;
}  // namespace bit

inline constexpr std::uint32_t kCatalogueRows = 157;
inline constexpr std::uint32_t kWaitSliceMs = 100;

class Driver {
 public:
  Driver();
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  HBusTransport transport;
  LinkClient client;  // what the link worker sends, and the block transfer
  LinkWorker link;
  DriverState state;

  // --- Program start and exit ------------------------------------------------------------------
  void Init();
  void Shutdown();

  // --- Sessions ------------------------------------------------------------------------------
  // The port the next session opens: a number 1..9 or, when devicePath is set, that device.
  void SetPort(std::uint32_t portNumber, const std::string& devicePath = {});
  int IsSessionActive();
  int StartSession();
  void StopSession();
  int ProbeDevice();
  // Asks a waiting probe or request to give up (the program is stopping).
  bool StopRequested() const { return transport.StopRequested(); }

  // --- Operations of the record --------------------------------------------------------------
  int HasFaults();
  void ClearFaults();
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
  int StartDebugMode(DebugState* debug);
  int PollDebugMode(DebugState* debug);
  void EndDebugMode(DebugState* debug);

  // The H-Bus version of the unit (0x31 = 3.1; 0 until it has answered).
  std::uint8_t Version() const { return transport.HBusVersion(); }
  void SetVersion(std::uint8_t version) { transport.SetHBusVersion(version); }

 private:
  // Sets the bit, then waits on the event in 100 ms slices until it is signalled or the program
  // stops. False when it stopped.
  bool RequestAndWait(Event& done, std::uint32_t bits);
  bool WaitDataset(DatasetRequest* request, std::uint32_t bits);

  bool portChosen_ = false;  // otherwise the port of the settings
  std::uint32_t portNumber_ = 1;
  std::string devicePath_;
  SerialPort* port_ = nullptr;
  bool initialised_ = false;
};

// The program's D00.
Driver& TheDriver();

// The poll table (63 entries).
std::span<const PollEntry> PollTable();

}  // namespace heatdiag::hbus
