#include "service/fuel_prime.h"

#include <algorithm>

#include "base/settings.h"
#include "service/decimal_entry.h"

namespace heatdiag::service {

FuelPrimeView FuelPrimeCountdown::Open(std::uint32_t fillTime, std::uint64_t nowMs) {
  if (!running_) return Idle(fillTime);
  return Tick(fillTime, nowMs);
}

FuelPrimeView FuelPrimeCountdown::Started(bool accepted, std::uint32_t fillTime,
                                          std::uint64_t nowMs) {
  running_ = accepted;
  if (!accepted) return Idle(fillTime);
  startMs_ = nowMs;
  return {fillTime, false, true};
}

FuelPrimeView FuelPrimeCountdown::Tick(std::uint32_t fillTime, std::uint64_t nowMs) {
  if (!running_) return Idle(fillTime);
  const std::uint64_t elapsed = (nowMs - std::min(nowMs, startMs_) + 500) / 1000;
  if (elapsed < fillTime) return {static_cast<std::uint32_t>(fillTime - elapsed), false, true};
  running_ = false;
  return Idle(fillTime);
}

FuelPrimeView FuelPrimeCountdown::Stopped(std::uint32_t fillTime) {
  running_ = false;
  return Idle(fillTime);
}

FuelPrimeCountdown& ProgramFuelPrime() {
  static FuelPrimeCountdown countdown;
  return countdown;
}

std::uint32_t ParsePrimeTime(std::string_view text) {
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(ParseWholeNumber(text).value_or(0), 0xFFFFFFFFu));
}

std::uint32_t FillTimeSetting() {
  return static_cast<std::uint32_t>(std::max(ProgramSettings().fillTime, 0));
}

}  // namespace heatdiag::service
