#include "link/port_selection.h"

#include <gtest/gtest.h>

namespace heatdiag {
namespace {

PortFlags Usable(std::initializer_list<int> ports) {
  PortFlags flags{};
  for (int n : ports) flags[static_cast<std::size_t>(n)] = 1;
  return flags;
}

struct PreselectCase {
  PortFlags usable;
  std::uint32_t current;
  int selected;
  std::uint32_t selectedPort;
};

class PortPreselection : public ::testing::TestWithParam<PreselectCase> {};

TEST_P(PortPreselection, CurrentPortOrFirstUsable) {
  const auto& c = GetParam();
  const PortChoice choice = BuildPortChoice(c.usable, c.current);
  EXPECT_EQ(choice.selected, c.selected);
  if (c.selected >= 0) {
    EXPECT_EQ(choice.ports[static_cast<std::size_t>(c.selected)], c.selectedPort);
    EXPECT_EQ(PortChoiceResult(true, choice.entries[static_cast<std::size_t>(c.selected)]),
              c.selectedPort);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, PortPreselection,
                         ::testing::Values(PreselectCase{Usable({2, 4}), 3, 0, 2},
                                           PreselectCase{Usable({2, 4}), 4, 1, 4},
                                           PreselectCase{Usable({9}), 0, 0, 9},
                                           PreselectCase{Usable({1, 5, 9}), 9, 2, 9},
                                           PreselectCase{Usable({}), 3, -1, 0}));

TEST(PortChoiceEntries, AscendingWithDevicePath) {
  SetPortPath(4, "/dev/ttyUSB7");
  const PortChoice choice = BuildPortChoice(Usable({4, 2}), 3);
  SetPortPath(4, "");
  ASSERT_EQ(choice.entries.size(), 2u);
  EXPECT_EQ(choice.entries[0], "COM2  /dev/ttyUSB1");
  EXPECT_EQ(choice.entries[1], "COM4  /dev/ttyUSB7");
}

TEST(PortChoiceResultTest, OkTakesTheDigitCancelGivesZero) {
  EXPECT_EQ(PortChoiceResult(true, "COM2  /dev/ttyUSB1"), 2u);
  EXPECT_EQ(PortChoiceResult(false, "COM2  /dev/ttyUSB1"), 0u);
  EXPECT_EQ(PortChoiceResult(true, ""), 0u);  // nothing selected
  EXPECT_EQ(PortChoiceResult(true, "COM"), 0u);
  EXPECT_EQ(PortChoiceResult(true, "COM0"), 0u);
  EXPECT_EQ(PortChoiceResult(true, "LPT1"), 0u);
}

}  // namespace
}  // namespace heatdiag
