// String ids of the link's texts (defined in link/texts.cpp).
#pragma once

#include <cstdint>

namespace heatdiag {

enum LinkTextId : std::uint32_t {
  kTextPortUnusable = 30000,         // "The selected COM port cannot be used!"
  kTextAdapterNotConnected = 30001,  // "Diagnosis adapter is not connected!"
  kTextTimeout = 30002,              // "Timeout!"
  kTextInvalidLength = 30003,        // "Invalid message length!"
  kTextChecksumFailure = 30004,      // "Checksum faulure!"
  kTextWrongEcho = 30005,            // "Wrong echo received!"
  kTextTransmissionFailure = 30006,  // "Transmission failure!"
  kTextInvalidResponse = 30007,      // "Invalid response from control unit!"
  kTextTelegramTooLong = 30008,      // a request that does not fit the transmit buffer
  kTextWakeup = 30009,               // "Wakeup..."
  kTextWakeupFault = 30010,          // "Fault during wakeup!"
  kTextConnectionFailed = 30011,     // "Communication to device couldn't be established!..."
  kTextEepromWriteFailed = 30012,    // "Write to EEPROM failed!"
  kTextInvalidKeyword = 30013,       // "Invalid keyword (wrong device selected)!"
  // Negative acknowledge codes of the control unit.
  kTextNakGeneralReject = 30020,
  kTextNakRequestNotSupported = 30021,
  kTextNakParameterNotSupported = 30022,
  kTextNakBusy = 30023,
  kTextNakConditionsNotCorrect = 30024,
  kTextNakInvalidRange = 30025,
  kTextNakAccessDenied = 30026,
  kTextNakProgrammingFailed = 30027,
  kTextNakReadingFailed = 30028,
  kTextNakBlockChecksum = 30029,
  kTextNakUnknown = 30030,  // "NAK: unknown acknowlede code %s!"
  // Why a port cannot be used, and what to do about it (%s: filled in by the serial layer).
  kTextPortUnusableBecause = 30040,  // kTextPortUnusable, then the reason on the next line
  kTextPortNoSuchDevice = 30041,
  kTextPortsPresent = 30042,
  kTextNoPortsPresent = 30043,
  kTextPortPermission = 30044,
  kTextPortPermissionRelogin = 30045,
  kTextPortPermissionAdmin = 30046,
  kTextPortInUse = 30047,
  kTextPortHolder = 30048,
  kTextPortHeldHere = 30049,
  kTextPortNotTerminal = 30050,
  kTextPortConfiguration = 30051,
  kTextPortBadSettings = 30052,
  kTextPortSystemError = 30053,
  kTextSerialNumber = 30054,
  kTextLowLatencyRefused = 30055,
  kTextLatencyTimerSlow = 30056,
};

}  // namespace heatdiag
