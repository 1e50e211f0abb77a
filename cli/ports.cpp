#include "cli/ports.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/string_table.h"
#include "cli/headless_run.h"
#include "cli/subcommand.h"
#include "link/link_texts.h"
#include "link/serial_port.h"

namespace heatdiag::cli {
namespace {

struct ComPort {
  std::uint32_t number;
  std::string path;
  bool usable;
  std::string problem;  // why it cannot be used; empty when usable
};

struct PresentPort {
  PortInfo info;
  std::vector<std::string> com;  // the COM numbers that stand for it
  bool usable;
  std::string problem;
};

// The reason on one line, for the table and JSON alike.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

bool Probe(const std::string& path, std::string& problem) {
  PortOpenError why;
  const bool usable = ProbePort(path, why);
  problem = usable ? std::string() : DescribePortError(why);
  // The ports that are present are the listing itself.
  if (why.failure == PortFailure::kNoSuchDevice) problem = problem.substr(0, problem.find('\n'));
  problem = OneLine(problem);
  return usable;
}

int ListAll(const PortsOptions& options, std::ostream& out) {
  const std::vector<PortInfo> found = DiscoverPorts(options.tree);
  std::vector<ComPort> com;
  std::vector<PresentPort> present;
  for (const PortInfo& info : found) present.push_back({info, {}, false, {}});
  for (std::uint32_t n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
    ComPort port{n, PortPath(n), false, {}};
    port.usable = Probe(port.path, port.problem);
    if (const PortInfo* info = FindPort(found, port.path))
      present[static_cast<std::size_t>(info - found.data())].com.push_back(PortName(n));
    com.push_back(std::move(port));
  }
  for (PresentPort& port : present) port.usable = Probe(port.info.device, port.problem);

  if (options.json) {
    nlohmann::ordered_json result;
    result["com_ports"] = nlohmann::ordered_json::array();
    for (const ComPort& port : com)
      result["com_ports"].push_back({{"port", PortName(port.number)},
                                     {"path", port.path},
                                     {"device", ResolvePortDevice(port.path)},
                                     {"usable", port.usable},
                                     {"problem", port.problem}});
    result["ports"] = nlohmann::ordered_json::array();
    for (const PresentPort& port : present)
      result["ports"].push_back({{"device", port.info.device},
                                 {"stable_name", port.info.stableName},
                                 {"driver", port.info.driver},
                                 {"usb_id", port.info.usbId},
                                 {"maker", port.info.maker},
                                 {"product", port.info.product},
                                 {"serial", port.info.serial},
                                 {"com", port.com},
                                 {"usable", port.usable},
                                 {"problem", port.problem}});
    result["errors"] = nlohmann::ordered_json::array();
    // USB strings need not be UTF-8.
    out << result.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    return kExitOk;
  }

  for (const ComPort& port : com) {
    out << PortName(port.number) << "  " << port.path;
    if (port.usable) {
      out << "  usable\n";
    } else {
      out << "\n      " << port.problem << '\n';
    }
  }
  out << '\n';
  if (present.empty()) out << LoadString(kTextNoPortsPresent) << '\n';
  for (const PresentPort& port : present) {
    out << port.info.device;
    for (const std::string& name : port.com) out << "  " << name;
    out << '\n';
    const std::string adapter = AdapterDescription(port.info);
    if (!adapter.empty() || !port.info.usbId.empty()) {
      out << "    adapter:      " << adapter;
      if (!port.info.usbId.empty())
        out << (adapter.empty() ? "" : " ") << "(USB " << port.info.usbId << ')';
      out << '\n';
    }
    if (!port.info.driver.empty()) out << "    driver:       " << port.info.driver << '\n';
    if (!port.info.stableName.empty()) out << "    stable name:  " << port.info.stableName << '\n';
    out << "    state:        " << (port.usable ? "usable" : port.problem) << '\n';
  }
  return kExitOk;
}

}  // namespace

int RunPorts(const PortsOptions& options, SettingsBackend& store, std::ostream& out,
             std::ostream& err) {
  // The run loads the user's port paths and puts the previous ones back at the end.
  HeadlessRun run(&store, err);
  return ListAll(options, out);
}

int RunPorts(const PortsOptions& options, std::ostream& out, std::ostream& err) {
  HeadlessRun run(nullptr, err);
  return ListAll(options, out);
}

Subcommand AddPortsCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<PortsOptions>();
  CLI::App* command = app.add_subcommand(
      "ports", "List the serial ports present and the device each COM number stands for");
  command->add_flag("--json", options->json, "One JSON object on standard output");
  return {command, [options, &store](std::ostream& out, std::ostream& err) {
            return RunPorts(*options, store, out, err);
          }};
}

}  // namespace heatdiag::cli
