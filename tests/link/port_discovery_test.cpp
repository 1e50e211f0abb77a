// The port listing read from a sysfs tree of the fixture folder: two USB serial converters, a
// CDC ACM unit, an on-board UART, an empty UART slot and a virtual console.
#include "link/port_discovery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace heatdiag {
namespace {

const std::string kTree = HEATDIAG_LINK_FIXTURES "/sysfs_tree";

PortTree FixtureTree() {
  return {kTree + "/sys", kTree + "/dev"};
}

TEST(PortDiscovery, ListsThePortsWithHardwareInOrder) {
  const std::vector<PortInfo> ports = DiscoverPorts(FixtureTree());
  const struct {
    const char* name;
    const char* stableName;  // below dev/serial/by-id
    const char* driver;
    const char* usbId;
    const char* maker;
    const char* product;
    const char* serial;
  } expected[] = {
      {"ttyACM0", "usb-Arduino__www.arduino.cc__0043_7573530323-if00", "cdc_acm", "2341:0043",
       "Arduino (www.arduino.cc)", "Arduino Uno", "7573530323"},
      {"ttyS0", "", "serial", "", "", "", ""},
      {"ttyUSB0", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ftdi_sio", "0403:6001", "FTDI",
       "FT232R USB UART", "A50285BI"},
      {"ttyUSB10", "", "ch341-uart", "1a86:7523", "", "USB Serial", ""},
  };
  ASSERT_EQ(ports.size(), std::size(expected));
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const PortInfo& port = ports[i];
    const auto& e = expected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(port.name, e.name);
    EXPECT_EQ(port.device, kTree + "/dev/" + e.name);
    EXPECT_EQ(port.stableName,
              *e.stableName == '\0' ? "" : kTree + "/dev/serial/by-id/" + e.stableName);
    EXPECT_EQ(port.driver, e.driver);
    EXPECT_EQ(port.usbId, e.usbId);
    EXPECT_EQ(port.maker, e.maker);
    EXPECT_EQ(port.product, e.product);
    EXPECT_EQ(port.serial, e.serial);
  }
  EXPECT_EQ(AdapterDescription(ports[2]), "FTDI FT232R USB UART, serial number A50285BI");
  EXPECT_EQ(AdapterDescription(ports[3]), "USB Serial");
  EXPECT_EQ(AdapterDescription(ports[1]), "");
}

TEST(PortDiscovery, StableNameResolvesToItsDevice) {
  const std::vector<PortInfo> ports = DiscoverPorts(FixtureTree());
  const std::string byId = kTree + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  EXPECT_EQ(ResolvePortDevice(byId), kTree + "/dev/ttyUSB0");
  const PortInfo* viaStable = FindPort(ports, byId);
  ASSERT_NE(viaStable, nullptr);
  EXPECT_EQ(viaStable->name, "ttyUSB0");
  const PortInfo* viaDevice = FindPort(ports, kTree + "/dev/ttyACM0");
  ASSERT_NE(viaDevice, nullptr);
  EXPECT_EQ(viaDevice->name, "ttyACM0");
  EXPECT_EQ(FindPort(ports, kTree + "/dev/ttyS1"), nullptr);
  EXPECT_EQ(FindPort(ports, ""), nullptr);
}

TEST(PortDiscovery, PortNamedOnTheCommandLine) {
  const PortTree tree = FixtureTree();
  const std::string ftdi = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  EXPECT_EQ(PortPathForName(ftdi, tree), kTree + "/dev/serial/by-id/" + ftdi);
  EXPECT_EQ(PortPathForName("ttyACM0", tree), kTree + "/dev/ttyACM0");
  EXPECT_EQ(PortPathForName("ttyUSB9", tree), kTree + "/dev/ttyUSB9");
  EXPECT_EQ(PortPathForName("/dev/pts/3", tree), "/dev/pts/3");
  EXPECT_EQ(PortPathForName("./ttyUSB0", tree), "./ttyUSB0");
}

TEST(PortDiscovery, MissingTreeListsNothing) {
  EXPECT_TRUE(DiscoverPorts({"/nonexistent/sys", "/nonexistent/dev"}).empty());
}

}  // namespace
}  // namespace heatdiag
