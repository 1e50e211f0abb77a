// The component list, readiness and the start request of the component test dialog.
#include <gtest/gtest.h>

#include <cstring>

#include "service/component_test.h"

namespace heatdiag::service {
namespace {

template <std::size_t N>
void Put(std::array<char, N>& field, const char* text) {
  std::strncpy(field.data(), text, N - 1);
}

// A list as the H-Bus driver fills it for a 3.x unit with fan in %, fuel pump, glow plug and
// a relay without set value.
ComponentList HBusList() {
  ComponentList list;
  Put(list.names[1], "Combustion air fan");
  Put(list.units[1], "%");
  list.decimals[1] = 1;
  list.divisors[1] = 5;
  Put(list.names[2], "Fuel pump");
  Put(list.units[2], "Hz");
  list.decimals[2] = 2;
  list.divisors[2] = 5;
  Put(list.names[3], "Glow plug");
  Put(list.units[3], "%");
  list.decimals[3] = 1;
  list.divisors[3] = 5;
  Put(list.names[5], "Vehicle fan relay");
  Put(list.names[10], "Operation indicator\nOI");
  list.setValueAvailable = 1;
  list.runTimeAvailable = 1;
  return list;
}

TEST(ComponentTest, ReadinessFollowsTheSignOfTheAnswer) {
  EXPECT_EQ(ReadinessOf(1), Readiness::kReady);
  EXPECT_EQ(ReadinessOf(7), Readiness::kReady);
  EXPECT_EQ(ReadinessOf(0), Readiness::kNotPossible);
  EXPECT_EQ(ReadinessOf(-1), Readiness::kUnknown);
}

TEST(ComponentTest, ListEntries) {
  const ComponentList list = HBusList();
  EXPECT_TRUE(ComponentExists(list, 0));
  EXPECT_TRUE(ComponentExists(list, 5));
  EXPECT_FALSE(ComponentExists(list, 4));
  EXPECT_FALSE(ComponentExists(list, 16));
  EXPECT_EQ(ComponentName(list, 0), "all off");
  EXPECT_EQ(ComponentName(list, 10), "Operation indicator");
  EXPECT_TRUE(TakesSetValue(list, 2));
  EXPECT_FALSE(TakesSetValue(list, 5));
  EXPECT_FALSE(TakesSetValue(list, 0));
  ComponentList old = list;
  old.setValueAvailable = 0;
  EXPECT_FALSE(TakesSetValue(old, 2));
}

TEST(ComponentTest, FindByNumberOrName) {
  const ComponentList list = HBusList();
  struct Case {
    const char* text;
    std::optional<std::size_t> index;
  } const cases[] = {
      {"2", 2},
      {"0", 0},
      {"all off", 0},
      {"off", 0},
      {"all-off", 0},
      {"fuel-pump", 2},
      {"FUEL PUMP", 2},
      {"glow", 3},
      {"operation", 10},
      {"4", std::nullopt},
      {"17", std::nullopt},
      {"pump", std::nullopt},
      {"", std::nullopt},
      {"c", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindComponent(list, c.text), c.index) << c.text;
}

TEST(ComponentTest, StartRequests) {
  const ComponentList list = HBusList();
  struct Case {
    std::size_t index;
    const char* setValue;
    const char* runTime;
    ComponentInput input;
    ComponentRequest request;
  } const cases[] = {
      // "7" with two decimals is 700, divided by 5.
      {2, "7", "30", ComponentInput::kOk, {2, 140, 30}},
      {1, "50,5", "10", ComponentInput::kOk, {1, 101, 10}},
      // No unit: the typed value is not read, the component starts with 0.
      {5, "33", "20", ComponentInput::kOk, {5, 0, 20}},
      {2, "", "30", ComponentInput::kSetValueMissing, {}},
      {2, "7", "", ComponentInput::kRunTimeMissing, {}},
      {2, "7", "0", ComponentInput::kRunTimeMissing, {}},
      // "all off" never asks for a run time and sends nothing else.
      {0, "", "", ComponentInput::kOk, {0, 0, 0}},
      {0, "12", "99", ComponentInput::kOk, {0, 0, 0}},
      {4, "1", "1", ComponentInput::kNoSuchComponent, {}},
  };
  for (const Case& c : cases) {
    const PreparedStart prepared = PrepareComponentStart(list, c.index, c.setValue, c.runTime);
    EXPECT_EQ(prepared.input, c.input) << c.index << " " << c.setValue << " " << c.runTime;
    if (c.input != ComponentInput::kOk) continue;
    EXPECT_EQ(prepared.request.index, c.request.index);
    EXPECT_EQ(prepared.request.value, c.request.value) << c.index << " " << c.setValue;
    EXPECT_EQ(prepared.request.runTime, c.request.runTime);
  }
}

TEST(ComponentTest, UnitsBeforeVersionThreeTakeNeitherValueNorRunTime) {
  ComponentList list = HBusList();
  list.setValueAvailable = 0;
  list.runTimeAvailable = 0;
  const PreparedStart prepared = PrepareComponentStart(list, 2, "", "");
  EXPECT_EQ(prepared.input, ComponentInput::kOk);
  EXPECT_EQ(prepared.request.value, 0u);
  EXPECT_EQ(prepared.request.runTime, 0u);
}

}  // namespace
}  // namespace heatdiag::service
