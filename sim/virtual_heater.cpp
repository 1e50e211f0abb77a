#include "virtual_heater.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

#include "fault_plan.h"
#include "line_unit.h"
#include "pty.h"
#include "scenario.h"

namespace heatsim {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// Longest wait of the serving loop; Stop() wakes it at once anyway.
constexpr milliseconds kMaxPoll{100};
constexpr milliseconds kGarbagePause{10};
// A pty takes no parity bit, and glibc's tcsetattr() refuses with EINVAL a request whose only
// change is one the terminal drops. As the heater keeps the terminal open between sessions,
// the last session's settings stay, and a tester reopening with the same 8E1 settings would be
// refused; so an idle line forgets its speed and the next session's settings are a change.
constexpr milliseconds kForgetSpeedAfter{1000};
// Bytes waiting for a tester that does not read; beyond this the line simply loses them.
constexpr std::size_t kMaxQueuedBytes = 1 << 16;

std::string Hex(const Bytes& bytes) {
  std::string text;
  char digits[4];
  for (const std::uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", b);
    text += digits;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

struct TimedByte {
  TimePoint due;
  std::uint8_t byte;
};

// Characters one after another on a line, each one character time after the previous one. The
// times of a run are counted from its first byte, so that they stay exact to the nanosecond
// however long the run.
class LinePacer {
 public:
  // The instant the next character is complete when it cannot begin before `earliest`.
  TimePoint Next(TimePoint earliest, int rate, int bitsPerByte) {
    if (count_ == 0 || earliest > free_ || rate != rate_ || bitsPerByte != bits_) {
      origin_ = earliest;
      count_ = 0;
      rate_ = rate;
      bits_ = bitsPerByte;
    }
    ++count_;
    free_ = origin_ + duration_cast<SteadyClock::duration>(LineTime(rate_, bits_, count_));
    return free_;
  }
  TimePoint Free() const { return free_; }

 private:
  TimePoint origin_{};
  TimePoint free_{};
  std::int64_t count_ = 0;
  int rate_ = 0;
  int bits_ = 0;
};

}  // namespace

struct VirtualHeater::Impl {
  ~Impl() {
    if (wakeRead >= 0) close(wakeRead);
    if (wakeWrite >= 0) close(wakeWrite);
  }

  void Run();
  void Service(TimePoint now);
  timespec PollTimeout(TimePoint now) const;
  bool ReadAvailable();  // false when nothing could be read
  void Process(const std::uint8_t* bytes, std::size_t count, TimePoint readAt);
  void HandleFrame(const Bytes& frame, TimePoint at);
  void FlushEcho();
  void CorruptEcho(std::size_t frameLength);
  void Schedule(const Bytes& bytes, TimePoint start, int rate, int bits);
  void Insert(TimedByte b);
  void WriteDue(TimePoint now);
  void Unplug();
  void Log(const std::string& line) const {
    if (log) log(line);
  }

  // Set up before the thread starts, constant afterwards.
  std::string path;
  int latencyMs = 20;
  bool lineRate = false;
  std::function<void(std::string_view)> log;
  int wakeRead = -1;
  int wakeWrite = -1;

  // Shared with the test hooks.
  mutable std::mutex mutex;
  PseudoTerminal pty;
  std::unique_ptr<LineUnit> unit;
  FaultPlan faults;
  VirtualHeaterCounters counters;
  bool poweredOff = false;
  std::atomic<bool> unplugged{false};

  // The serving thread's own.
  std::vector<TimedByte> echoHold;
  std::deque<TimedByte> out;
  bool writeBlocked = false;
  LinePacer rx;
  LinePacer tx;
  TimePoint txFree{};
  TimePoint lastReceived{};
  bool speedForgotten = false;
  std::mt19937 garbage;

  std::thread thread;
  std::atomic<bool> stop{false};
};

void VirtualHeater::Impl::Run() {
  // Bytes are due at exact times; the default 50 us of timer slack would put each one late.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  while (!stop.load()) {
    Service(SteadyClock::now());
    pollfd fds[2] = {{wakeRead, POLLIN, 0}, {-1, 0, 0}};
    nfds_t n = 1;
    if (!unplugged.load() && pty.IsOpen()) {
      fds[1] = {pty.MasterFd(), static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0)), 0};
      n = 2;
    }
    const timespec timeout = PollTimeout(SteadyClock::now());
    const int ready = ppoll(fds, n, &timeout, nullptr);
    if (ready < 0) {
      if (errno != EINTR) std::this_thread::sleep_for(milliseconds(10));
      continue;
    }
    if (fds[0].revents != 0) {
      char drain[16];
      while (read(wakeRead, drain, sizeof drain) > 0) {
      }
    }
    if (n == 2) {
      if (fds[1].revents & POLLOUT) writeBlocked = false;
      const bool readable = (fds[1].revents & POLLIN) != 0 && ReadAvailable();
      if (!readable && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        // Nothing to read although the terminal says otherwise (a hang-up or an error): do not
        // spin on it.
        std::this_thread::sleep_for(milliseconds(20));
      }
    }
  }
}

timespec VirtualHeater::Impl::PollTimeout(TimePoint now) const {
  TimePoint next = now + kMaxPoll;
  if (!out.empty() && !writeBlocked) next = std::min(next, out.front().due);
  if (const auto deadline = unit->Deadline()) next = std::min(next, *deadline);
  if (!speedForgotten) next = std::min(next, lastReceived + kForgetSpeedAfter);
  // To the microsecond: a byte put on the line a millisecond late would pace the whole
  // exchange by the poll's granularity rather than by the line rate.
  const auto wait = next <= now ? nanoseconds(0) : duration_cast<nanoseconds>(next - now);
  timespec t{};
  t.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
  t.tv_nsec = static_cast<long>(wait.count() % 1000000000);
  return t;
}

void VirtualHeater::Impl::Service(TimePoint now) {
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (unit->Expire(now)) {
      ++counters.framesDropped;
      Log("-- dropped: incomplete frame");
      FlushEcho();
    }
    if (const std::string line = unit->OnTimer(now); !line.empty()) Log(line);
    if (!speedForgotten && now - lastReceived >= kForgetSpeedAfter) {
      if (pty.IsOpen()) pty.ForgetLineSpeed();
      speedForgotten = true;
    }
  }
  WriteDue(now);
}

bool VirtualHeater::Impl::ReadAvailable() {
  std::uint8_t buffer[512];
  bool any = false;
  for (;;) {
    if (unplugged.load() || !pty.IsOpen()) return any;
    const ssize_t got = read(pty.MasterFd(), buffer, sizeof buffer);
    if (got <= 0) return any;  // EAGAIN: all read; EIO: nobody on the other side
    any = true;
    lastReceived = SteadyClock::now();
    speedForgotten = false;
    Process(buffer, static_cast<std::size_t>(got), lastReceived);
    if (static_cast<std::size_t>(got) < sizeof buffer) return any;
  }
}

void VirtualHeater::Impl::Process(const std::uint8_t* bytes, std::size_t count, TimePoint readAt) {
  const std::lock_guard<std::mutex> lock(mutex);
  for (std::size_t i = 0; i < count && !unplugged.load(); ++i) {
    TimePoint at = readAt;
    if (lineRate) {
      // The tester's bytes leave its UART one after another; each is complete (and echoed)
      // one character time after the previous one.
      at = rx.Next(readAt, unit->Rate(), unit->BitsPerByte());
    }
    ++counters.bytesReceived;
    echoHold.push_back({at, bytes[i]});
    const std::uint64_t droppedBefore = unit->Dropped();
    const std::optional<Bytes> frame = unit->Feed(bytes[i], at);
    if (unit->Dropped() != droppedBefore) {
      counters.framesDropped += unit->Dropped() - droppedBefore;
      Log("-- dropped: " + std::string(unit->LastDrop()));
    }
    if (frame) HandleFrame(*frame, at);
    if (!unit->Partial()) FlushEcho();
  }
}

void VirtualHeater::Impl::HandleFrame(const Bytes& frame, TimePoint at) {
  std::string why;
  const std::optional<RequestInfo> request = unit->Check(frame, &why);
  if (!request) {
    ++counters.framesDropped;
    Log("-- " + why + " " + Hex(frame));
    return;
  }
  Log("<- " + Hex(frame));
  const std::uint64_t number = counters.telegramsReceived++;
  if (request->block) ++counters.blockFramesReceived;
  const FaultDecision d = faults.Decide(number, request->command, request->index, request->block);
  if (d.unplug) {
    Unplug();
    return;
  }
  if (d.powerOff && !poweredOff) {
    poweredOff = true;
    Log("-- unit powered off");
  }
  if (d.wrongEcho) {
    CorruptEcho(frame.size());
    Log("-- wrong echo; the unit did not get the request");
  }
  if (poweredOff || d.noReply || d.wrongEcho) return;

  const int rate = unit->Rate();
  const int bits = unit->BitsPerByte();
  Answer answer;
  if (d.nakCode >= 0) {
    answer.bytes = unit->Refuse(frame, static_cast<std::uint8_t>(d.nakCode));
    answer.nak = true;
  } else {
    answer = unit->Respond(frame, at);
  }
  if (answer.bytes.empty()) {
    Log("-- no answer");
    return;
  }
  if (d.badChecksum) answer.bytes.back() ^= 0xFF;
  Schedule(answer.bytes, at + milliseconds(latencyMs + d.extraDelayMs), rate, bits);
  ++counters.repliesSent;
  if (answer.nak) ++counters.naksSent;
  Log("-> " + Hex(answer.bytes) + (d.extraDelayMs ? " (late)" : "") +
      (d.badChecksum ? " (bad checksum)" : ""));
  if (answer.rateAfter != 0 && answer.rateAfter != rate) {
    Log("-- line now at " + std::to_string(answer.rateAfter) + " baud");
  }
  if (d.garbageBytes > 0) {
    Bytes noise(static_cast<std::size_t>(d.garbageBytes));
    for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(garbage() & 0xFF);
    Schedule(noise, std::max(txFree, at) + kGarbagePause, unit->Rate(), unit->BitsPerByte());
    Log("-> " + Hex(noise) + " (garbage)");
  }
}

void VirtualHeater::Impl::FlushEcho() {
  for (const TimedByte& b : echoHold) Insert(b);
  echoHold.clear();
}

void VirtualHeater::Impl::CorruptEcho(std::size_t frameLength) {
  if (echoHold.size() < frameLength || frameLength == 0) return;
  Bytes echo(frameLength);
  const std::size_t first = echoHold.size() - frameLength;
  for (std::size_t i = 0; i < frameLength; ++i) echo[i] = echoHold[first + i].byte;
  unit->CorruptEcho(echo);
  for (std::size_t i = 0; i < frameLength; ++i) echoHold[first + i].byte = echo[i];
}

void VirtualHeater::Impl::Insert(TimedByte b) {
  const auto at = std::upper_bound(out.begin(), out.end(), b.due,
                                   [](TimePoint due, const TimedByte& o) { return due < o.due; });
  out.insert(at, b);
  while (out.size() > kMaxQueuedBytes) out.pop_front();
}

void VirtualHeater::Impl::Schedule(const Bytes& bytes, TimePoint start, int rate, int bits) {
  if (!lineRate) {
    for (const std::uint8_t b : bytes) Insert({start, b});
    txFree = std::max(txFree, start);
    return;
  }
  const TimePoint from = std::max(start, txFree);
  for (const std::uint8_t b : bytes) Insert({tx.Next(from, rate, bits), b});
  txFree = std::max(txFree, tx.Free());
}

void VirtualHeater::Impl::WriteDue(TimePoint now) {
  if (writeBlocked || out.empty() || out.front().due > now || unplugged.load()) return;
  std::uint8_t chunk[512];
  std::size_t n = 0;
  while (n < sizeof chunk && n < out.size() && out[n].due <= now) {
    chunk[n] = out[n].byte;
    ++n;
  }
  const ssize_t written = write(pty.MasterFd(), chunk, n);
  if (written > 0) {
    out.erase(out.begin(), out.begin() + written);
  } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    writeBlocked = true;
  } else {
    out.clear();  // the terminal is gone; nothing will ever take these bytes
  }
}

void VirtualHeater::Impl::Unplug() {
  unplugged.store(true);  // before the close, so that whoever sees the hang-up sees the flag
  pty.Close();
  out.clear();
  echoHold.clear();
  Log("-- adapter unplugged: terminal closed");
}

VirtualHeater::VirtualHeater(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

VirtualHeater::~VirtualHeater() {
  Stop();
}

std::unique_ptr<VirtualHeater> VirtualHeater::Start(const VirtualHeaterOptions& options,
                                                    std::string* error) {
  std::string ignored;
  if (!error) error = &ignored;
  Scenario scenario;
  if (!LoadScenario(options.scenario, options.scenarioJson, &scenario, error, options.device)) {
    return nullptr;
  }
  const int latency = options.latencyMs.value_or(scenario.latencyMs);
  if (latency < 0 || latency > 60000) {
    *error = "reply latency must lie between 0 and 60000 ms";
    return nullptr;
  }

  auto impl = std::make_unique<Impl>();
  impl->latencyMs = latency;
  impl->lineRate = options.lineRate;
  impl->log = options.log;
  impl->garbage.seed(scenario.model.seed ^ 0x5EEDu);
  if (!impl->pty.Open(error)) return nullptr;
  impl->path = impl->pty.Path();

  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    *error = "cannot create the wake-up pipe";
    return nullptr;
  }
  impl->wakeRead = pipeFds[0];
  impl->wakeWrite = pipeFds[1];
  for (const int fd : pipeFds) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }

  LineUnit::Clock clock = options.clock;
  if (!clock) {
    clock = [origin = SteadyClock::now()] {
      return duration_cast<milliseconds>(SteadyClock::now() - origin);
    };
  }
  impl->unit = MakeLineUnit(scenario, std::move(clock));
  for (FaultRule rule : scenario.injectedFaults) impl->faults.Add(rule, 0);
  for (FaultRule rule : options.faults) {
    rule.value = std::clamp(rule.value, 0, 60000);
    if (rule.kind == FaultKind::kGarbage) rule.value = std::clamp(rule.value, 1, 64);
    impl->faults.Add(rule, 0);
  }
  impl->thread = std::thread([p = impl.get()] { p->Run(); });
  return std::unique_ptr<VirtualHeater>(new VirtualHeater(std::move(impl)));
}

const std::string& VirtualHeater::PtyPath() const {
  return impl_->path;
}

std::string VirtualHeater::Device() const {
  return std::string(impl_->unit->Device());
}

int VirtualHeater::LineRate() const {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit->Rate();
}

int VirtualHeater::BitsPerByte() const {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit->BitsPerByte();
}

void VirtualHeater::Stop() {
  if (!impl_->thread.joinable()) return;
  impl_->stop.store(true);
  const char wake = 1;
  [[maybe_unused]] const ssize_t ignored = write(impl_->wakeWrite, &wake, 1);
  impl_->thread.join();
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->pty.Close();
}

VirtualHeaterCounters VirtualHeater::Counters() const {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->counters;
}

std::vector<std::uint8_t> VirtualHeater::Eeprom() const {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit->Eeprom();
}

std::uint8_t VirtualHeater::OperatingMode() const {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit->OperatingMode();
}

std::uint8_t VirtualHeater::StateCode() const {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit->StateCode();
}

std::size_t VirtualHeater::StoredFaultCount() const {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->unit->StoredFaultCount();
}

void VirtualHeater::InjectFault(const FaultRule& rule) {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->faults.Add(rule, impl_->counters.telegramsReceived);
}

void VirtualHeater::ClearFaults() {
  const std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->faults.Clear();
  impl_->poweredOff = false;
}

std::string ScenarioDevice(const std::string& scenario, std::string* error) {
  Scenario s;
  if (!LoadScenario(scenario, "", &s, error)) return {};
  return std::string(FamilyDevice(s.family));
}

bool VirtualHeater::Unplugged() const {
  return impl_->unplugged.load();
}

}  // namespace heatsim
