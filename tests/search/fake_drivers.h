// A device table of 19 scripted records for the layers above the drivers: each record's probe,
// session and init/exit calls are logged, probe results and device codes are set per test, and
// one probe can be held open until the test lets it finish.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/protocol.h"
#include "drivers/device_search.h"
#include "drivers/device_table.h"

namespace heatdiag::testing {

struct Call {
  std::string what;  // "probe", "start", "stop", "init", "exit"
  std::uint32_t index;
  bool operator==(const Call&) const = default;
};

class FakeDrivers {
 public:
  static FakeDrivers& Get() {
    static FakeDrivers fakes;
    return fakes;
  }

  void Reset() {
    std::lock_guard lock(mutex_);
    calls_.clear();
    identifies_.fill(false);
    sessionActive_.fill(false);
    held_.reset();
    entered_ = false;
    released_ = false;
    startResult_ = 1;
  }

  void Identifies(std::uint32_t index) {
    std::lock_guard lock(mutex_);
    identifies_[index] = true;
  }
  void StartResult(int result) {
    std::lock_guard lock(mutex_);
    startResult_ = result;
  }
  // The probe of index waits in the driver until Release().
  void HoldProbe(std::uint32_t index) {
    std::lock_guard lock(mutex_);
    held_ = index;
  }
  bool WaitUntilHeldProbeRuns() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return entered_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::vector<std::uint32_t> Probed() const {
    std::vector<std::uint32_t> probed;
    for (const Call& call : Calls())
      if (call.what == "probe") probed.push_back(call.index);
    return probed;
  }

  template <std::uint32_t I>
  static int Probe() {
    return Get().DoProbe(I);
  }
  template <std::uint32_t I>
  static int StartSession() {
    return Get().DoSession(I, true);
  }
  template <std::uint32_t I>
  static void StopSession() {
    Get().DoSession(I, false);
  }
  template <std::uint32_t I>
  static int IsSessionActive() {
    std::lock_guard lock(Get().mutex_);
    return Get().sessionActive_[I] ? 1 : 0;
  }
  template <std::uint32_t I>
  static void Init() {
    Get().Log("init", I);
  }
  template <std::uint32_t I>
  static void Exit() {
    Get().Log("exit", I);
  }

 private:
  void Log(std::string what, std::uint32_t index) {
    std::lock_guard lock(mutex_);
    calls_.push_back({std::move(what), index});
  }

  int DoProbe(std::uint32_t index) {
    std::unique_lock lock(mutex_);
    calls_.push_back({"probe", index});
    if (held_ == index) {
      entered_ = true;
      changed_.notify_all();
      changed_.wait_for(lock, std::chrono::seconds(30), [this] { return released_; });
    }
    return identifies_[index] ? 1 : 0;
  }

  int DoSession(std::uint32_t index, bool start) {
    std::lock_guard lock(mutex_);
    calls_.push_back({start ? "start" : "stop", index});
    sessionActive_[index] = start;
    return start ? startResult_ : 0;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Call> calls_;
  std::array<bool, kDeviceCount> identifies_{};
  std::array<bool, kDeviceCount> sessionActive_{};
  std::optional<std::uint32_t> held_;
  bool entered_ = false;
  bool released_ = false;
  int startResult_ = 1;
};

// Records named like the real ones, with the given device codes; records listed in noInit have
// no InitDriver / ShutdownDriver (they run on a twin's threads).
class FakeTable {
 public:
  explicit FakeTable(const std::array<std::uint32_t, kDeviceCount>& codes,
                     std::initializer_list<std::uint32_t> noInit = {})
      : records_(Build(codes, noInit, std::make_integer_sequence<std::uint32_t, kDeviceCount>())),
        scope_(records_) {
    FakeDrivers::Get().Reset();
  }

 private:
  template <std::uint32_t... I>
  static std::array<DeviceDriver, kDeviceCount> Build(
      const std::array<std::uint32_t, kDeviceCount>& codes,
      std::initializer_list<std::uint32_t> noInit, std::integer_sequence<std::uint32_t, I...>) {
    // The real names, taken before the fake table is installed.
    const auto real = DeviceTable();
    std::array<DeviceDriver, kDeviceCount> records{};
    ((records[I] = Record<I>(real[I].nameId, codes[I])), ...);
    for (std::uint32_t index : noInit) {
      records[index].InitDriver = nullptr;
      records[index].ShutdownDriver = nullptr;
    }
    return records;
  }

  template <std::uint32_t I>
  static DeviceDriver Record(std::uint32_t nameId, std::uint32_t code) {
    DeviceDriver record;
    record.nameId = nameId;
    record.deviceCode = code;
    record.IsSessionActive = &FakeDrivers::IsSessionActive<I>;
    record.StartSession = &FakeDrivers::StartSession<I>;
    record.StopSession = &FakeDrivers::StopSession<I>;
    record.ProbeDevice = &FakeDrivers::Probe<I>;
    record.InitDriver = &FakeDrivers::Init<I>;
    record.ShutdownDriver = &FakeDrivers::Exit<I>;
    return record;
  }

  std::array<DeviceDriver, kDeviceCount> records_;
  ScopedDeviceTable scope_;
};

// The protocol as a list of entries; entries arrive from the search thread.
class RecordingProtocol : public ProtocolSink {
 public:
  RecordingProtocol() { SetProtocolSink(this); }
  ~RecordingProtocol() override { SetProtocolSink(nullptr); }
  void Add(std::string_view text, int kind) override {
    std::lock_guard lock(mutex_);
    entries_.emplace_back(kind, std::string(text));
  }
  std::vector<std::pair<int, std::string>> Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<int, std::string>> entries_;
};

// The search window as a log of its calls.
class RecordingSearchWindow : public SearchWindow {
 public:
  void Open() override { Log("open"); }
  void ShowUnit(std::string_view name, std::uint32_t remaining) override {
    std::lock_guard lock(mutex_);
    units_.emplace_back(std::string(name), remaining);
    log_.push_back("unit");
  }
  void Close() override { Log("close"); }
  void RefreshCommands() override { Log("refresh"); }
  void SelectedDeviceChanged() override { Log("title"); }

  std::vector<std::string> Log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }
  std::vector<std::pair<std::string, std::uint32_t>> Units() const {
    std::lock_guard lock(mutex_);
    return units_;
  }

 private:
  void Log(const char* what) {
    std::lock_guard lock(mutex_);
    log_.emplace_back(what);
  }
  mutable std::mutex mutex_;
  std::vector<std::string> log_;
  std::vector<std::pair<std::string, std::uint32_t>> units_;
};

}  // namespace heatdiag::testing
