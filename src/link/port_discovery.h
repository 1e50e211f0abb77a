// The serial ports present on the system as the kernel describes them in sysfs: the device, the
// stable name udev gives it under /dev/serial/by-id (which stays the same when a USB adapter is
// plugged into another socket) and, for USB adapters, the maker, product and serial number.
#pragma once

#include <string>
#include <vector>

namespace heatdiag {

struct PortInfo {
  std::string name;        // the kernel's name, "ttyUSB0"
  std::string device;      // "/dev/ttyUSB0"
  std::string stableName;  // "/dev/serial/by-id/usb-FTDI_..." or empty
  std::string driver;      // "ftdi_sio", "cdc_acm", "serial", ... or empty
  std::string usbId;       // "0403:6001" for USB adapters, else empty
  std::string maker;       // the USB strings, empty when the device has none
  std::string product;
  std::string serial;
};

// Where the tree is read from: the system's, or a copy of one (tests).
struct PortTree {
  std::string sysRoot = "/sys";
  std::string devRoot = "/dev";
};

// Every serial port with hardware behind it (virtual consoles, pseudo-terminals and UART slots
// without a UART are left out), sorted by kind and number: ttyACM0, ttyACM1, ttyS0, ttyUSB0, ...
std::vector<PortInfo> DiscoverPorts(const PortTree& tree = {});

// The device a path stands for: symbolic links (the stable names) followed to their end; any
// other path as it is. Relative link targets are resolved against the link's folder.
std::string ResolvePortDevice(const std::string& path);

// A port named on the command line: a path as it is; a bare name (no '/') as a stable name
// under dev/serial/by-id when there is one of that name, else as a device under dev ("ttyUSB0").
std::string PortPathForName(const std::string& name, const PortTree& tree = {});

// The entry for a path, given as its device or as one of its stable names; nullptr when none.
const PortInfo* FindPort(const std::vector<PortInfo>& ports, const std::string& path);

// "FTDI FT232R USB UART, serial number A50285BI": what the adapter says of itself; empty when
// it says nothing.
std::string AdapterDescription(const PortInfo& port);

}  // namespace heatdiag
