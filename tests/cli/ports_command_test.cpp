// heatdiag-cli ports, run in-process on the sysfs tree of the link tests' fixture folder.
#include "cli/ports.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/cli_test_support.h"
#include "link/serial_port.h"

namespace heatdiag::cli {
namespace {

const std::string kTree = HEATDIAG_LINK_FIXTURES "/sysfs_tree";
const std::string kFtdiStableName =
    kTree + "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

PortsOptions FixtureOptions(bool json) {
  PortsOptions options;
  options.json = json;
  options.tree = {kTree + "/sys", kTree + "/dev"};
  return options;
}

TEST(PortsCommand, JsonMapsComNumbersToThePortsPresent) {
  testing::RecordingStore store;
  // COM2 chosen by the adapter's stable name, COM3 by its device.
  testing::FillStore(store, {{"Ports", "COM2", kFtdiStableName},
                             {"Ports", "COM3", kTree + "/dev/ttyACM0"},
                             {"Ports", "COM5", "/nonexistent/ttyS0"}});
  store.ForgetWrites();
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunPorts(FixtureOptions(true), store, out, err), 0) << err.str();
  const auto result = nlohmann::json::parse(out.str());
  ASSERT_EQ(result["com_ports"].size(), 9u);
  const auto& com2 = result["com_ports"][1];
  EXPECT_EQ(com2["port"], "COM2");
  EXPECT_EQ(com2["path"], kFtdiStableName);
  EXPECT_EQ(com2["device"], kTree + "/dev/ttyUSB0");
  // The fixture's devices are plain files.
  EXPECT_EQ(com2["usable"], false);
  EXPECT_EQ(com2["problem"], kFtdiStableName + " is not a serial port.");
  EXPECT_EQ(result["com_ports"][4]["problem"], "/nonexistent/ttyS0: no such device.");

  ASSERT_EQ(result["ports"].size(), 4u);
  const auto& acm = result["ports"][0];
  EXPECT_EQ(acm["device"], kTree + "/dev/ttyACM0");
  EXPECT_EQ(acm["com"], nlohmann::json::array({"COM3"}));
  const auto& ftdi = result["ports"][2];
  EXPECT_EQ(ftdi["device"], kTree + "/dev/ttyUSB0");
  EXPECT_EQ(ftdi["stable_name"], kFtdiStableName);
  EXPECT_EQ(ftdi["maker"], "FTDI");
  EXPECT_EQ(ftdi["product"], "FT232R USB UART");
  EXPECT_EQ(ftdi["serial"], "A50285BI");
  EXPECT_EQ(ftdi["usb_id"], "0403:6001");
  EXPECT_EQ(ftdi["driver"], "ftdi_sio");
  EXPECT_EQ(ftdi["com"], nlohmann::json::array({"COM2"}));
  EXPECT_TRUE(result["errors"].empty());
  // A listing changes nothing: the user's port paths are not left behind, nothing is saved.
  EXPECT_EQ(PortPath(2), DefaultPortPath(2));
  EXPECT_TRUE(store.Written().empty());
}

TEST(PortsCommand, TableShowsAdapterAndStableName) {
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunPorts(FixtureOptions(false), out, err), 0) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("COM1  /dev/ttyUSB0"), std::string::npos) << text;
  EXPECT_NE(text.find(kTree +
                      "/dev/ttyUSB0\n"
                      "    adapter:      FTDI FT232R USB UART, serial number A50285BI "
                      "(USB 0403:6001)\n"
                      "    driver:       ftdi_sio\n"
                      "    stable name:  " +
                      kFtdiStableName + "\n"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace heatdiag::cli
