// The virtual heater: a control unit behind a diagnosis adapter, served on a pseudo-terminal.
// The tester opens the terminal's path like a serial port; every byte it sends comes back as the
// adapter's echo, then the unit answers. The unit is the H-Bus unit of device record D00 or the
// keyword-link water heater unit of D06, chosen by the scenario.
//
// Used by heatsim (the command-line front end), by the tester's --virtual-heater option and by
// the end-to-end tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace heatsim {

// What can go wrong on the line or in the unit, injected on purpose.
enum class FaultKind {
  kNoReply,      // the adapter echoes, the unit stays silent
  kLateReply,    // the reply comes `value` ms later than usual
  kBadChecksum,  // the reply's checksum byte is wrong
  kWrongEcho,    // one byte of the echo differs (and the unit did not get the request either)
  kGarbage,      // `value` random bytes follow the reply
  kNak,          // the unit refuses with NAK code `value`
  kPowerOff,     // from now on the unit is silent; the adapter still echoes
  kUnplug,       // the adapter is pulled: the pseudo-terminal is closed
};

// One injected fault. A rule watches the telegrams addressed to the unit (block frames count
// too): it starts acting after `after` of them have been received, acts only on those that
// match `command` and `index`, and stops after `times` of them.
struct FaultRule {
  FaultKind kind = FaultKind::kNoReply;
  int command = -1;  // command byte of the request (first byte of a block frame); -1: any
  int index = -1;    // byte after the command; -1: any
  int times = -1;    // number of matching telegrams it acts on; -1: no limit
  int after = 0;     // telegrams received before the rule starts acting
  int value = 0;     // late reply: delay in ms; garbage: byte count; NAK: the code
};

struct VirtualHeaterOptions {
  // A built-in scenario ("v1.5", "v3.0", "v3.1", "v3.2", "demo", "d06", "d06-wrong-key",
  // "d06-any-key", "d06-silent", "d06-running") or the path of a JSON scenario file. Empty: the
  // demonstration unit of the device (a 3.2 unit with two stored faults; "d06" for D06).
  std::string scenario;
  // "D00" or "D06" (any case): the unit's device record. A scenario file that names no family is
  // taken as one of this device, and a scenario of another one is refused. Empty: the
  // scenario's.
  std::string device;
  // Optional JSON text in the scenario file format, applied on top of `scenario`.
  std::string scenarioJson;
  // Reply latency in ms after the last byte of a request; empty: the scenario's.
  std::optional<int> latencyMs;
  // Pace every byte at its line time (11 bits for the H-Bus unit's 8E1, 10 for the keyword
  // unit's 8N1, at the current rate), as on the real line.
  bool lineRate = false;
  // Faults in addition to those of the scenario.
  std::vector<FaultRule> faults;
  // The physical model's clock; empty: the steady clock. Tests inject their own to make the
  // heater's state sequence deterministic. Called on the heater's thread and by the test
  // hooks, so it must be safe to call from any thread.
  std::function<std::chrono::milliseconds()> clock;
  // Receives one line per telegram received and sent, and per notable event (block mode,
  // injected faults); called on the heater's thread. Empty: no log.
  std::function<void(std::string_view)> log;
};

struct VirtualHeaterCounters {
  std::uint64_t bytesReceived = 0;      // every byte the tester wrote
  std::uint64_t telegramsReceived = 0;  // well-formed telegrams and block frames for the unit
  std::uint64_t repliesSent = 0;        // answers put on the line (NAKs included)
  std::uint64_t naksSent = 0;
  std::uint64_t blockFramesReceived = 0;
  std::uint64_t framesDropped = 0;  // wrong length, wrong checksum, incomplete, not for the unit
};

class VirtualHeater {
 public:
  // Creates the pseudo-terminal and starts serving it on a thread of its own. On failure returns
  // null and, when `error` is given, a message that names the cause (for example a scenario file
  // error).
  static std::unique_ptr<VirtualHeater> Start(const VirtualHeaterOptions& options,
                                              std::string* error);

  VirtualHeater(const VirtualHeater&) = delete;
  VirtualHeater& operator=(const VirtualHeater&) = delete;
  ~VirtualHeater();  // stops

  // The path of the terminal the tester opens (for example "/dev/pts/7").
  const std::string& PtyPath() const;
  // The device record the unit answers as: "D00" or "D06".
  std::string Device() const;
  // The line now: rate in baud and bits per character (11 for 8E1, 10 for 8N1).
  int LineRate() const;
  int BitsPerByte() const;

  // Ends serving, joins the thread and closes the terminal. Bounded; safe to call twice.
  void Stop();

  // Test hooks; all of them may be called from any thread while the heater runs.
  VirtualHeaterCounters Counters() const;
  std::vector<std::uint8_t> Eeprom() const;  // the current EEPROM content
  std::uint8_t OperatingMode() const;        // mode command byte (0x20..0x27) running, 0 none
  std::uint8_t StateCode() const;            // operating-state code as the unit reports it
  std::size_t StoredFaultCount() const;
  void InjectFault(const FaultRule& rule);  // counts `after` from the telegrams received so far
  void ClearFaults();                       // also powers a switched-off unit on again
  bool Unplugged() const;                   // the terminal has been closed by a fault

 private:
  struct Impl;
  explicit VirtualHeater(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Names of the built-in scenarios, for option help and menus.
std::vector<std::string> BuiltInScenarioNames();

// The device record ("D00", "D06") whose unit a scenario (built-in name or file; empty: the
// default) describes, so that a front end can choose the matching driver before it starts the
// heater. Empty, with the reason in `error` when given, for a scenario that cannot be used.
std::string ScenarioDevice(const std::string& scenario, std::string* error = nullptr);

}  // namespace heatsim
