#include "link/link_texts.h"
#include "shell/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {kTextPortUnusable, "The selected COM port cannot be used!"},
    {kTextAdapterNotConnected, "Diagnosis adapter is not connected!"},
    {kTextTimeout, "Timeout!"},
    {kTextInvalidLength, "Invalid message length!"},
    {kTextChecksumFailure, "Checksum faulure!"},
    {kTextWrongEcho, "Wrong echo received!"},
    {kTextTransmissionFailure, "Transmission failure!"},
    {kTextInvalidResponse, "Invalid response from control unit!"},
    {kTextTelegramTooLong, "Telegram too long, not sent!"},
    {kTextWakeup, "Wakeup..."},
    {kTextWakeupFault, "Fault during wakeup!"},
    {kTextConnectionFailed,
     "Communication to device couldn't be established!\nPlease check power supply, wiring and "
     "device selection\nor try to use automatic device selection."},
    {kTextEepromWriteFailed, "Write to EEPROM failed!"},
    {kTextInvalidKeyword, "Invalid keyword (wrong device selected)!"},
    {kTextNakGeneralReject, "NAK: general reject!"},
    {kTextNakRequestNotSupported, "NAK: request not supported!"},
    {kTextNakParameterNotSupported, "NAK: parameter not supported!"},
    {kTextNakBusy, "NAK: busy, retry request!"},
    {kTextNakConditionsNotCorrect, "NAK: conditions not correct!"},
    {kTextNakInvalidRange, "NAK: invalid range!"},
    {kTextNakAccessDenied, "NAK: access denied!"},
    {kTextNakProgrammingFailed, "NAK: programming to specified address failed!"},
    {kTextNakReadingFailed, "NAK: reading from specified address failed!"},
    {kTextNakBlockChecksum, "NAK: block transfer checksum failure!"},
    {kTextNakUnknown, "NAK: unknown acknowlede code %s!"},
};

}  // namespace

std::span<const StringEntry> LinkTexts() {
  return kTexts;
}

}  // namespace heatdiag
