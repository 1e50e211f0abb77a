#include "base/string_table.h"
#include "link/link_texts.h"

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
    {kTextPortUnusableBecause, "The selected COM port cannot be used!\n%s"},
    {kTextPortNoSuchDevice, "%s: no such device."},
    {kTextPortsPresent, "Serial ports present: %s."},
    {kTextNoPortsPresent, "No serial port is present: is the diagnosis adapter plugged in?"},
    {kTextPortPermission,
     "%s: permission denied. The device belongs to the group \"%s\"; add yourself to it "
     "with\n    sudo usermod -aG %s $USER\nthen log out and in again."},
    {kTextPortPermissionRelogin,
     "%s: permission denied. You are a member of the group \"%s\" that owns the device, but "
     "not yet in this session: log out and in again."},
    {kTextPortPermissionAdmin,
     "%s: permission denied. Only the administrator may open the device (a udev rule can give "
     "it to the group dialout)."},
    {kTextPortInUse, "%s is in use by another program%s. Close that program and try again."},
    {kTextPortHolder, " (%s, process %s)"},
    {kTextPortHeldHere,
     "%s is already open in this program (another diagnosis or the device search)."},
    {kTextPortNotTerminal, "%s is not a serial port."},
    {kTextPortConfiguration, "%s does not accept the line settings."},
    {kTextPortBadSettings,
     "No such port or line settings (ports COM1 to COM9, at most 115200 baud)."},
    {kTextPortSystemError, "%s cannot be opened: %s."},
    {kTextSerialNumber, "serial number %s"},
    {kTextLowLatencyRefused,
     "%s: the driver refused low-latency mode (%s); received bytes may reach the tester late."},
    {kTextLatencyTimerSlow,
     "%s: the adapter's latency timer stays at %s ms (only the administrator may lower it); "
     "received bytes may reach the tester late."},
};

}  // namespace

std::span<const StringEntry> LinkTexts() {
  return kTexts;
}

}  // namespace heatdiag
