#include "base/string_table.h"
#include "service/service_texts.h"

namespace heatdiag {
namespace {

using namespace service;

constexpr StringEntry kTexts[] = {
    {kTextAllOff, "all off"},
    {kTextComponentNotPossible,
     "Component test presently not possible!\nThe heating unit is not within the necessary "
     "operating state."},
    {kTextPleaseWait, "Please wait..."},
    {kTextEnterSetValue, "Please enter a set value"},
    {kTextEnterRunTime, "Please enter the run time"},
    {kTextWrongInput, "Wrong input!"},
    {kTextComponentTest, "Component test"},
    {kTextTestFinished, "Test finished"},
    {kTextTimeIsUp, "Time is up, test cancelled"},
    {kTextFuelPrimeStarted, "Fuel prime started"},
    {kTextFuelPrimeRefused, "Fuel prime couldn't be activated"},
    {kTextVoltageRange, "Invalid input!\nValid range 10,0...30,0 volt"},
    {kTextGlowPlugRange, "Invalid input!\nValid range 0,2...5 ohm"},
    {kTextCo2NotPossible,
     "CO2 adjustment not possible!\nThe heating unit is not within the necessary operating state "
     "(Combustion process with full load)\nor adjustment value out of the valid range."},
    {kTextTelegramNotPlausible, "Invalid input!\nThe entered values are not plausible!"},
    {kTextTelegramHint,
     "Please enter send bytes in hex and separated by spaces.\nAddress, length and checksum will "
     "be added automatically."},
    {kTextNoCommunication,
     "Communication to device couldn't be established!\nPlease check power supply, wiring and "
     "device selection\nor try to use automatic device selection."},
    {kTextComponentGroup, "Component"},
    {kTextSetValueGroup, "Optional set values"},
    {kTextSetValue, "Set value"},
    {kTextRunTime, "Run time"},
    {kTextSeconds, "[sec]"},
    {kTextStart, "&Start"},
    {kTextExit, "&Exit"},
    {kTextFuelPrime, "Fuel prime"},
    {kTextPrimeTime, "Prime time"},
    {kTextStartFuelPrime, "&Start fuel prime"},
    {kTextStopFuelPrime, "Stop fuel prime"},
    {kTextCloseWithoutStop, "Close (without stop)"},
    {kTextVoltageAdjustment, "Voltage adjustment"},
    {kTextCurrentVoltage, "Current supply voltage:"},
    {kTextVolt, "[V]"},
    {kTextGlowPlugAdjustment, "Glow plug adjustment"},
    {kTextCurrentResistance, "current glow plug resistance:"},
    {kTextOhm, "[Ohm]"},
    {kTextCo2Adjustment, "CO2 adjustment"},
    {kTextCo2AdjustmentCold, "CO2 adjustment (cold)"},
    {kTextCo2Value, "CO2 adjustment value (hex):"},
    {kTextClose, "Close"},
    {kTextFreeTelegram, "Free choice of telegram input"},
    {kTextDeviceAddress, "Device address:"},
    {kTextSourceAddress, "Source address:"},
    {kTextSendData, "Send data:"},
    {kTextViewAnswer, "View answer"},
    {kTextCancel, "Cancel"},
    {kTextSetDefaultAddress, "Set default address"},
    {kTextTransmit, "Transmit"},
};

}  // namespace

std::span<const StringEntry> ServiceTexts() {
  return kTexts;
}

}  // namespace heatdiag
