// Starting and finishing a diagnosis with the selected driver, and the program-wide start and
// exit calls of all drivers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace heatdiag {

// Protocol texts (string ids).
inline constexpr std::uint32_t kTextDiagnosisStarted = 21014;   // "Diagnosis started"
inline constexpr std::uint32_t kTextDiagnosisFinished = 21015;  // "Diagnosis finished"

// The display name of a record (empty for an index of 19 or more), at most maxChars characters.
std::string DeviceName(std::uint32_t index, std::size_t maxChars = 255);

// The record whose session StartDiagnosis started; kNoDevice while no diagnosis runs.
std::uint32_t CurrentDevice();

// Makes the selected device the current one and the setting LastDevice, writes "Diagnosis
// started" and the device's name to the protocol and starts the driver's session. Returns the
// result of StartSession; 0 when no device is selected. A diagnosis still current (its link has
// ended but nobody finished it yet) is finished first. Called from the main thread, or from the
// search thread after an identification.
int StartDiagnosis();

// Ends the current diagnosis: StopSession of its record, "Diagnosis finished" in the protocol,
// and the session's data released from the store (the views are told with UM_DATARELEASED).
// Does nothing while no diagnosis is current.
void FinishDiagnosis();

// Program start, after the settings are loaded: selects the device of the setting LastDevice
// (none when it is out of range) and calls InitDriver of every record that has one, in table
// order. The frame updates its title afterwards.
void InitDrivers();

// Program exit: stops a running search and calls ShutdownDriver of every record that has one,
// in table order.
void ShutdownDrivers();

}  // namespace heatdiag
