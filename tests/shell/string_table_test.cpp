#include "base/string_table.h"

#include <gtest/gtest.h>

namespace heatdiag {
namespace {

TEST(StringTable, EveryIdIsDefinedOnce) {
  EXPECT_TRUE(DuplicateStringIds().empty());
}

TEST(StringTable, LooksUpAndCuts) {
  EXPECT_STREQ(FindString(21001), "Error!");
  EXPECT_EQ(FindString(1), nullptr);
  EXPECT_EQ(LoadString(21001, 3), "Err");
  EXPECT_EQ(LoadString(1), "");
}

}  // namespace
}  // namespace heatdiag
