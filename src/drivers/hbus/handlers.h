// Builders and handlers of the H-Bus poll table, by the telegram they serve.
//
// A builder gets a copy of the entry's payload in a 256-byte work buffer and returns the number
// of bytes to send (0: nothing this time). A handler decodes the reply of a successful exchange
// into the store and the driver state and tells the link worker how to go on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "drivers/hbus/reply_view.h"
#include "link/poll_client.h"

namespace heatdiag::hbus {

class Driver;

using Work = std::span<std::uint8_t>;

// --- Identification and configuration (handlers_identification.cpp) ---------------------------
EntryResult HandleVersion(Driver& d, const ReplyView& reply);                // 51 0A
EntryResult HandleDeviceName(Driver& d, const ReplyView& reply);             // 51 0B
EntryResult HandleCode(Driver& d, const ReplyView& reply);                   // 51 0C
EntryResult HandleLayout(Driver& d, const ReplyView& reply);                 // 38
EntryResult HandleDeviceId(Driver& d, const ReplyView& reply);               // 51 01
EntryResult HandleVersions(Driver& d, const ReplyView& reply);               // 51 02
EntryResult HandleDatasetId(Driver& d, const ReplyView& reply);              // 51 03
EntryResult HandleDateControlUnit(Driver& d, const ReplyView& reply);        // 51 04
EntryResult HandleDateHeater(Driver& d, const ReplyView& reply);             // 51 05
EntryResult HandleFarstartCode(Driver& d, const ReplyView& reply);           // 51 06
EntryResult HandleCustomerId(Driver& d, const ReplyView& reply);             // 51 07
EntryResult HandleSerialNumber(Driver& d, const ReplyView& reply);           // 51 09
EntryResult HandleVoltageThresholds(Driver& d, const ReplyView& reply);      // 53 02
EntryResult HandleTemperatureThresholds(Driver& d, const ReplyView& reply);  // 50 11
EntryResult HandleConfiguration(Driver& d, const ReplyView& reply);          // 50 04, 3.x
EntryResult HandleConfigurationOld(Driver& d, const ReplyView& reply);       // 50 04, 1.x
std::size_t BuildCo2Values(Driver& d, Work work, std::size_t length);        // 57 01
EntryResult HandleCo2Values(Driver& d, const ReplyView& reply);

// The parameters a unit of this version does not have (called when the version is accepted).
void ApplyVersionHiding(Driver& d, std::uint8_t version);

// --- Cyclic operating data (handlers_operating.cpp) ------------------------------------------
EntryResult HandleInputs(Driver& d, const ReplyView& reply);                    // 50 02
EntryResult HandleComponentStates(Driver& d, const ReplyView& reply);           // 50 03
EntryResult HandleMeasuredValues(Driver& d, const ReplyView& reply);            // 50 05
EntryResult HandleActuatorLevels(Driver& d, const ReplyView& reply);            // 50 0F
EntryResult HandleOperatingState(Driver& d, const ReplyView& reply);            // 50 07
EntryResult HandleCounters(Driver& d, const ReplyView& reply);                  // 50 06
EntryResult HandleBurningDurations(Driver& d, const ReplyView& reply);          // 50 0A
EntryResult HandleWorkingDurations(Driver& d, const ReplyView& reply);          // 50 0B
EntryResult HandleStartCounters(Driver& d, const ReplyView& reply);             // 50 0C
std::size_t BuildGlowPlugResistance(Driver& d, Work work, std::size_t length);  // 60 98
EntryResult HandleGlowPlugResistance(Driver& d, const ReplyView& reply);
std::size_t BuildExtendedTemperatures(Driver& d, Work work, std::size_t length);  // 60 99
EntryResult HandleExtendedTemperatures(Driver& d, const ReplyView& reply);

// --- Faults (handlers_faults.cpp) ------------------------------------------------------------
EntryResult HandleFaultList(Driver& d, const ReplyView& reply);           // 56 01
std::size_t BuildFaultDetails(Driver& d, Work work, std::size_t length);  // 56 02 cc
EntryResult HandleFaultDetails(Driver& d, const ReplyView& reply);
EntryResult HandleClearFaults(Driver& d, const ReplyView& reply);      // 56 03
std::size_t BuildFaultSlot(Driver& d, Work work, std::size_t length);  // 50 01 kk
EntryResult HandleFaultSlot(Driver& d, const ReplyView& reply);
EntryResult HandleClearFaultsOld(Driver& d, const ReplyView& reply);  // 52

// --- Operating modes and service telegrams (handlers_service.cpp) ----------------------------
std::size_t BuildModeOn(Driver& d, Work work, std::size_t length);  // 20..24 tt
EntryResult HandleModeOn(Driver& d, const ReplyView& reply);
std::size_t BuildMode27(Driver& d, Work work, std::size_t length);  // 27 tt xx
EntryResult HandleHeaterOff(Driver& d, const ReplyView& reply);     // 10
EntryResult HandleAck(Driver& d, const ReplyView& reply);           // answers checked by CheckAck
std::size_t BuildKeepAlive(Driver& d, Work work, std::size_t length);  // 44 mm 00
EntryResult HandleKeepAlive(Driver& d, const ReplyView& reply);
std::size_t BuildVoltageCalibration(Driver& d, Work work, std::size_t length);     // 42 01
std::size_t BuildResistanceCalibration(Driver& d, Work work, std::size_t length);  // 42 02
std::size_t BuildFuelPrime(Driver& d, Work work, std::size_t length);              // 42 03
std::size_t BuildComponentTest(Driver& d, Work work, std::size_t length);          // 45
std::size_t BuildComponentTestOld(Driver& d, Work work, std::size_t length);       // 60 bb
std::size_t BuildCo2Write(Driver& d, Work work, std::size_t length);  // 57 02/03, 53 05/04
EntryResult HandleCo2Write(Driver& d, const ReplyView& reply);        // 57 02/03
EntryResult HandleCo2WriteOld(Driver& d, const ReplyView& reply);     // 53 05/04
std::size_t BuildAsIs(Driver& d, Work work, std::size_t length);
EntryResult HandleReply30(Driver& d, const ReplyView& reply);  // 30 00 00
EntryResult HandleAnyReply(Driver& d, const ReplyView& reply);
EntryResult HandleCommand43(Driver& d, const ReplyView& reply);  // 43 00

// --- EEPROM cells and block mode (handlers_dataset.cpp) --------------------------------------
std::size_t BuildReadCell(Driver& d, Work work, std::size_t length);  // 32 ah al
EntryResult HandleReadCell(Driver& d, const ReplyView& reply);
std::size_t BuildWriteCell(Driver& d, Work work, std::size_t length);  // 33 ah al vv
EntryResult HandleWriteCell(Driver& d, const ReplyView& reply);
std::size_t BuildBlockRead(Driver& d, Work work, std::size_t length);  // 34 bb pp
std::size_t BuildBlockWrite(Driver& d, Work work, std::size_t length);
EntryResult HandleBlockRead(Driver& d, const ReplyView& reply);
EntryResult HandleBlockWrite(Driver& d, const ReplyView& reply);

// The rate and code of the block-mode switch for a unit's version and the rate set.
struct BlockRate {
  std::uint32_t baudRate;
  std::uint8_t code;
};
BlockRate BlockRateFor(std::uint8_t version, std::uint32_t baudRateSet);

// --- Debug telegram (handlers_debug.cpp) -----------------------------------------------------
std::size_t BuildDebug(Driver& d, Work work, std::size_t length);  // 60 ...
EntryResult HandleDebug(Driver& d, const ReplyView& reply);

}  // namespace heatdiag::hbus
