#include "views/fault_texts.h"

#include <gtest/gtest.h>

#include "base/string_table.h"

namespace heatdiag {
namespace {

struct FaultCase {
  std::int64_t code;
  const char* shortText;
  const char* description;
};

constexpr const char* kNoInfo = "No additional information available";

constexpr FaultCase kFaultCases[] = {
    {0, "No error", "No error"},
    {1, "Defective control unit",
     "Defective control unit, end-of-line programming is not performed\n"
     "or water temperature sensor defective"},
    {27, "Overheat sensor short circuit", "Overheat sensor has short circuit to ground"},
    {28, "Fault 28", kNoInfo},
    {29, "Solenoid valve shed test short circuit",
     "Solenoid valve shed test has short circuit to ground"},
    {95, "Fault 95", kNoInfo},
    {96, "Customer specific fault 1", kNoInfo},
    {127, "Customer specific fault 32", kNoInfo},
    {128, "Fault 128", kNoInfo},
    {129, "EOL checksum error", "Checksum of EOL dataset is wrong"},
    {182, "Thermal fuse interrupted", "Thermal fuse interrupted"},
    {185, "Fault 185", kNoInfo},
    {223, "Fault 223", kNoInfo},
    {224, "Customer specific fault 33", kNoInfo},
    {254, "Customer specific fault 63", kNoInfo},
    {255, "Unnkown error code", "The reported error code is unknown"},
    {256, "?", "?"},
    {-1, "?", "?"},
    {0x1'0000'0000, "?", "?"},
};

TEST(FaultTexts, ShortTextAndDescriptionByCode) {
  for (const auto& c : kFaultCases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(FaultShortText(c.code), c.shortText);
    EXPECT_EQ(FaultDescription(c.code), c.description);
  }
}

TEST(FaultTexts, EveryCodeHasBothTextsInTheStringTable) {
  EXPECT_TRUE(DuplicateStringIds().empty());
  for (std::uint32_t code = 0; code <= 255; ++code) {
    SCOPED_TRACE(code);
    ASSERT_NE(FindString(kFaultShortTextBase + code), nullptr);
    ASSERT_NE(FindString(kFaultDescriptionBase + code), nullptr);
    EXPECT_LE(FaultDescription(code).size(), kFaultDescriptionMaxChars);
  }
  EXPECT_EQ(FindString(kFaultShortTextBase + 256), nullptr);
}

TEST(FaultTexts, StateTexts) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "not actual, not stored"},
      {1, "not actual, stored"},
      {2, "actual"},
      {3, "actual and stored"},
      {4, "not actual"},
      {5, "?"},
      {-1, "?"},
      {18000, "?"},
  };
  for (const auto& [state, text] : cases) EXPECT_EQ(FaultStateText(state), text) << state;
}

}  // namespace
}  // namespace heatdiag
