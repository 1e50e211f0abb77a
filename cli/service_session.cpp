#include "cli/service_session.h"

#include <algorithm>
#include <sstream>

#include "cli/subcommand.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"
#include "link/serial_port.h"

namespace heatdiag::cli {
namespace {

constexpr std::uint32_t kVirtualHeaterDevice = 0;  // the virtual heater is an H-Bus unit
constexpr std::uint8_t kNakCommand = 0x7F;
constexpr std::uint8_t kPositiveBit = 0x80;

std::vector<std::uint8_t> TelegramBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(text.substr(text.find(':') + 1));
  std::string piece;
  while (in >> piece) bytes.push_back(static_cast<std::uint8_t>(std::stoul(piece, nullptr, 16)));
  return bytes;
}

struct Scan {
  bool requestSeen = false;
  bool replySeen = false;
  bool settled = false;  // a later request went out: the driver has handled the reply
  AnswerSeen seen;
};

Scan ScanProtocol(const std::vector<ProtocolEntry>& protocol, std::size_t mark,
                  const ExpectedTelegram& expected) {
  Scan scan;
  std::uint8_t replyHeader = 0;
  std::uint8_t command = 0;
  for (std::size_t i = mark; i < protocol.size(); ++i) {
    const ProtocolEntry& entry = protocol[i];
    if (scan.replySeen && entry.kind == 3 && scan.seen.message.empty())
      scan.seen.message = entry.text;
    if (entry.kind != 0 && entry.kind != 1) continue;
    const std::vector<std::uint8_t> bytes = TelegramBytes(entry.text);
    if (bytes.size() < 2) continue;
    if (!scan.requestSeen) {
      if (entry.kind != 0) continue;
      if (expected.header && bytes[0] != *expected.header) continue;
      if (expected.dataLength && bytes.size() != *expected.dataLength + 3) continue;
      if (!expected.commands.empty() &&
          (bytes.size() < 4 || std::find(expected.commands.begin(), expected.commands.end(),
                                         bytes[2]) == expected.commands.end()))
        continue;
      if (expected.index && (bytes.size() < 5 || bytes[3] != *expected.index)) continue;
      scan.requestSeen = true;
      scan.seen.request = entry.text;
      replyHeader = static_cast<std::uint8_t>((bytes[0] << 4) | (bytes[0] >> 4));
      command = bytes.size() > 2 ? bytes[2] : 0;
      continue;
    }
    if (!scan.replySeen) {
      if (entry.kind != 1 || bytes[0] != replyHeader) continue;
      scan.replySeen = true;
      scan.seen.reply = entry.text;
      const std::uint8_t answered = bytes.size() > 2 ? bytes[2] : 0;
      const bool positive = bytes.size() > 2 && answered != kNakCommand &&
                            (expected.commands.empty() ||
                             answered == static_cast<std::uint8_t>(command | kPositiveBit));
      scan.seen.answer = positive ? Answer::kAccepted : Answer::kRefused;
      continue;
    }
    if (entry.kind == 0) {
      scan.settled = true;
      break;
    }
  }
  return scan;
}

}  // namespace

const char* AnswerName(Answer answer) {
  switch (answer) {
    case Answer::kAccepted:
      return "accepted";
    case Answer::kRefused:
      return "refused";
    case Answer::kLinkEnded:
      return "link ended";
    case Answer::kTimedOut:
      return "no answer";
    case Answer::kInterrupted:
      return "interrupted";
  }
  return "";
}

int ExitOf(Answer answer) {
  return answer == Answer::kAccepted ? kExitOk : kExitFailed;
}

ServiceSession::ServiceSession(const ServiceOptions& options, SettingsBackend& store,
                               std::ostream& err)
    : options_(options), store_(store), err_(err) {}

ServiceSession::~ServiceSession() {
  Finish();
  interrupt_.reset();
}

std::optional<int> ServiceSession::Open() {
  std::optional<std::uint32_t> device;
  if (!options_.device.empty()) {
    device = ParseDeviceId(options_.device);
    if (!device) {
      err_ << "Unknown device \"" << options_.device << "\" (D00 to D18).\n";
      return kExitUsage;
    }
  }
  run_ = std::make_unique<HeadlessRun>(&store_, err_);
  if (!run_->ChooseLine(options_)) return kExitUsage;
  if (!device && options_.virtualHeater) device = kVirtualHeaterDevice;
  if (!device) {
    const std::int32_t last = ProgramSettings().lastDevice;
    if (last < 0 || last >= static_cast<std::int32_t>(kDeviceCount)) {
      err_ << "No device has been diagnosed yet (setting LastDevice " << last
           << "): give --device D00 to D18.\n";
      return kExitUsage;
    }
    device = static_cast<std::uint32_t>(last);
  }
  if (!run_->Start()) return kExitUsage;
  device_ = *device;
  HeadlessFrame& frame = run_->Frame();
  interrupt_ = std::make_unique<InterruptWatch>([&frame] { frame.Interrupt(); });
  SelectDevice(device_);
  driver_ = SelectedDriver();
  StartDiagnosis();
  switch (frame.WaitForConnection(options_.connectionLimit)) {
    case HeadlessFrame::Outcome::kDataReady:
      return std::nullopt;
    case HeadlessFrame::Outcome::kTimedOut:
      Note("The connection pass did not complete within " +
           std::to_string(options_.connectionLimit.count() / 1000) + " s.");
      break;
    case HeadlessFrame::Outcome::kInterrupted:
      Note("Interrupted before the connection pass was complete.");
      break;
    case HeadlessFrame::Outcome::kLinkEnded:
      Note("The diagnosis ended before the connection pass was complete.");
      break;
  }
  return kExitFailed;
}

bool ServiceSession::SessionActive() const {
  return driver_ != nullptr && driver_->IsSessionActive() != 0;
}

AnswerSeen ServiceSession::AwaitAnswer(std::size_t mark, const ExpectedTelegram& expected,
                                       bool untilInterrupt) {
  const HeadlessFrame::Outcome outcome = Frame().WaitForProtocol(
      [&](const std::vector<ProtocolEntry>& protocol) {
        return ScanProtocol(protocol, mark, expected).settled;
      },
      options_.answerLimit, untilInterrupt);
  const Scan scan = ScanProtocol(Frame().Protocol(), mark, expected);
  if (scan.replySeen) return scan.seen;
  AnswerSeen seen = scan.seen;
  switch (outcome) {
    case HeadlessFrame::Outcome::kLinkEnded:
      seen.answer = Answer::kLinkEnded;
      break;
    case HeadlessFrame::Outcome::kInterrupted:
      seen.answer = Answer::kInterrupted;
      break;
    default:
      seen.answer = Answer::kTimedOut;
      break;
  }
  return seen;
}

bool ServiceSession::Settle() {
  const std::size_t mark = Mark();
  return Frame().WaitForProtocol(
             [mark](const std::vector<ProtocolEntry>& protocol) {
               for (std::size_t i = mark; i < protocol.size(); ++i)
                 if (protocol[i].kind == 0) return true;
               return false;
             },
             options_.answerLimit, false) == HeadlessFrame::Outcome::kDataReady;
}

void ServiceSession::Finish() {
  if (run_) run_->Finish();
}

void ServiceSession::Note(const std::string& text) {
  notes_.push_back(text);
  if (run_)
    run_->Frame().Note(text);
  else
    err_ << text << '\n';
}

void ServiceSession::PrintJson(std::ostream& out, nlohmann::ordered_json result) {
  nlohmann::ordered_json report;
  report["device"] = DeviceId(device_);
  report["name"] = DeviceName(device_);
  if (run_) {
    report["port"] = PortName(run_->PortNumber());
    report["path"] = run_->DevicePath();
  }
  for (auto& [key, value] : result.items()) report[key] = value;
  report["messages"] = notes_;
  report["errors"] = run_ ? run_->Frame().Errors() : std::vector<std::string>{};
  report["protocol"] = nlohmann::ordered_json::array();
  if (run_)
    for (const ProtocolEntry& entry : run_->Frame().Protocol())
      report["protocol"].push_back({{"kind", entry.kind}, {"text", entry.text}});
  out << report.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

std::function<void()> AddServiceOptions(CLI::App& command, ServiceOptions& options) {
  command.add_option("--device", options.device,
                     "Device D00..D18 (default: the device diagnosed last)");
  const std::function<void()> completeLine = AddLineOptions(command, options);
  command.add_flag("--json", options.json, "One JSON object on standard output");
  return completeLine;
}

}  // namespace heatdiag::cli
