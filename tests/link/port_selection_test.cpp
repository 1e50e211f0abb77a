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

TEST(PortChoiceEntries, AdaptersByNameAndStableName) {
  const std::string tree = HEATDIAG_LINK_FIXTURES "/sysfs_tree";
  const std::string stable =
      tree + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  const std::vector<PortInfo> present = DiscoverPorts({tree + "/sys", tree + "/dev"});
  SetPortPath(1, stable);
  SetPortPath(2, tree + "/dev/ttyUSB0");
  SetPortPath(3, tree + "/dev/ttyS0");
  const PortChoice choice = BuildPortChoice(Usable({1, 2, 3, 4}), 2, present);
  for (std::uint32_t n = 1; n <= 3; ++n) SetPortPath(n, "");
  ASSERT_EQ(choice.entries.size(), 4u);
  const std::string ftdi =
      "  " + tree + "/dev/ttyUSB0  FTDI FT232R USB UART, serial number A50285BI";
  EXPECT_EQ(choice.entries[0], "COM1" + ftdi);
  EXPECT_EQ(choice.entries[1], "COM2" + ftdi);
  EXPECT_EQ(choice.entries[2], "COM3  " + tree + "/dev/ttyS0");
  EXPECT_EQ(choice.entries[3], "COM4  /dev/ttyACM1");  // not present: its path as it is
  EXPECT_EQ(choice.selected, 1);
  EXPECT_EQ(choice.stableNames[0], stable);
  EXPECT_EQ(choice.stableNames[1], stable);
  EXPECT_EQ(choice.stableNames[2], "");
  EXPECT_EQ(choice.byStableName, (std::vector<bool>{true, false, false, false}));
  // Asking for the stable name where it is not set yet sets it; giving it up goes back to the
  // device; anything else changes nothing.
  EXPECT_EQ(PortPathChoice(choice, 1, true), stable);
  EXPECT_EQ(PortPathChoice(choice, 0, false), tree + "/dev/ttyUSB0");
  EXPECT_EQ(PortPathChoice(choice, 0, true), "");
  EXPECT_EQ(PortPathChoice(choice, 1, false), "");
  EXPECT_EQ(PortPathChoice(choice, 2, true), "");
  EXPECT_EQ(PortPathChoice(choice, -1, true), "");
  EXPECT_EQ(PortPathChoice(choice, 4, true), "");
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
