// The fuel prime countdown, which outlives its dialog.
#include <gtest/gtest.h>

#include "service/fuel_prime.h"

namespace heatdiag::service {
namespace {

TEST(FuelPrime, CountsDownFromTheFullTimeToOneThenIdles) {
  FuelPrimeCountdown countdown;
  EXPECT_EQ(countdown.Open(158, 0), (FuelPrimeView{158, true, false}));
  EXPECT_EQ(countdown.Started(true, 30, 1000), (FuelPrimeView{30, false, true}));
  EXPECT_EQ(countdown.Tick(30, 1100), (FuelPrimeView{30, false, true}));
  EXPECT_EQ(countdown.Tick(30, 1000 + 28'499), (FuelPrimeView{2, false, true}));
  EXPECT_EQ(countdown.Tick(30, 1000 + 29'499), (FuelPrimeView{1, false, true}));
  EXPECT_EQ(countdown.Tick(30, 1000 + 29'500), (FuelPrimeView{30, true, false}));
  EXPECT_FALSE(countdown.Running());
}

TEST(FuelPrime, ReopenedTenSecondsLaterShowsTenLessWithStartDisabled) {
  FuelPrimeCountdown countdown;
  countdown.Started(true, 60, 5000);
  countdown.Tick(60, 6000);
  // The dialog is closed without stop; ten seconds later it opens again.
  EXPECT_EQ(countdown.Open(60, 16'000), (FuelPrimeView{49, false, true}));
  EXPECT_EQ(countdown.Open(60, 15'000), (FuelPrimeView{50, false, true}));
}

TEST(FuelPrime, RefusedStopAndZero) {
  FuelPrimeCountdown countdown;
  EXPECT_EQ(countdown.Started(false, 40, 0), (FuelPrimeView{40, true, false}));
  EXPECT_FALSE(countdown.Running());
  countdown.Started(true, 40, 0);
  EXPECT_EQ(countdown.Stopped(40), (FuelPrimeView{40, true, false}));
  EXPECT_FALSE(countdown.Running());
  // 0 seconds is a stop for the unit; accepted, the next tick ends the running state.
  countdown.Started(true, 0, 0);
  EXPECT_TRUE(countdown.Running());
  EXPECT_EQ(countdown.Tick(0, 100), (FuelPrimeView{0, true, false}));
}

TEST(FuelPrime, PrimeTimeEntry) {
  EXPECT_EQ(ParsePrimeTime("158"), 158u);
  EXPECT_EQ(ParsePrimeTime("abc"), 0u);
  EXPECT_EQ(ParsePrimeTime(""), 0u);
  EXPECT_EQ(ParsePrimeTime("99999999999999"), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace heatdiag::service
