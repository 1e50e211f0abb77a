#include "link/port_discovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>
#include <tuple>

#include "link/fill_in.h"
#include "link/link_texts.h"

namespace heatdiag {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute, without trailing blanks; empty when it cannot be read.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0)
    line.pop_back();
  return line;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// The folder of the USB device (the one with idVendor) above a port's device, within a few levels.
fs::path UsbDeviceFolder(const fs::path& device) {
  std::error_code ec;
  fs::path folder = fs::canonical(device, ec);
  if (ec) return {};
  for (int level = 0; level < 4 && !folder.empty() && folder != folder.root_path(); ++level) {
    if (Exists(folder / "idVendor")) return folder;
    folder = folder.parent_path();
  }
  return {};
}

std::string DriverName(const fs::path& device) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(device / "driver", ec);
  return ec ? std::string() : target.filename().string();
}

// "ttyUSB12" as ("ttyUSB", 12), so that ports sort by number rather than by text.
std::tuple<std::string, long, std::string> SortKey(const std::string& name) {
  std::size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])) != 0) --digits;
  const std::string number = name.substr(digits);
  const long value = number.empty() || number.size() > 9 ? -1 : std::stol(number);
  return {name.substr(0, digits), value, name};
}

// Kernel name -> stable name, from the links under dev/serial/by-id.
std::map<std::string, std::string> StableNames(const fs::path& devRoot) {
  std::map<std::string, std::string> names;
  std::error_code ec;
  fs::directory_iterator it(devRoot / "serial" / "by-id", ec);
  if (ec) return names;
  std::vector<fs::path> links;
  for (const fs::directory_entry& entry : it) links.push_back(entry.path());
  std::sort(links.begin(), links.end());
  for (const fs::path& link : links) {
    const fs::path target = fs::read_symlink(link, ec);
    if (ec) continue;
    // udev links to ../../<kernel name>; the first name per device is kept.
    names.emplace(target.filename().string(), link.string());
  }
  return names;
}

}  // namespace

std::vector<PortInfo> DiscoverPorts(const PortTree& tree) {
  std::vector<PortInfo> ports;
  const fs::path sysRoot(tree.sysRoot);
  const fs::path devRoot(tree.devRoot);
  std::error_code ec;
  fs::directory_iterator it(sysRoot / "class" / "tty", ec);
  if (ec) return ports;
  const std::map<std::string, std::string> stable = StableNames(devRoot);
  for (const fs::directory_entry& entry : it) {
    const fs::path tty = entry.path();
    const fs::path device = tty / "device";
    // Virtual consoles and pseudo-terminals have no device behind them.
    if (!Exists(device)) continue;
    // A UART slot of the serial core without a UART in it reports type 0 (unknown).
    if (Exists(tty / "type") && ReadAttribute(tty / "type") == "0") continue;
    PortInfo port;
    port.name = tty.filename().string();
    port.device = (devRoot / port.name).string();
    if (const auto found = stable.find(port.name); found != stable.end())
      port.stableName = found->second;
    port.driver = DriverName(device);
    if (const fs::path usb = UsbDeviceFolder(device); !usb.empty()) {
      const std::string vendor = ReadAttribute(usb / "idVendor");
      const std::string product = ReadAttribute(usb / "idProduct");
      if (!vendor.empty()) port.usbId = vendor + ":" + product;
      port.maker = ReadAttribute(usb / "manufacturer");
      port.product = ReadAttribute(usb / "product");
      port.serial = ReadAttribute(usb / "serial");
    }
    ports.push_back(std::move(port));
  }
  std::sort(ports.begin(), ports.end(),
            [](const PortInfo& a, const PortInfo& b) { return SortKey(a.name) < SortKey(b.name); });
  return ports;
}

std::string ResolvePortDevice(const std::string& path) {
  fs::path current(path);
  std::error_code ec;
  for (int hop = 0; hop < 16; ++hop) {
    if (!fs::is_symlink(fs::symlink_status(current, ec)) || ec) break;
    const fs::path target = fs::read_symlink(current, ec);
    if (ec) break;
    current = target.is_absolute() ? target : (current.parent_path() / target).lexically_normal();
  }
  return current.string();
}

std::string PortPathForName(const std::string& name, const PortTree& tree) {
  if (name.empty() || name.find('/') != std::string::npos) return name;
  const fs::path stable = fs::path(tree.devRoot) / "serial" / "by-id" / name;
  if (Exists(stable)) return stable.string();
  return (fs::path(tree.devRoot) / name).string();
}

const PortInfo* FindPort(const std::vector<PortInfo>& ports, const std::string& path) {
  if (path.empty()) return nullptr;
  const std::string device = ResolvePortDevice(path);
  for (const PortInfo& port : ports) {
    if (port.device == path || port.device == device || port.stableName == path) return &port;
  }
  return nullptr;
}

std::string AdapterDescription(const PortInfo& port) {
  std::string text = port.maker;
  if (!port.product.empty() && port.product != port.maker) {
    if (!text.empty()) text += ' ';
    text += port.product;
  }
  if (!port.serial.empty()) {
    if (!text.empty()) text += ", ";
    text += FillIn(kTextSerialNumber, {port.serial});
  }
  return text;
}

}  // namespace heatdiag
