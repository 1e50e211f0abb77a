// heatdiag-cli mode, component, prime, calibrate, co2 and telegram: the service functions of the
// desktop program on the command line. Each runs a diagnosis session, acts once the connection
// pass is complete, reports what the unit answered and switches off what it switched on.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>

#include "base/string_table.h"
#include "cli/service_session.h"
#include "cli/subcommand.h"
#include "drivers/driver_functions.h"
#include "service/calibration.h"
#include "service/co2_worker.h"
#include "service/component_test.h"
#include "service/free_telegram_input.h"
#include "service/fuel_prime.h"
#include "service/service_texts.h"
#include "service/thread_prompt.h"

namespace heatdiag::cli {
namespace {

using nlohmann::ordered_json;
using namespace std::chrono_literals;

// H-Bus command bytes of the requests whose answers the subcommands wait for.
constexpr std::uint8_t kHeaterOffCommand = 0x10;
constexpr std::uint8_t kServiceCommand = 0x42;  // calibrations and fuel prime, by index
constexpr std::uint8_t kVoltageIndex = 0x01;
constexpr std::uint8_t kResistanceIndex = 0x02;
constexpr std::uint8_t kFuelPrimeIndex = 0x03;
const std::vector<std::uint8_t> kComponentCommands = {0x45, 0x60};

// The unit primes in steps of two seconds, one byte of them.
constexpr std::uint32_t kMaxPrimeSeconds = 510;

struct Mode {
  const char* name;
  std::uint32_t mode;       // SetOperatingMode
  DriverFunction function;  // IsFunctionAvailable
  std::uint8_t command;     // the telegram
};

// clang-format off
constexpr Mode kModes[] = {
    {"off", 0, kFnOff, kHeaterOffCommand},
    {"on", 1, kFnOn, 0x20},
    {"parking", 2, kFnParkingHeating, 0x21},
    {"supplemental", 3, kFnSupplementalHeating, 0x23},
    {"ventilating", 4, kFnVentilating, 0x22},
    {"boost", 5, kFnBoost, 0x25},
    {"pump", 6, kFnPumpExternal, 0x24},
};
// clang-format on

// One line for the terminal: the message texts keep their line feeds.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

bool Available(const ServiceSession& session, std::uint32_t function) {
  return session.Driver().IsFunctionAvailable(function) != 0;
}

// The answer in words, with the unit's refusal text when there is one.
std::string Outcome(const AnswerSeen& seen) {
  std::string text = AnswerName(seen.answer);
  if (seen.answer == Answer::kRefused) {
    if (!seen.message.empty())
      text += ": " + OneLine(seen.message);
    else if (seen.reply.size() >= 16)
      text += " (code " + seen.reply.substr(13, 2) + ")";  // "Rx: 4F 03 7F cc"
  }
  return text;
}

ExpectedTelegram Request(std::vector<std::uint8_t> commands,
                         std::optional<std::uint8_t> index = std::nullopt) {
  ExpectedTelegram expected;
  expected.commands = std::move(commands);
  expected.index = index;
  return expected;
}

ordered_json AnswerJson(const AnswerSeen& seen) {
  return {{"answer", AnswerName(seen.answer)},
          {"request", seen.request},
          {"reply", seen.reply},
          {"message", seen.message}};
}

int Report(ServiceSession& session, std::ostream& out, bool json, ordered_json result, int status) {
  if (!session.Settle()) session.Note("The link to the control unit was lost.");
  session.Finish();
  if (json) session.PrintJson(out, std::move(result));
  return status;
}

bool IsTerminal(const std::ostream& out) {
  return &out == &std::cout && ::isatty(STDOUT_FILENO) != 0;
}

// --- mode ----------------------------------------------------------------------------------

struct ModeOptions : ServiceOptions {
  std::string mode;
  int seconds = 0;
  bool keep = false;
};

int RunMode(const ModeOptions& options, SettingsBackend& store, std::ostream& out,
            std::ostream& err) {
  const Mode* mode = nullptr;
  for (const Mode& m : kModes)
    if (options.mode == m.name) mode = &m;
  if (mode == nullptr || options.seconds < 0) {
    err << "Give a mode (off, on, parking, supplemental, ventilating, boost, pump) and "
           "--seconds not below 0.\n";
    return kExitUsage;
  }
  ServiceSession session(options, store, err);
  if (const std::optional<int> status = session.Open()) return *status;
  ordered_json result = {{"command", "mode"}, {"mode", mode->name}};
  if (!Available(session, mode->function)) {
    session.Note(std::string("The unit does not offer the operating mode ") + mode->name + ".");
    return Report(session, out, options.json, result, kExitFailed);
  }
  std::size_t mark = session.Mark();
  session.Driver().SetOperatingMode(mode->mode);
  // Ctrl-C now still waits for the answer: a mode that went on is switched off again.
  const AnswerSeen seen = session.AwaitAnswer(mark, Request({mode->command}), false);
  result["switch"] = AnswerJson(seen);
  if (!options.json) out << "Operating mode " << mode->name << ": " << Outcome(seen) << '\n';
  const bool accepted = seen.answer == Answer::kAccepted;
  if (accepted && mode->mode != 0) {
    if (options.seconds > 0) session.Keep(std::chrono::seconds(options.seconds));
    result["current"] = session.Driver().GetOperatingMode();
    if (!options.keep && session.SessionActive()) {
      mark = session.Mark();
      session.Driver().SetOperatingMode(0);
      const AnswerSeen off = session.AwaitAnswer(mark, Request({kHeaterOffCommand}), false);
      result["off"] = AnswerJson(off);
      if (!options.json) out << "Switched off again: " << Outcome(off) << '\n';
    }
  }
  return Report(session, out, options.json, result, ExitOf(seen.answer));
}

// --- component -----------------------------------------------------------------------------

// The boxes of a driver's guided test on the terminal: the instruction, then Enter for OK or
// "c" for Cancel. Without input (end of file) the answer is Cancel.
class TerminalPrompt final : public service::PromptPresenter {
 public:
  TerminalPrompt(std::istream& in, std::ostream& out) : in_(in), out_(out) {
    service::SetPromptPresenter(this);
  }
  ~TerminalPrompt() override { service::SetPromptPresenter(nullptr); }
  TerminalPrompt(const TerminalPrompt&) = delete;
  TerminalPrompt& operator=(const TerminalPrompt&) = delete;

  bool Prompt(std::string_view caption, std::string_view text, service::PromptButtons buttons,
              service::PromptIcon) override {
    const bool cancellable = buttons == service::PromptButtons::kOkCancel;
    out_ << caption << ": " << text << (cancellable ? "\n[Enter: OK, c: Cancel] " : "\n[Enter] ")
         << std::flush;
    std::string line;
    if (!std::getline(in_, line)) return false;
    return !cancellable || (line != "c" && line != "C");
  }

 private:
  std::istream& in_;
  std::ostream& out_;
};

struct ComponentOptions : ServiceOptions {
  std::string component;
  std::string value;
  std::string runTime;
  int seconds = -1;  // how long it stays on; -1: its run time
  bool list = false;
  bool keep = false;
};

ordered_json ListJson(const ComponentList& list) {
  ordered_json entries = ordered_json::array();
  for (std::size_t i = 0; i < kComponentEntries; ++i) {
    if (!service::ComponentExists(list, i)) continue;
    entries.push_back({{"index", i},
                       {"name", service::ComponentName(list, i)},
                       {"unit", service::ComponentUnit(list, i)},
                       {"decimals", list.decimals[i]},
                       {"divisor", list.divisors[i]},
                       {"setValue", service::TakesSetValue(list, i)}});
  }
  return entries;
}

void PrintList(std::ostream& out, const ComponentList& list) {
  out << "Index  Component                                 Set value\n";
  for (std::size_t i = 0; i < kComponentEntries; ++i) {
    if (!service::ComponentExists(list, i)) continue;
    out << std::setw(5) << i << "  " << std::left << std::setw(40)
        << service::ComponentName(list, i) << std::right << "  ";
    if (service::TakesSetValue(list, i))
      out << service::ComponentUnit(list, i) << " (" << list.decimals[i] << " decimals)";
    out << '\n';
  }
  out << "Run time: " << (list.runTimeAvailable != 0 ? "taken (--run-time S)" : "not taken")
      << '\n';
}

int RunComponent(const ComponentOptions& options, SettingsBackend& store, std::ostream& out,
                 std::ostream& err) {
  if (options.list == !options.component.empty()) {
    err << "Give a component (name or index) or --list.\n";
    return kExitUsage;
  }
  ServiceSession session(options, store, err);
  if (const std::optional<int> status = session.Open()) return *status;
  ordered_json result = {{"command", "component"}};
  const DeviceDriver& driver = session.Driver();
  if (Available(session, kFnOwnComponentTest)) {
    // The driver's guided test asks its questions through the frame's boxes: here the terminal.
    const TerminalPrompt prompt(std::cin, err);
    driver.RunOwnComponentTest();
    result["guided"] = true;
    if (!options.json) out << "The driver's guided component test has ended.\n";
    return Report(session, out, options.json, result, kExitOk);
  }
  if (!Available(session, kFnComponentTest)) {
    session.Note("The unit does not offer the component test.");
    return Report(session, out, options.json, result, kExitFailed);
  }
  service::Readiness readiness = service::ReadinessOf(driver.RunOwnComponentTest());
  for (int polls = 0; readiness == service::Readiness::kUnknown && polls < 50; ++polls) {
    if (polls == 0) session.Note(LoadString(service::kTextPleaseWait));
    if (!session.Keep(200ms)) break;
    readiness = service::ReadinessOf(driver.RunOwnComponentTest());
  }
  ComponentList list;
  driver.GetComponentList(&list);
  result["ready"] = readiness == service::Readiness::kReady;
  if (options.list) {
    result["components"] = ListJson(list);
    result["runTime"] = list.runTimeAvailable != 0;
    if (!options.json) PrintList(out, list);
    return Report(session, out, options.json, result, kExitOk);
  }
  const std::optional<std::size_t> index = service::FindComponent(list, options.component);
  if (!index) {
    session.Note("The unit has no component \"" + options.component + "\" (see --list).");
    return Report(session, out, options.json, result, kExitUsage);
  }
  const service::PreparedStart prepared =
      service::PrepareComponentStart(list, *index, options.value, options.runTime);
  if (prepared.input != service::ComponentInput::kOk) {
    session.Note(LoadString(service::MessageOf(prepared.input)));
    return Report(session, out, options.json, result, kExitUsage);
  }
  if (prepared.request.runTime > service::kMaxComponentRunTime) {
    session.Note("The run time is at most 255 s.");
    return Report(session, out, options.json, result, kExitUsage);
  }
  if (readiness != service::Readiness::kReady) {
    session.Note(OneLine(LoadString(service::kTextComponentNotPossible)));
    return Report(session, out, options.json, result, kExitFailed);
  }
  const service::ComponentRequest& request = prepared.request;
  result["component"] = {{"index", request.index},
                         {"name", service::ComponentName(list, request.index)},
                         {"value", request.value},
                         {"runTime", request.runTime}};
  std::size_t mark = session.Mark();
  if (driver.StartComponent(request.index, request.value, request.runTime) == 0) {
    session.Note("The component test request could not be placed.");
    return Report(session, out, options.json, result, kExitFailed);
  }
  const AnswerSeen seen = session.AwaitAnswer(mark, Request(kComponentCommands), false);
  result["start"] = AnswerJson(seen);
  if (!options.json)
    out << service::ComponentName(list, request.index) << ": " << Outcome(seen) << '\n';
  if (seen.answer == Answer::kAccepted && request.index != 0) {
    const int seconds = options.seconds >= 0 ? options.seconds : static_cast<int>(request.runTime);
    if (seconds > 0) session.Keep(std::chrono::seconds(seconds));
  }
  if (seen.answer != Answer::kLinkEnded && request.index != 0 && !options.keep &&
      session.SessionActive()) {
    mark = session.Mark();
    driver.StopComponentTest();
    const AnswerSeen off = session.AwaitAnswer(mark, Request(kComponentCommands), false);
    result["off"] = AnswerJson(off);
    if (!options.json) out << "All off: " << Outcome(off) << '\n';
  }
  return Report(session, out, options.json, result, ExitOf(seen.answer));
}

// --- prime ---------------------------------------------------------------------------------

struct PrimeOptions : ServiceOptions {
  std::optional<std::uint32_t> seconds;
  bool stop = false;
  bool keep = false;
};

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

AnswerSeen StopPriming(ServiceSession& session) {
  const std::size_t mark = session.Mark();
  session.Driver().StartFuelPrime(0);
  return session.AwaitAnswer(mark, Request({kServiceCommand}, kFuelPrimeIndex), false);
}

int RunPrime(const PrimeOptions& options, SettingsBackend& store, std::ostream& out,
             std::ostream& err) {
  if (options.stop == options.seconds.has_value()) {
    err << "Give the prime time in seconds or --stop.\n";
    return kExitUsage;
  }
  if (options.seconds && *options.seconds > kMaxPrimeSeconds) {
    err << "The prime time is at most " << kMaxPrimeSeconds << " s.\n";
    return kExitUsage;
  }
  ServiceSession session(options, store, err);
  if (const std::optional<int> status = session.Open()) return *status;
  ordered_json result = {{"command", "prime"}};
  if (!Available(session, kFnFuelPrime)) {
    session.Note("The unit does not offer fuel prime.");
    return Report(session, out, options.json, result, kExitFailed);
  }
  if (options.stop) {
    const AnswerSeen seen = StopPriming(session);
    result["stop"] = AnswerJson(seen);
    if (!options.json) out << "Stop fuel prime: " << Outcome(seen) << '\n';
    return Report(session, out, options.json, result, ExitOf(seen.answer));
  }
  const std::uint32_t fillTime = *options.seconds;
  ProgramSettings().fillTime = static_cast<std::int32_t>(fillTime);
  result["seconds"] = fillTime;
  const std::size_t mark = session.Mark();
  const bool placed = session.Driver().StartFuelPrime(fillTime) != 0;
  const AnswerSeen seen =
      placed ? session.AwaitAnswer(mark, Request({kServiceCommand}, kFuelPrimeIndex), false)
             : AnswerSeen{};
  result["start"] = AnswerJson(seen);
  service::FuelPrimeCountdown countdown;
  service::FuelPrimeView view =
      countdown.Started(seen.answer == Answer::kAccepted, fillTime, NowMs());
  session.Note(LoadString(countdown.Running() ? service::kTextFuelPrimeStarted
                                              : service::kTextFuelPrimeRefused));
  if (!countdown.Running()) {
    if (!options.json) out << "Fuel prime: " << Outcome(seen) << '\n';
    return Report(session, out, options.json, result, kExitFailed);
  }
  const bool terminal = !options.json && IsTerminal(out);
  std::uint32_t shown = 0;
  bool stopped = false;
  while (countdown.Running()) {
    if (terminal && view.seconds != shown) {
      shown = view.seconds;
      out << "\rPriming: " << std::setw(3) << shown << " s left " << std::flush;
    }
    if (!session.Keep(100ms)) {
      stopped = true;
      break;
    }
    view = countdown.Tick(fillTime, NowMs());
  }
  if (terminal) out << '\n';
  int status = kExitOk;
  if (stopped && session.Interrupted() && !options.keep) {
    const AnswerSeen stop = StopPriming(session);
    result["stop"] = AnswerJson(stop);
    if (!options.json) out << "Interrupted; stop fuel prime: " << Outcome(stop) << '\n';
  } else if (stopped && !session.Interrupted()) {
    session.Note("The session ended while priming.");
    status = kExitFailed;
  } else if (!options.json) {
    out << "Fuel prime of " << fillTime << " s " << (stopped ? "left running" : "done") << ".\n";
  }
  return Report(session, out, options.json, result, status);
}

// --- calibrate -----------------------------------------------------------------------------

struct CalibrateOptions : ServiceOptions {
  std::string what;
  std::string value;
};

int RunCalibrate(const CalibrateOptions& options, SettingsBackend& store, std::ostream& out,
                 std::ostream& err) {
  const service::Calibration calibration =
      options.what == "voltage" ? service::Calibration::kVoltage : service::Calibration::kGlowPlug;
  const std::optional<std::uint16_t> milli =
      service::ParseCalibrationEntry(calibration, options.value);
  if (!milli) {
    err << OneLine(LoadString(service::RangeOf(calibration).messageId)) << '\n';
    return kExitUsage;
  }
  ServiceSession session(options, store, err);
  if (const std::optional<int> status = session.Open()) return *status;
  const bool voltage = calibration == service::Calibration::kVoltage;
  ordered_json result = {{"command", "calibrate"}, {"what", options.what}, {"milli", *milli}};
  if (!Available(session, voltage ? kFnVoltageAdjustment : kFnFlameSensorAdjustment)) {
    session.Note("The unit does not offer this calibration.");
    return Report(session, out, options.json, result, kExitFailed);
  }
  const std::size_t mark = session.Mark();
  if (!service::SendCalibration(calibration, *milli)) {
    session.Note("No session runs.");
    return Report(session, out, options.json, result, kExitFailed);
  }
  const AnswerSeen seen = session.AwaitAnswer(
      mark, Request({kServiceCommand}, voltage ? kVoltageIndex : kResistanceIndex));
  result["send"] = AnswerJson(seen);
  if (!options.json)
    out << (voltage ? "Supply voltage " : "Glow plug resistance ") << service::FormatMilli(*milli)
        << (voltage ? " V: " : " Ohm: ") << Outcome(seen) << '\n';
  return Report(session, out, options.json, result, ExitOf(seen.answer));
}

// --- co2 -----------------------------------------------------------------------------------

struct Co2Options : ServiceOptions {
  bool cold = false;
  std::string set;
};

std::string Hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", value & 0xFF);
  return text;
}

int RunCo2(const Co2Options& options, SettingsBackend& store, std::ostream& out,
           std::ostream& err) {
  std::optional<std::uint8_t> wanted;
  if (!options.set.empty()) {
    wanted = service::ParseHexAddress(options.set);
    if (!wanted) {
      err << "The CO2 value is one hexadecimal byte (00 to FF).\n";
      return kExitUsage;
    }
  }
  ServiceSession session(options, store, err);
  if (const std::optional<int> status = session.Open()) return *status;
  ordered_json result = {{"command", "co2"}, {"cold", options.cold}};
  if (!Available(session, options.cold ? kFnCo2Cold : kFnCo2)) {
    session.Note("The unit does not offer this CO2 adjustment.");
    return Report(session, out, options.json, result, kExitFailed);
  }
  if (!wanted) {
    std::uint8_t lowest = 0;
    std::uint8_t highest = 0;
    std::uint8_t current = 0;
    session.Driver().GetCo2Range(&lowest, &highest, &current);
    if (lowest == 0 && highest == 0 && current == 0) {
      session.Note("The unit delivered no CO2 values.");
      return Report(session, out, options.json, result, kExitFailed);
    }
    result["lowest"] = Hex(lowest);
    result["highest"] = Hex(highest);
    result["value"] = Hex(current);
    if (!options.json)
      out << "CO2 range " << Hex(lowest) << " to " << Hex(highest) << ", value " << Hex(current)
          << '\n';
    return Report(session, out, options.json, result, kExitOk);
  }
  // The command line stands in for the adjustment dialog: it puts in the value before the
  // worker sends the first one, and closes once the unit has answered. The worker may outlive
  // this function (a stop that did not end in time): what it calls back holds its own state.
  struct Stand {
    std::atomic<service::Co2Request*> dialog{nullptr};
    std::atomic<bool> outOfRange{false};
    std::atomic<bool> refused{false};
  };
  const auto stand = std::make_shared<Stand>();
  const std::uint8_t value = *wanted;
  service::Co2Worker worker({[stand, value](service::Co2Request* request) {
                               if (value < request->lowest.load() ||
                                   value > request->highest.load()) {
                                 stand->outOfRange = true;
                                 request->closed = 1;
                               } else {
                                 request->value = value;
                               }
                               stand->dialog = request;
                             },
                             [stand] { stand->refused = true; }});
  worker.Start();
  service::SetCo2Command(options.cold ? service::kCo2Cold : service::kCo2Normal);
  const auto settled = [&stand] {
    service::Co2Request* request = stand->dialog.load();
    return stand->refused.load() ||
           (request != nullptr && (request->closed.load() != 0 || request->accepted.load() > 0 ||
                                   request->abort.load() != 0));
  };
  session.Frame().WaitForProtocol([&](const std::vector<ProtocolEntry>&) { return settled(); },
                                  std::chrono::seconds(30));
  if (service::Co2Request* request = stand->dialog.load()) {
    result["lowest"] = Hex(request->lowest.load());
    result["highest"] = Hex(request->highest.load());
    request->closed = 1;
  }
  // The worker ends the adjustment; a lost link ends it too.
  session.Frame().WaitForProtocol(
      [&](const std::vector<ProtocolEntry>&) {
        return service::Co2Command() == service::kCo2Idle && !worker.Adjusting();
      },
      std::chrono::seconds(10), false);
  const bool outOfRange = stand->outOfRange.load();
  const bool refused = stand->refused.load();
  service::Co2Request* request = stand->dialog.load();
  const bool accepted = request != nullptr && !outOfRange && request->accepted.load() > 0;
  worker.Stop();
  service::SetCo2Command(service::kCo2Idle);
  result["value"] = Hex(*wanted);
  result["accepted"] = accepted;
  int status = accepted ? kExitOk : kExitFailed;
  if (outOfRange) {
    session.Note("The CO2 value " + Hex(*wanted) + " is outside the unit's range " +
                 result.value("lowest", "") + " to " + result.value("highest", "") + ".");
    status = kExitUsage;
  } else if (refused || !accepted) {
    session.Note(OneLine(LoadString(service::kTextCo2NotPossible)));
  }
  if (!options.json)
    out << "CO2 value " << Hex(*wanted) << ": " << (accepted ? "accepted" : "not accepted") << '\n';
  return Report(session, out, options.json, result, status);
}

// --- telegram ------------------------------------------------------------------------------

struct TelegramOptions : ServiceOptions {
  std::string to;
  std::string from;
  std::vector<std::string> bytes;
};

int RunTelegram(const TelegramOptions& options, SettingsBackend& store, std::ostream& out,
                std::ostream& err) {
  std::string data;
  for (const std::string& piece : options.bytes) data += piece + " ";
  const std::optional<std::vector<std::uint8_t>> bytes = service::ParseHexData(data);
  std::optional<std::uint8_t> to;
  std::optional<std::uint8_t> from;
  if (!options.to.empty()) to = service::ParseHexAddress(options.to);
  if (!options.from.empty()) from = service::ParseHexAddress(options.from);
  if (!bytes || (!options.to.empty() && !to) || (!options.from.empty() && !from)) {
    err << OneLine(LoadString(service::kTextTelegramNotPlausible)) << '\n';
    return kExitUsage;
  }
  ServiceSession session(options, store, err);
  if (const std::optional<int> status = session.Open()) return *status;
  ordered_json result = {{"command", "telegram"}};
  if (!Available(session, kFnFreeTelegram)) {
    session.Note("The unit does not offer the free telegram input.");
    return Report(session, out, options.json, result, kExitFailed);
  }
  FreeTelegram telegram = service::FromSettingsBlock(ProgramSettings().freeTele);
  std::uint8_t defaults[2] = {0, 0};
  const bool haveDefaults = session.Driver().GetDefaultAddresses(defaults) != 0;
  telegram.deviceAddress = to.value_or(haveDefaults ? defaults[0] : telegram.deviceAddress);
  telegram.sourceAddress = from.value_or(haveDefaults ? defaults[1] : telegram.sourceAddress);
  telegram.length = static_cast<std::uint16_t>(bytes->size());
  telegram.data.fill(0);
  std::copy(bytes->begin(), bytes->end(), telegram.data.begin());
  ProgramSettings().freeTele = service::ToSettingsBlock(telegram);
  result["to"] = service::FormatAddress(telegram.deviceAddress);
  result["from"] = service::FormatAddress(telegram.sourceAddress);
  result["data"] = service::FormatData(telegram);
  const std::size_t mark = session.Mark();
  if (session.Driver().SendFreeTelegram(&telegram) == 0) {
    session.Note("The driver cannot send this telegram.");
    return Report(session, out, options.json, result, kExitFailed);
  }
  ExpectedTelegram expected;
  expected.header =
      static_cast<std::uint8_t>((telegram.sourceAddress << 4) | (telegram.deviceAddress & 0x0F));
  expected.dataLength = telegram.length;
  if (telegram.length > 0) expected.commands = {telegram.data[0]};
  const AnswerSeen seen = session.AwaitAnswer(mark, expected);
  result["exchange"] = AnswerJson(seen);
  if (!options.json) {
    if (!seen.request.empty()) out << seen.request << '\n';
    if (!seen.reply.empty()) out << seen.reply << '\n';
    out << "Answer: " << Outcome(seen) << '\n';
  }
  return Report(session, out, options.json, result, ExitOf(seen.answer));
}

}  // namespace

Subcommand AddModeCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<ModeOptions>();
  CLI::App* command = app.add_subcommand("mode", "Switch the heater's operating mode");
  std::vector<std::string> names;
  for (const Mode& m : kModes) names.emplace_back(m.name);
  command
      ->add_option("MODE", options->mode,
                   "off, on, parking, supplemental, ventilating, boost, pump")
      ->required()
      ->check(CLI::IsMember(names));
  command->add_option("--seconds", options->seconds, "Keep the mode this long, then switch off");
  command->add_flag("--keep", options->keep, "Leave the mode on at the end");
  const std::function<void()> complete = AddServiceOptions(*command, *options);
  return {command, [options, complete, &store](std::ostream& out, std::ostream& err) {
            complete();
            return RunMode(*options, store, out, err);
          }};
}

Subcommand AddComponentCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<ComponentOptions>();
  CLI::App* command = app.add_subcommand("component", "Component test: switch one component on");
  command->add_option("COMPONENT", options->component,
                      "Name or index of the component (0: all off)");
  command->add_flag("--list", options->list, "List the unit's components");
  command->add_option("--value", options->value, "Set value (comma or point for decimals)");
  command->add_option("--run-time", options->runTime, "Run time in seconds");
  command->add_option("--seconds", options->seconds,
                      "Keep it on this long before all off (default: the run time)");
  command->add_flag("--keep", options->keep, "Do not switch all off at the end");
  const std::function<void()> complete = AddServiceOptions(*command, *options);
  return {command, [options, complete, &store](std::ostream& out, std::ostream& err) {
            complete();
            return RunComponent(*options, store, out, err);
          }};
}

Subcommand AddPrimeCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<PrimeOptions>();
  CLI::App* command = app.add_subcommand("prime", "Fuel prime: run the metering pump");
  command->add_option("SECONDS", options->seconds, "Prime time in seconds");
  command->add_flag("--stop", options->stop, "Stop a fuel prime in progress");
  command->add_flag("--keep", options->keep, "On Ctrl-C leave the unit priming");
  const std::function<void()> complete = AddServiceOptions(*command, *options);
  return {command, [options, complete, &store](std::ostream& out, std::ostream& err) {
            complete();
            return RunPrime(*options, store, out, err);
          }};
}

Subcommand AddCalibrateCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<CalibrateOptions>();
  CLI::App* command = app.add_subcommand(
      "calibrate", "Tell the unit the measured supply voltage or glow plug resistance");
  command->add_option("WHAT", options->what, "voltage or glow-plug")
      ->required()
      ->check(CLI::IsMember({"voltage", "glow-plug"}));
  command->add_option("VALUE", options->value, "Volts or ohms, up to three decimals")->required();
  const std::function<void()> complete = AddServiceOptions(*command, *options);
  return {command, [options, complete, &store](std::ostream& out, std::ostream& err) {
            complete();
            return RunCalibrate(*options, store, out, err);
          }};
}

Subcommand AddCo2Command(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<Co2Options>();
  CLI::App* command =
      app.add_subcommand("co2", "Read the CO2 adjustment range and value, or set the value");
  command->add_flag("--cold", options->cold, "The cold adjustment");
  command->add_option("--set", options->set, "Send this value (hexadecimal)");
  const std::function<void()> complete = AddServiceOptions(*command, *options);
  return {command, [options, complete, &store](std::ostream& out, std::ostream& err) {
            complete();
            return RunCo2(*options, store, out, err);
          }};
}

Subcommand AddTelegramCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<TelegramOptions>();
  CLI::App* command = app.add_subcommand(
      "telegram", "Send a free telegram; address, length and checksum are added");
  command->add_option("--to", options->to, "Device address (hex; default: the driver's)");
  command->add_option("--from", options->from, "Source address (hex; default: the driver's)");
  command->add_option("BYTES", options->bytes, "Data bytes in hex");
  const std::function<void()> complete = AddServiceOptions(*command, *options);
  return {command, [options, complete, &store](std::ostream& out, std::ostream& err) {
            complete();
            return RunTelegram(*options, store, out, err);
          }};
}

}  // namespace heatdiag::cli
