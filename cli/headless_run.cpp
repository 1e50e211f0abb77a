#include "cli/headless_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <utility>

#include "drivers/device_search.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"
#include "link/port_discovery.h"
#include "link/serial_port.h"
#include "shell/program_settings.h"
#include "virtual_heater.h"

namespace heatdiag::cli {

// Remembers what the store held when the settings were loaded and passes on only the writes
// that change it.
class HeadlessRun::ChangedValuesOnly : public SettingsBackend {
 public:
  explicit ChangedValuesOnly(SettingsBackend& store) : store_(store) {}

  std::optional<std::string> ReadText(std::string_view section, std::string_view value) override {
    std::optional<std::string> text = store_.ReadText(section, value);
    loaded_[{std::string(section), std::string(value)}] = text;
    return text;
  }

  bool WriteText(std::string_view section, std::string_view value, std::string_view text) override {
    const auto it = loaded_.find({std::string(section), std::string(value)});
    if (it != loaded_.end() && it->second && *it->second == text) return true;
    return store_.WriteText(section, value, text);
  }

 private:
  SettingsBackend& store_;
  std::map<std::pair<std::string, std::string>, std::optional<std::string>> loaded_;
};

namespace {

// A port number 1..9, or nullopt for a device path; `valid` is false for a number out of range.
std::optional<std::uint32_t> ParsePortNumber(const std::string& text, bool& valid) {
  valid = !text.empty();
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      }))
    return std::nullopt;
  const unsigned long number = text.size() > 2 ? 0 : std::stoul(text);
  valid = number >= kFirstPortNumber && number <= kLastPortNumber;
  return static_cast<std::uint32_t>(number);
}

}  // namespace

bool CanAppendTo(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::optional<std::uint32_t> ParseDeviceId(const std::string& text) {
  if (text.size() != 3 || std::toupper(static_cast<unsigned char>(text[0])) != 'D' ||
      !std::isdigit(static_cast<unsigned char>(text[1])) ||
      !std::isdigit(static_cast<unsigned char>(text[2])))
    return std::nullopt;
  const auto index = static_cast<std::uint32_t>((text[1] - '0') * 10 + (text[2] - '0'));
  if (index >= kDeviceCount) return std::nullopt;
  return index;
}

std::string DeviceId(std::uint32_t index) {
  char id[16];
  std::snprintf(id, sizeof id, "D%02u", index);
  return id;
}

HeadlessRun::HeadlessRun(SettingsBackend* store, std::ostream& err)
    : store_(store),
      err_(err),
      settingsBefore_(ProgramSettings()),
      frame_(std::make_unique<HeadlessFrame>(&err)),
      protocolBefore_(ProtocolCurrentOptions()) {
  for (std::uint32_t n = kFirstPortNumber; n <= kLastPortNumber; ++n) {
    const std::string path = PortPath(n);
    pathsBefore_[n - 1] = path == DefaultPortPath(n) ? std::string() : path;
  }
  if (store_ != nullptr) {
    filter_ = std::make_unique<ChangedValuesOnly>(*store_);
    LoadSettings(*filter_);
  } else {
    MemorySettingsBackend defaults;
    LoadSettings(defaults);
  }
  ProtocolUseSettings(ProgramSettings());
  storedComPort_ = ProgramSettings().comPort;
}

HeadlessRun::~HeadlessRun() {
  Finish();
  frame_.reset();
  if (started_) StoreShutdown();
  if (heater_) heater_->Stop();
  for (std::uint32_t n = kFirstPortNumber; n <= kLastPortNumber; ++n)
    SetPortPath(n, pathsBefore_[n - 1]);
  ProgramSettings() = settingsBefore_;
  ProtocolSetOptions(protocolBefore_);
}

bool HeadlessRun::ChooseLine(const LineOptions& options) {
  if (options.virtualHeater && !options.port.empty()) {
    err_ << "Give either --port or --virtual-heater, not both.\n";
    return false;
  }
  const bool storedPortValid = storedComPort_ >= static_cast<std::int32_t>(kFirstPortNumber) &&
                               storedComPort_ <= static_cast<std::int32_t>(kLastPortNumber);
  // A device path needs a port number to stand for; the user's own is the natural one.
  const std::uint32_t standIn = storedPortValid ? static_cast<std::uint32_t>(storedComPort_) : 1;
  portPath_.clear();
  if (!options.port.empty()) {
    bool valid = true;
    const std::optional<std::uint32_t> number = ParsePortNumber(options.port, valid);
    if (!valid) {
      err_ << "Port \"" << options.port << "\" is neither a device path nor a number 1 to 9.\n";
      return false;
    }
    portNumber_ = number.value_or(standIn);
    // A bare name may be an adapter's stable name ("usb-FTDI_...") or a device ("ttyUSB0").
    if (!number) portPath_ = PortPathForName(options.port);
  } else if (options.virtualHeater) {
    portNumber_ = standIn;
  } else if (store_ == nullptr) {
    err_ << "Give either --port or --virtual-heater.\n";
    return false;
  } else if (!storedPortValid) {
    err_ << "The setting COM Port (" << storedComPort_ << ") names no port 1 to 9: give --port.\n";
    return false;
  } else {
    portNumber_ = standIn;
  }
  line_ = options;
  return true;
}

bool HeadlessRun::Start() {
  if (line_.virtualHeater) {
    heatsim::VirtualHeaterOptions heaterOptions;
    heaterOptions.scenario = line_.scenario;
    heaterOptions.device = line_.heaterDevice;
    std::string error;
    heater_ = heatsim::VirtualHeater::Start(heaterOptions, &error);
    if (!heater_) {
      err_ << "The virtual heater cannot be started: " << error << '\n';
      return false;
    }
    portPath_ = heater_->PtyPath();
  }
  ProgramSettings().comPort = static_cast<std::int32_t>(portNumber_);
  if (!portPath_.empty()) SetPortPath(portNumber_, portPath_);
  if (!protocolFile_.empty()) {
    ProtocolOptions options = ProtocolCurrentOptions();
    // What an earlier run left in the buffer belongs to the file of the settings.
    ProtocolCloseFile();
    options.store = true;
    options.file = protocolFile_;
    ProtocolSetOptions(options);
  }
  StoreStartup();
  frame_->Install();
  InitDrivers();
  started_ = true;
  return true;
}

void HeadlessRun::Finish() {
  if (finished_ || !started_) return;
  finished_ = true;
  // A search still running could start a diagnosis after the finish below.
  StopAutomaticSearch();
  FinishDiagnosis();
  ShutdownDrivers();
  SelectDevice(kNoDevice);
  // The end of the run's protocol, as the program's exit would write it.
  ProtocolCloseFile();
  if (!protocolFile_.empty() && ProtocolPendingBytes() > 0) {
    // Not for the file of the settings either.
    protocolFailed_ = true;
    ProtocolDiscardBuffer();
  }
  ProtocolUseSettings(ProgramSettings());
  // The port of this run is not the user's choice for the next one.
  ProgramSettings().comPort = storedComPort_;
  if (filter_) SaveSettings(*filter_);
}

std::string HeadlessRun::VirtualHeaterDevice() const {
  return heater_ ? heater_->Device() : std::string();
}

std::string HeadlessRun::DevicePath() const {
  return PortPath(portNumber_);
}

}  // namespace heatdiag::cli
