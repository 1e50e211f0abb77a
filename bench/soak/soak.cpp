// Soak run: diagnoses of the virtual heater, one after another, for a given time, with faults
// injected at random (late and missing replies, bad checksums, garbage, NAKs, wrong echoes, the
// unit powering off and coming back, the adapter unplugged and plugged in again). A new session
// starts whenever one ends. Prints sessions, telegrams and the process's resident memory,
// threads and open file descriptors at the start, after the first session and at the end (both
// between sessions), and every minute in between.
//
//   soak [--minutes N] [--seed S] [--quiet]
//
// Exit status 0 when the run ended normally, 1 when a session could not be started at all.
#include <dirent.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>

#include "base/frame_sink.h"
#include "base/messages.h"
#include "base/protocol.h"
#include "base/settings.h"
#include "drivers/diag_store.h"
#include "drivers/hbus/hbus_driver.h"
#include "shell/program_settings.h"
#include "virtual_heater.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct ProcessFigures {
  long rssKb = 0;
  long threads = 0;
  long fds = 0;
};

ProcessFigures Measure() {
  ProcessFigures f;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) f.rssKb = std::strtol(line.c_str() + 6, nullptr, 10);
    if (line.rfind("Threads:", 0) == 0) f.threads = std::strtol(line.c_str() + 8, nullptr, 10);
  }
  if (DIR* d = opendir("/proc/self/fd")) {
    while (const dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') ++f.fds;
    }
    closedir(d);
    --f.fds;  // the directory itself
  }
  return f;
}

// The frame, the error boxes and the protocol, reduced to what the run counts.
class Frame : public heatdiag::MessageTarget,
              public heatdiag::ErrorBoxPresenter,
              public heatdiag::ProtocolSink {
 public:
  void Post(std::uint32_t message, std::intptr_t, std::intptr_t) override {
    std::lock_guard lock(mutex_);
    if (message == heatdiag::UM_LINKENDED) linkEnded_ = true;
    if (message == heatdiag::UM_DATAREADY) ++connected_;
    changed_.notify_all();
  }
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    Post(message, a, b);
  }
  void ShowError(std::string_view, std::string_view) override {
    std::lock_guard lock(mutex_);
    ++errorBoxes_;
  }
  void Add(std::string_view, int kind) override {
    std::lock_guard lock(mutex_);
    if (kind == heatdiag::kProtocolError) ++transportFaults_;
  }
  // Waits until the link ends or the time is up; true when the link ended.
  bool WaitForLinkEnd(Clock::time_point until) {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, until, [this] { return linkEnded_; });
  }
  void ResetLinkEnd() {
    std::lock_guard lock(mutex_);
    linkEnded_ = false;
  }
  long Connected() const {
    std::lock_guard lock(mutex_);
    return connected_;
  }
  long ErrorBoxes() const {
    std::lock_guard lock(mutex_);
    return errorBoxes_;
  }
  long TransportFaults() const {
    std::lock_guard lock(mutex_);
    return transportFaults_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool linkEnded_ = false;
  long connected_ = 0;
  long errorBoxes_ = 0;
  long transportFaults_ = 0;
};

void Print(const char* when, const ProcessFigures& f) {
  std::printf("%-8s RSS %6ld KiB, threads %3ld, open fds %3ld\n", when, f.rssKb, f.threads, f.fds);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  double minutes = 10;
  unsigned seed = static_cast<unsigned>(std::random_device{}());
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--minutes" && i + 1 < argc) {
      minutes = std::strtod(argv[++i], nullptr);
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      std::fprintf(stderr, "usage: soak [--minutes N] [--seed S] [--quiet]\n");
      return 2;
    }
  }
  std::printf("soak: %.1f minutes, seed %u\n", minutes, seed);
  std::mt19937 random(seed);
  const auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };

  const ProcessFigures atStart = Measure();
  Print("start", atStart);

  heatdiag::StoreStartup();
  heatdiag::MemorySettingsBackend settings;
  heatdiag::LoadSettings(settings);
  Frame frame;
  heatdiag::SetFrameTarget(&frame);
  heatdiag::SetErrorBoxPresenter(&frame);
  heatdiag::SetProtocolSink(&frame);
  heatdiag::StoreSubscribe(&frame, 0, 0);

  auto driver = std::make_unique<heatdiag::hbus::Driver>();
  driver->Init();

  std::unique_ptr<heatsim::VirtualHeater> heater;
  heatsim::VirtualHeaterCounters total{};
  long heaters = 0;
  const auto plugIn = [&] {
    if (heater) {
      const auto c = heater->Counters();
      total.telegramsReceived += c.telegramsReceived;
      total.repliesSent += c.repliesSent;
      total.naksSent += c.naksSent;
      total.framesDropped += c.framesDropped;
      heater->Stop();
      heater.reset();
    }
    heatsim::VirtualHeaterOptions options;
    options.scenario = "v3.2";
    std::string error;
    heater = heatsim::VirtualHeater::Start(options, &error);
    if (!heater) {
      std::fprintf(stderr, "soak: virtual heater: %s\n", error.c_str());
      std::exit(1);
    }
    ++heaters;
    driver->SetPort(1, heater->PtyPath());
  };
  plugIn();

  const auto runEnd = Clock::now() + std::chrono::milliseconds(static_cast<long>(minutes * 60000));
  auto nextReport = Clock::now() + 60s;
  long sessions = 0;
  long faultsInjected = 0;
  long unplugs = 0;
  long powerCycles = 0;
  bool warmedUp = false;
  ProcessFigures afterWarmUp{};

  while (Clock::now() < runEnd) {
    frame.ResetLinkEnd();
    if (driver->StartSession() != 1) {
      std::fprintf(stderr, "soak: session %ld could not start\n", sessions + 1);
      return 1;
    }
    ++sessions;
    // A session lasts until its link ends or, at the latest, a random while.
    const auto sessionEnd = std::min(runEnd, Clock::now() + std::chrono::seconds(pick(15, 90)));
    bool poweredOff = false;
    Clock::time_point powerBack{};
    while (Clock::now() < sessionEnd) {
      const auto nextFault =
          std::min(sessionEnd, Clock::now() + std::chrono::milliseconds(pick(1500, 6000)));
      if (frame.WaitForLinkEnd(poweredOff ? std::min(nextFault, powerBack) : nextFault)) break;
      if (poweredOff && Clock::now() >= powerBack) {
        heater->ClearFaults();  // the unit comes back
        poweredOff = false;
        continue;
      }
      heatsim::FaultRule rule;
      rule.after = 0;
      switch (pick(0, 19)) {
        case 0:
        case 1:
        case 2:
          rule.kind = heatsim::FaultKind::kLateReply;
          rule.value = pick(100, 2500);
          rule.times = pick(1, 3);
          break;
        case 3:
        case 4:
        case 5:
          rule.kind = heatsim::FaultKind::kNoReply;
          rule.times = pick(1, 7);
          break;
        case 6:
        case 7:
          rule.kind = heatsim::FaultKind::kBadChecksum;
          rule.times = pick(1, 4);
          break;
        case 8:
        case 9:
          rule.kind = heatsim::FaultKind::kGarbage;
          rule.value = pick(1, 40);
          rule.times = pick(1, 4);
          break;
        case 10:
        case 11: {
          static constexpr int kCodes[] = {0x10, 0x11, 0x12, 0x21, 0x22, 0x31, 0x33, 0x99};
          rule.kind = heatsim::FaultKind::kNak;
          rule.value = kCodes[pick(0, 7)];
          rule.times = 1;
          break;
        }
        case 12:
        case 13:
          rule.kind = heatsim::FaultKind::kWrongEcho;
          rule.times = pick(1, 3);
          break;
        case 14:
          if (poweredOff) continue;
          rule.kind = heatsim::FaultKind::kPowerOff;
          poweredOff = true;
          powerBack = Clock::now() + std::chrono::milliseconds(pick(500, 12000));
          ++powerCycles;
          break;
        case 15:
          rule.kind = heatsim::FaultKind::kUnplug;
          ++unplugs;
          break;
        default:
          continue;  // a quiet spell
      }
      heater->InjectFault(rule);
      ++faultsInjected;
    }
    driver->StopSession();
    heater->ClearFaults();
    if (heater->Unplugged()) plugIn();  // the adapter is plugged in again (a new terminal)
    if (!warmedUp) {
      // After the first whole session: every thread and buffer of a session has been made.
      warmedUp = true;
      afterWarmUp = Measure();
      Print("first", afterWarmUp);
    }
    if (!quiet && Clock::now() >= nextReport) {
      nextReport += 60s;
      std::printf("%ld sessions, %ld connected, %ld faults injected: ", sessions, frame.Connected(),
                  faultsInjected);
      Print("now", Measure());
    }
  }

  const ProcessFigures atEnd = Measure();
  const auto c = heater->Counters();
  total.telegramsReceived += c.telegramsReceived;
  total.repliesSent += c.repliesSent;
  total.naksSent += c.naksSent;
  total.framesDropped += c.framesDropped;

  std::printf("sessions %ld (connection pass completed in %ld), virtual heaters %ld\n", sessions,
              frame.Connected(), heaters);
  std::printf("telegrams to the unit %llu, replies %llu (NAKs %llu), frames dropped %llu\n",
              static_cast<unsigned long long>(total.telegramsReceived),
              static_cast<unsigned long long>(total.repliesSent),
              static_cast<unsigned long long>(total.naksSent),
              static_cast<unsigned long long>(total.framesDropped));
  std::printf(
      "faults injected %ld (power cycles %ld, unplugs %ld), transport faults %ld, "
      "error boxes %ld\n",
      faultsInjected, powerCycles, unplugs, frame.TransportFaults(), frame.ErrorBoxes());
  Print("start", atStart);
  if (warmedUp) Print("first", afterWarmUp);
  Print("end", atEnd);

  driver->Shutdown();
  driver.reset();
  heater->Stop();
  heatdiag::StoreUnsubscribe(&frame);
  heatdiag::SetProtocolSink(nullptr);
  heatdiag::SetErrorBoxPresenter(nullptr);
  heatdiag::SetFrameTarget(nullptr);
  heatdiag::StoreShutdown();
  return 0;
}
