// Fuel prime: the metering pump runs in the control unit for the prime time; the tester keeps
// only whether it started priming and when, so that a dialog closed meanwhile and opened again
// goes on counting down. Times are milliseconds of a steady clock, given by the caller.
#pragma once

#include <cstdint>
#include <string_view>

namespace heatdiag::service {

// What the dialog shows: the seconds in the edit and which buttons are enabled.
struct FuelPrimeView {
  std::uint32_t seconds = 0;
  bool startEnabled = true;
  bool stopEnabled = false;
  bool operator==(const FuelPrimeView&) const = default;
};

class FuelPrimeCountdown {
 public:
  bool Running() const { return running_; }

  // The dialog opens: idle it offers the prime time; running it shows what is left.
  FuelPrimeView Open(std::uint32_t fillTime, std::uint64_t nowMs);
  // The unit's answer to the start request for `fillTime` seconds.
  FuelPrimeView Started(bool accepted, std::uint32_t fillTime, std::uint64_t nowMs);
  // The 100 ms timer: the seconds left, rounded to the nearest second; the idle view once the
  // time has run out.
  FuelPrimeView Tick(std::uint32_t fillTime, std::uint64_t nowMs);
  // "Stop fuel prime" (the caller also asks the unit to stop).
  FuelPrimeView Stopped(std::uint32_t fillTime);

 private:
  static FuelPrimeView Idle(std::uint32_t fillTime) { return {fillTime, true, false}; }

  bool running_ = false;
  std::uint64_t startMs_ = 0;
};

// The program's countdown: it outlives the dialog. GUI thread only.
FuelPrimeCountdown& ProgramFuelPrime();

// The prime time edit read as an unsigned integer; unreadable text gives 0.
std::uint32_t ParsePrimeTime(std::string_view text);

// The FillTime setting as an unsigned prime time (a negative stored value counts as 0).
std::uint32_t FillTimeSetting();

}  // namespace heatdiag::service
