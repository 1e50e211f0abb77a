// String ids of the service functions' texts (component test, fuel prime, calibrations, CO2
// adjustment, free telegram input).
#pragma once

#include <cstdint>

namespace heatdiag::service {

inline constexpr std::uint32_t kTextAttention = 21002;  // "Attention!" (shell)

inline constexpr std::uint32_t kTextAllOff = 35001;
inline constexpr std::uint32_t kTextComponentNotPossible = 35002;
inline constexpr std::uint32_t kTextPleaseWait = 35003;
inline constexpr std::uint32_t kTextEnterSetValue = 35004;
inline constexpr std::uint32_t kTextEnterRunTime = 35005;
inline constexpr std::uint32_t kTextWrongInput = 35006;
inline constexpr std::uint32_t kTextComponentTest = 35007;
inline constexpr std::uint32_t kTextTestFinished = 35008;
inline constexpr std::uint32_t kTextTimeIsUp = 35009;
inline constexpr std::uint32_t kTextFuelPrimeStarted = 35010;
inline constexpr std::uint32_t kTextFuelPrimeRefused = 35011;
inline constexpr std::uint32_t kTextVoltageRange = 35012;
inline constexpr std::uint32_t kTextGlowPlugRange = 35013;
inline constexpr std::uint32_t kTextCo2NotPossible = 35014;
inline constexpr std::uint32_t kTextTelegramNotPlausible = 35015;
inline constexpr std::uint32_t kTextTelegramHint = 35016;
inline constexpr std::uint32_t kTextNoCommunication = 35017;

// Dialog captions and labels.
inline constexpr std::uint32_t kTextComponentGroup = 35020;
inline constexpr std::uint32_t kTextSetValueGroup = 35021;
inline constexpr std::uint32_t kTextSetValue = 35022;
inline constexpr std::uint32_t kTextRunTime = 35023;
inline constexpr std::uint32_t kTextSeconds = 35024;
inline constexpr std::uint32_t kTextStart = 35025;
inline constexpr std::uint32_t kTextExit = 35026;
inline constexpr std::uint32_t kTextFuelPrime = 35030;
inline constexpr std::uint32_t kTextPrimeTime = 35031;
inline constexpr std::uint32_t kTextStartFuelPrime = 35032;
inline constexpr std::uint32_t kTextStopFuelPrime = 35033;
inline constexpr std::uint32_t kTextCloseWithoutStop = 35034;
inline constexpr std::uint32_t kTextVoltageAdjustment = 35040;
inline constexpr std::uint32_t kTextCurrentVoltage = 35041;
inline constexpr std::uint32_t kTextVolt = 35042;
inline constexpr std::uint32_t kTextGlowPlugAdjustment = 35043;
inline constexpr std::uint32_t kTextCurrentResistance = 35044;
inline constexpr std::uint32_t kTextOhm = 35045;
inline constexpr std::uint32_t kTextCo2Adjustment = 35050;
inline constexpr std::uint32_t kTextCo2AdjustmentCold = 35051;
inline constexpr std::uint32_t kTextCo2Value = 35052;
inline constexpr std::uint32_t kTextClose = 35053;
inline constexpr std::uint32_t kTextFreeTelegram = 35060;
inline constexpr std::uint32_t kTextDeviceAddress = 35061;
inline constexpr std::uint32_t kTextSourceAddress = 35062;
inline constexpr std::uint32_t kTextSendData = 35063;
inline constexpr std::uint32_t kTextViewAnswer = 35064;
inline constexpr std::uint32_t kTextCancel = 35065;
inline constexpr std::uint32_t kTextSetDefaultAddress = 35066;
inline constexpr std::uint32_t kTextTransmit = 35067;

}  // namespace heatdiag::service
