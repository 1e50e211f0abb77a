// heatsim: a virtual heater (the H-Bus unit of D00 or the keyword-link unit of D06) on a
// pseudo-terminal, for trying the tester without hardware and for testing it. Prints the terminal's
// path as its first line and serves until SIGINT or SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "scenario.h"
#include "virtual_heater.h"

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = write(g_signalPipe[1], &byte, 1);
}

// "57" or "57.02" (hex): a command and optionally the byte after it.
bool ParseRequest(const std::string& text, int* command, int* index) {
  const auto hexByte = [](const std::string& s, int* out) {
    if (s.empty() || s.size() > 2) return false;
    for (const char c : s) {
      if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    *out = std::stoi(s, nullptr, 16);
    return true;
  };
  const auto dot = text.find('.');
  *index = -1;
  if (dot == std::string::npos) return hexByte(text, command);
  return hexByte(text.substr(0, dot), command) && hexByte(text.substr(dot + 1), index);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"heatsim: a virtual heater (H-Bus or keyword link) on a pseudo-terminal"};
  std::string scenario;
  std::string version;
  std::string device;
  int latencyMs = -1;
  bool lineRate = false;
  bool verbose = false;
  bool noReply = false;
  int lateMs = 0;
  bool badChecksum = false;
  bool wrongEcho = false;
  int garbage = 0;
  std::vector<std::string> naks;
  int powerOffAfter = -1;
  int unplugAfter = -1;
  std::string faultCommand;
  int faultTimes = -1;
  int faultAfter = 0;
  bool listScenarios = false;
  std::string printScenario;

  std::string names;
  for (const std::string& n : heatsim::BuiltInScenarioNames())
    names += (names.empty() ? "" : ", ") + n;
  auto* scenarioOpt =
      app.add_option("--scenario", scenario, "scenario file (JSON) or built-in scenario: " + names);
  app.add_option("--version", version, "protocol version of a built-in unit")
      ->check(CLI::IsMember({"1.5", "3.0", "3.1", "3.2"}))
      ->excludes(scenarioOpt);
  app.add_option("--device", device,
                 "device record the unit answers as: D00 (the H-Bus unit, default) or D06 (the "
                 "water heater unit on the keyword link, 10400 baud 8N1)")
      ->check(CLI::IsMember({"D00", "D06"}, CLI::ignore_case));
  app.add_option("--latency-ms", latencyMs, "reply latency after a request, ms")
      ->check(CLI::Range(0, 60000));
  app.add_flag("--line-rate", lineRate, "pace every byte at its line time");
  app.add_flag("-v,--verbose", verbose, "log what is received and sent to standard error");

  const std::string faults = "Fault injection";
  app.add_flag("--no-reply", noReply, "echo only, the unit does not answer")->group(faults);
  app.add_option("--late-reply", lateMs, "answer this many ms late")
      ->check(CLI::Range(1, 60000))
      ->group(faults);
  app.add_flag("--bad-checksum", badChecksum, "answers carry a wrong checksum")->group(faults);
  app.add_flag("--wrong-echo", wrongEcho, "the echo differs from the request")->group(faults);
  app.add_option("--garbage", garbage, "this many random bytes follow each answer")
      ->check(CLI::Range(1, 64))
      ->group(faults);
  app.add_option("--nak", naks,
                 "refuse a request: CMD[.INDEX]=CODE in hex, e.g. 57.03=22 (D06: service and "
                 "local identifier, e.g. 21.81=22)")
      ->group(faults);
  app.add_option("--power-off-after", powerOffAfter, "the unit goes silent after N requests")
      ->check(CLI::Range(0, 1000000000))
      ->group(faults);
  app.add_option("--unplug-after", unplugAfter, "the terminal closes after N requests")
      ->check(CLI::Range(0, 1000000000))
      ->group(faults);
  app.add_option("--fault-command", faultCommand,
                 "limit the switches above (not --nak) to this request, CMD[.INDEX] in hex")
      ->group(faults);
  app.add_option("--fault-times", faultTimes, "act on this many matching requests only")
      ->check(CLI::Range(1, 1000000))
      ->group(faults);
  app.add_option("--fault-after", faultAfter, "start acting after this many requests")
      ->check(CLI::Range(0, 1000000000))
      ->group(faults);
  app.add_flag("--list-scenarios", listScenarios, "list the built-in scenarios and exit");
  app.add_option("--print-scenario", printScenario,
                 "print a built-in scenario as JSON (a starting point for a file) and exit");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version text end well; any other parse error is a bad command line.
    return app.exit(e) == 0 ? 0 : 2;
  }

  if (listScenarios) {
    for (const std::string& n : heatsim::BuiltInScenarioNames()) std::cout << n << '\n';
    return 0;
  }
  if (!printScenario.empty()) {
    const std::string_view json = heatsim::BuiltInScenarioJson(printScenario);
    if (json.empty()) {
      std::cerr << "heatsim: no built-in scenario \"" << printScenario << "\"\n";
      return 1;
    }
    std::cout << json << '\n';
    return 0;
  }

  heatsim::Family family = heatsim::Family::kHBus;
  if (!device.empty() && heatsim::ParseFamily(device, &family) &&
      family == heatsim::Family::kKeyword && !version.empty()) {
    std::cerr << "heatsim: --version chooses an H-Bus unit; it does not go with --device " << device
              << '\n';
    return 2;
  }

  heatsim::VirtualHeaterOptions options;
  options.scenario = version.empty() ? scenario : "v" + version;
  options.device = device;
  if (latencyMs >= 0) options.latencyMs = latencyMs;
  options.lineRate = lineRate;

  int command = -1;
  int index = -1;
  if (!faultCommand.empty() && !ParseRequest(faultCommand, &command, &index)) {
    std::cerr << "heatsim: --fault-command: \"" << faultCommand
              << "\" is no request (write CMD or CMD.INDEX in hex, e.g. 50.05)\n";
    return 2;
  }
  const auto add = [&](heatsim::FaultKind kind, int value) {
    heatsim::FaultRule rule;
    rule.kind = kind;
    rule.command = command;
    rule.index = index;
    rule.times = faultTimes;
    rule.after = faultAfter;
    rule.value = value;
    options.faults.push_back(rule);
  };
  if (noReply) add(heatsim::FaultKind::kNoReply, 0);
  if (lateMs > 0) add(heatsim::FaultKind::kLateReply, lateMs);
  if (badChecksum) add(heatsim::FaultKind::kBadChecksum, 0);
  if (wrongEcho) add(heatsim::FaultKind::kWrongEcho, 0);
  if (garbage > 0) add(heatsim::FaultKind::kGarbage, garbage);
  for (const std::string& nak : naks) {
    const auto equals = nak.find('=');
    heatsim::FaultRule rule;
    rule.kind = heatsim::FaultKind::kNak;
    int code = -1;
    int unused = -1;
    if (equals == std::string::npos ||
        !ParseRequest(nak.substr(0, equals), &rule.command, &rule.index) ||
        !ParseRequest(nak.substr(equals + 1), &code, &unused) || unused != -1) {
      std::cerr << "heatsim: --nak: \"" << nak
                << "\" is no refusal (write CMD[.INDEX]=CODE in hex, e.g. 57.03=22)\n";
      return 2;
    }
    rule.value = code;
    options.faults.push_back(rule);
  }
  if (powerOffAfter >= 0) {
    options.faults.push_back({heatsim::FaultKind::kPowerOff, -1, -1, 1, powerOffAfter, 0});
  }
  if (unplugAfter >= 0) {
    options.faults.push_back({heatsim::FaultKind::kUnplug, -1, -1, 1, unplugAfter, 0});
  }

  const auto started = std::chrono::steady_clock::now();
  if (verbose) {
    options.log = [started](std::string_view line) {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
      std::fprintf(stderr, "[%7lld.%03lld] %.*s\n", static_cast<long long>(ms / 1000),
                   static_cast<long long>(ms % 1000), static_cast<int>(line.size()), line.data());
    };
  }

  if (pipe(g_signalPipe) != 0) {
    std::perror("heatsim: pipe");
    return 1;
  }
  for (const int fd : g_signalPipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A tester that goes away must not take the heater with it.
  signal(SIGPIPE, SIG_IGN);

  std::string error;
  const auto heater = heatsim::VirtualHeater::Start(options, &error);
  if (!heater) {
    std::cerr << "heatsim: " << error << '\n';
    return 1;
  }
  std::cout << heater->PtyPath() << std::endl;

  for (;;) {
    pollfd p{g_signalPipe[0], POLLIN, 0};
    if (poll(&p, 1, 200) > 0) break;
    if (heater->Unplugged()) {
      std::cerr << "heatsim: adapter unplugged, terminal closed\n";
      break;
    }
  }
  heater->Stop();
  return 0;
}
