// What a subcommand runs inside: the settings it loads and saves, the port it talks on (or the
// virtual heater that stands in for it), the store, the frame and the drivers. Everything the
// run changes in the program's global state is put back when it ends.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "base/protocol.h"
#include "base/settings.h"
#include "cli/headless_frame.h"

namespace heatsim {
class VirtualHeater;
}

namespace heatdiag::cli {

// Where a run talks to the control unit.
struct LineOptions {
  std::string port;            // a device path or a port number 1..9; empty: the setting COM Port
  bool virtualHeater = false;  // the built-in virtual heater instead of a port
  std::string scenario;        // its scenario (empty: the demonstration unit)
  std::string heaterDevice;    // the virtual heater's device record ("D06"); empty: its scenario's
};

// True when the file can be opened for appending (it is created when missing).
bool CanAppendTo(const std::string& path);

// "D00".."D18" to a record index; nullopt for anything else.
std::optional<std::uint32_t> ParseDeviceId(const std::string& text);
// The record index as "D00".."D18".
std::string DeviceId(std::uint32_t index);

class HeadlessRun {
 public:
  // Loads the program's settings from `store`. Without a store the run has the settings'
  // defaults, takes its port only from the options and saves nothing. The run's messages and the
  // workers' error texts go to `err`.
  HeadlessRun(SettingsBackend* store, std::ostream& err);
  // Finish(), then the frame, the store and the virtual heater go; the program's settings and
  // port paths are as they were before the run.
  ~HeadlessRun();
  HeadlessRun(const HeadlessRun&) = delete;
  HeadlessRun& operator=(const HeadlessRun&) = delete;

  bool HasStoredSettings() const { return store_ != nullptr; }

  // Stores the run's protocol into `path` (appended, in the protocol file's format, closed with
  // "---" at the end), whatever the settings say; the settings themselves stay as they are.
  // Before Start().
  void StoreProtocolInto(std::string path) { protocolFile_ = std::move(path); }
  // After Finish(): the protocol file of StoreProtocolInto could not be written.
  bool ProtocolFileFailed() const { return protocolFailed_; }

  // Chooses the port from the options, else from the setting COM Port (with its path from the
  // section "Ports"). False, with the reason written to `err`, when that is not possible.
  bool ChooseLine(const LineOptions& options);

  // Starts the virtual heater when it was chosen, the store, the frame and the drivers (which
  // select the device of the setting LastDevice). False, with the reason written to `err`, when
  // the virtual heater cannot be started; nothing else is started then.
  bool Start();

  // Ends a diagnosis still current, shuts the drivers down and saves the settings into the store:
  // only the values that differ from the ones loaded, so that a program that saved its own
  // settings meanwhile keeps them, and never the port chosen for this run. Once; later calls
  // do nothing.
  void Finish();

  HeadlessFrame& Frame() { return *frame_; }
  // After Start(): the device record the virtual heater answers as ("D00", "D06"); empty without
  // one.
  std::string VirtualHeaterDevice() const;
  // The port number the run uses, and the device path it stands for during the run.
  std::uint32_t PortNumber() const { return portNumber_; }
  std::string DevicePath() const;

 private:
  class ChangedValuesOnly;

  SettingsBackend* store_;
  std::ostream& err_;
  std::unique_ptr<ChangedValuesOnly> filter_;
  Settings settingsBefore_;
  std::array<std::string, kPortCount> pathsBefore_;
  std::int32_t storedComPort_ = 0;
  LineOptions line_;
  std::uint32_t portNumber_ = 0;
  std::string portPath_;  // a path of the options or the virtual heater's; empty: the setting's
  std::unique_ptr<heatsim::VirtualHeater> heater_;
  std::unique_ptr<HeadlessFrame> frame_;
  std::string protocolFile_;
  ProtocolOptions protocolBefore_;
  bool protocolFailed_ = false;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace heatdiag::cli
