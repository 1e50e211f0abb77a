// What the H-Bus driver remembers about the control unit and the requests in flight between its
// operations and its telegram builders and handlers. Reset when a session starts.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "drivers/hbus/capabilities.h"

namespace heatdiag {
struct DebugState;
}

namespace heatdiag::hbus {

inline constexpr std::size_t kFaultSlots = 8;
inline constexpr std::uint8_t kModeRunTime = 0x3C;  // minutes a switched-on mode runs

// The layout of the EEPROM dataset as the control unit reports it.
struct DatasetLayout {
  bool known = false;
  std::uint32_t cellCount = 0;  // 1 << n
  std::uint16_t start = 0;
  std::uint16_t checksumEnd = 0;
  std::uint16_t checksumAddress = 0;
  bool hasChecksumArea = false;  // checksumEnd differs from start
};

// The single EEPROM cell of ReadDatasetCell / WriteDatasetCell.
struct SingleCell {
  bool active = false;
  std::uint16_t address = 0;
  std::uint8_t value = 0;
};

struct DriverState {
  HBusCode code{};
  std::array<std::uint8_t, kFaultSlots> faultCodes{};
  std::uint8_t faultsRemaining = 0;    // details still to request in the current chain
  std::uint8_t faultCursor = 0;        // 0..7
  std::uint8_t faultMemoryCursor = 0;  // 1..3 on units before 3.0; 0 before the first request

  // Parameters handed over by the operations; written before the request bit is set.
  std::atomic<std::uint8_t> runTime{kModeRunTime};
  std::atomic<std::uint8_t> secondModeByte{0};
  std::atomic<std::uint8_t> component{0};
  std::atomic<std::uint8_t> componentRunTime{0};
  std::atomic<std::uint16_t> componentValue{0};
  std::atomic<std::uint16_t> calibrationVoltage{0};
  std::atomic<std::uint16_t> calibrationResistance{0};
  std::atomic<std::uint8_t> primeDuration{0};
  std::atomic<std::uint8_t> co2Value{0};
  std::atomic<bool> co2Cold{false};  // the CO2 write variant last started

  // The operating state last reported (0xFF: not known yet).
  std::atomic<std::uint8_t> previousStateCode{0xFF};
  std::uint8_t previousStateNumber = 0xFF;

  bool glowPlugResistanceWanted = false;    // entry 60 98
  bool extendedTemperaturesWanted = false;  // entry 60 99

  // Reply of 30 00 00, kept for whoever asked for it.
  std::uint16_t reply30Word = 0;
  std::uint8_t reply30Byte = 0;

  DatasetLayout layout;
  SingleCell singleCell;
  std::uint32_t cellCursor = 0;     // cell of the dataset walk being transferred
  std::uint8_t currentPage = 0;     // page of the block transfer
  std::uint32_t blockBaudRate = 0;  // rate of the block transfer the unit was asked for

  // The debug context attached by StartDebugMode; detached by the debug telegram's handler.
  std::atomic<DebugState*> debug{nullptr};
  std::uint8_t debugSent = 0;  // sub-command of the debug telegram last built

  // Counters of the fault memory's traffic, never reset: clearings the unit confirmed, and
  // complete reads of the fault memory (the list with every fault's details). A caller that
  // cleared waits for them to move on.
  std::atomic<std::uint32_t> faultClearsConfirmed{0};
  std::atomic<std::uint32_t> faultReadsCompleted{0};

  // Back to what is known before a unit has answered (a session starts).
  void Reset();
};

}  // namespace heatdiag::hbus
