#include "base/protocol.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/append_file.h"
#include "base/settings.h"
#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr std::size_t kMaxStringChars = 1023;
constexpr char kCloseLine[] = "---";
// "%s -> %s (%ds)", one of the views' texts.
constexpr std::uint32_t kTextStateChange = 33400;

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct ProtocolState {
  std::mutex mutex;
  ProtocolSink* sink = nullptr;
  ProtocolOptions options;
  std::array<char, kProtocolBufferSize> buffer{};
  std::size_t fill = 0;
  // Entries were stored since the last "---": the file's record of this run is still open.
  bool runOpen = false;
  // Until a diagnosis starts, the view's times count from the program's start.
  std::int64_t previousChangeMs = SteadyMs();
  std::int64_t startMs = SteadyMs();
  std::optional<std::int64_t> lastSentMs;
  ProtocolClock clock = nullptr;

  std::int64_t Now() const { return clock != nullptr ? clock() : SteadyMs(); }
};

ProtocolState& State() {
  static ProtocolState state;
  return state;
}

void FlushLocked(ProtocolState& s) {
  if (s.fill == 0) return;
  if (AppendWhole(s.options.file, s.buffer.data(), s.fill)) s.fill = 0;
}

void CloseFileLocked(ProtocolState& s) {
  // Also when the entries have been written out already (a diagnosis that finished), so that
  // each run's record ends with the line.
  if ((s.fill > 0 || s.runOpen) && s.fill + sizeof kCloseLine + 1 < kProtocolBufferSize) {
    std::memcpy(s.buffer.data() + s.fill, kCloseLine, sizeof kCloseLine - 1);
    s.fill += sizeof kCloseLine - 1;
    s.buffer[s.fill++] = '\n';
    s.runOpen = false;
  }
  FlushLocked(s);
}

// The first step of every entry: the file record.
void StoreLocked(ProtocolState& s, std::string_view text) {
  if (!s.options.store) {
    CloseFileLocked(s);
    return;
  }
  // Room for the text, its line feed and the terminating zero the buffer always had.
  if (s.fill + text.size() + 2 < kProtocolBufferSize) {
    std::memcpy(s.buffer.data() + s.fill, text.data(), text.size());
    s.fill += text.size();
    s.buffer[s.fill++] = '\n';
    s.runOpen = true;
  }
  if (s.fill > kProtocolFlushThreshold) FlushLocked(s);
}

void AddLocked(ProtocolState& s, std::string_view text, int kind) {
  StoreLocked(s, text);
  if (s.sink == nullptr) return;
  if (kind == kProtocolStateChange && !s.options.showStates) return;
  const std::int64_t now = s.Now();
  ProtocolStamp stamp;
  stamp.elapsedMs = now - s.startMs;
  if (kind == kProtocolSent) s.lastSentMs = now;
  if (kind == kProtocolReceived && s.lastSentMs) {
    stamp.replyMs = now - *s.lastSentMs;
    s.lastSentMs.reset();
  }
  s.sink->AddStamped(text, kind, stamp);
}

std::string FormatStateChange(const std::string& from, const std::string& to, long seconds) {
  const std::string format = LoadString(kTextStateChange);
  const int needed =
      std::snprintf(nullptr, 0, format.c_str(), from.c_str(), to.c_str(), seconds);  // NOLINT
  if (needed < 0) return from + " -> " + to;
  std::vector<char> out(static_cast<std::size_t>(needed) + 1);
  std::snprintf(out.data(), out.size(), format.c_str(), from.c_str(), to.c_str(),  // NOLINT
                seconds);
  return std::string(out.data(), static_cast<std::size_t>(needed));
}

}  // namespace

std::uint32_t ProtocolColour(int kind) {
  switch (kind) {
    case kProtocolSent:
      return 0x0000FF;
    case kProtocolReceived:
      return 0x008000;
    case kProtocolMessage:
      return 0x000000;
    case kProtocolError:
      return 0xFF0000;
    case kProtocolStateChange:
      return 0x808000;
    default:
      return 0x808080;
  }
}

void SetProtocolSink(ProtocolSink* sink) {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  s.sink = sink;
  s.lastSentMs.reset();
}

bool ProtocolViewExists() {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  return s.sink != nullptr;
}

void ProtocolUseSettings(const Settings& settings) {
  ProtocolOptions options;
  options.showStates = settings.protViewSequence != 0;
  options.showTelegrams = settings.protViewRxTx != 0;
  options.store = settings.protViewLog != 0;
  options.file = settings.protViewFile;
  ProtocolSetOptions(options);
}

void ProtocolSetOptions(const ProtocolOptions& options) {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  s.options = options;
}

ProtocolOptions ProtocolCurrentOptions() {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  return s.options;
}

void ProtocolAdd(std::string_view text, int kind) {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  AddLocked(s, text, kind);
}

void ProtocolAddById(std::uint32_t stringId, int kind) {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.sink == nullptr) return;
  std::string text = LoadString(stringId, kMaxStringChars);
  text.resize(std::min(text.size(), text.find_first_of("\r\n")));
  if (kind == kProtocolMessage || kind == kProtocolError) s.sink->ShowStatus(text);
  AddLocked(s, text, kind);
}

void ProtocolAddTelegram(const std::uint8_t* bytes, std::size_t count, int kind) {
  if (bytes == nullptr || count == 0) return;
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.sink == nullptr) return;
  if ((kind == kProtocolSent || kind == kProtocolReceived) && !s.options.showTelegrams) return;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = kind == kProtocolSent ? "Tx: " : "Rx: ";
  text.reserve(text.size() + count * 3);
  for (std::size_t i = 0; i < count; ++i) {
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
    text += ' ';
  }
  AddLocked(s, text, kind);
}

void ProtocolStateChange(std::string_view fromName, std::string_view toName) {
  const std::string from(fromName);
  const std::string to(toName);
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  const std::int64_t now = s.Now();
  const long seconds = static_cast<long>((now - s.previousChangeMs + 500) / 1000);
  s.previousChangeMs = now;
  AddLocked(s, FormatStateChange(from, to, seconds), kProtocolStateChange);
}

void ProtocolResetStateTimer() {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  s.previousChangeMs = s.Now();
}

void ProtocolMarkStart() {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  s.startMs = s.Now();
  s.lastSentMs.reset();
}

void ProtocolFlush() {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  FlushLocked(s);
}

void ProtocolCloseFile() {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  CloseFileLocked(s);
}

std::size_t ProtocolPendingBytes() {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  return s.fill;
}

void ProtocolDiscardBuffer() {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  s.fill = 0;
  s.runOpen = false;
}

void SetProtocolClock(ProtocolClock clock) {
  ProtocolState& s = State();
  std::lock_guard lock(s.mutex);
  s.clock = clock;
}

}  // namespace heatdiag
