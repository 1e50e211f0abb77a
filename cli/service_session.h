// What the service subcommands (mode, component, prime, calibrate, co2, telegram) share: a
// diagnosis session that is ready once the connection pass is complete, the wait for the unit's
// answer to a telegram the driver was asked to send, and the report of what happened.
#pragma once

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/settings.h"
#include "cli/headless_run.h"
#include "cli/interrupt_watch.h"
#include "drivers/driver_record.h"

namespace heatdiag::cli {

struct ServiceOptions : LineOptions {
  std::string device;  // D00..D18; empty: LastDevice (D00 on the virtual heater)
  bool json = false;
  std::chrono::milliseconds connectionLimit{std::chrono::seconds(120)};
  // How long the unit may take to answer a request the driver has queued.
  std::chrono::milliseconds answerLimit{std::chrono::seconds(10)};
};

// The telegram whose answer is awaited: its command byte, optionally the byte after it, and the
// header it goes out with.
struct ExpectedTelegram {
  std::vector<std::uint8_t> commands;  // any of them; empty: any command
  std::optional<std::uint8_t> index;
  std::optional<std::uint8_t> header;
  std::optional<std::size_t> dataLength;  // bytes between the length byte and the checksum
};

enum class Answer { kAccepted, kRefused, kLinkEnded, kTimedOut, kInterrupted };

struct AnswerSeen {
  Answer answer = Answer::kTimedOut;
  std::string request;  // the Tx and Rx lines as the protocol shows them
  std::string reply;
  std::string message;  // the error the driver showed for the answer (a refusal's text)
};

class ServiceSession {
 public:
  ServiceSession(const ServiceOptions& options, SettingsBackend& store, std::ostream& err);
  ~ServiceSession();

  // Starts the diagnosis and waits until the connection pass is complete. Returns the exit
  // status when the session is not usable (the reason written to the error stream), else
  // nullopt.
  std::optional<int> Open();

  const DeviceDriver& Driver() const { return *driver_; }
  std::uint32_t Device() const { return device_; }
  HeadlessFrame& Frame() { return run_->Frame(); }
  bool Interrupted() { return Frame().Interrupted(); }
  bool SessionActive() const;

  // The protocol position before a request: AwaitAnswer looks only at what comes after it.
  std::size_t Mark() { return Frame().ProtocolSize(); }
  // Waits for the exchange of the telegram after `mark`, and for the driver to have handled the
  // answer. `untilInterrupt` false: Ctrl-C does not cut the wait short (switching off).
  AnswerSeen AwaitAnswer(std::size_t mark, const ExpectedTelegram& expected,
                         bool untilInterrupt = true);
  // Keeps the session running for `duration`; false when the link ended or Ctrl-C came.
  bool Keep(std::chrono::milliseconds duration) { return Frame().KeepPolling(duration); }

  // Waits until the link shows it is alive (a further telegram goes out) or has ended, so that
  // a loss that has begun is known. True while the link is alive.
  bool Settle();

  // Ends the diagnosis (once).
  void Finish();

  // Writes the error stream's message and keeps it for the JSON report.
  void Note(const std::string& text);
  // The report: `result` with the device, port, messages, worker errors and protocol added.
  void PrintJson(std::ostream& out, nlohmann::ordered_json result);

 private:
  ServiceOptions options_;
  SettingsBackend& store_;
  std::ostream& err_;
  std::unique_ptr<HeadlessRun> run_;
  std::unique_ptr<InterruptWatch> interrupt_;
  std::uint32_t device_ = 0;
  const DeviceDriver* driver_ = nullptr;
  std::vector<std::string> notes_;
};

// "accepted", "refused", ...
const char* AnswerName(Answer answer);
// Exit status of an answer: 0 accepted, 1 otherwise.
int ExitOf(Answer answer);

// Adds --device, the line options and --json to a service subcommand; the returned function
// completes the options once parsed.
std::function<void()> AddServiceOptions(CLI::App& command, ServiceOptions& options);

}  // namespace heatdiag::cli
