// The protocol: a running record of messages, errors, state changes and raw telegrams, added to
// from any thread.
//
// Every entry goes two ways. The protocol file: while storing is on, entries are collected in a
// 32768-byte buffer that is appended to the file when it passes 16384 bytes, when a diagnosis
// finishes, when the file is chosen, when storing is switched on and at exit (with a "---"
// line). The Protocol view: while one is installed (the ProtocolSink), entries are handed to it,
// filtered by the "Sequence" and "RxTx" options. Without a view, entries added by string id and
// telegrams are dropped altogether; plain texts and state changes still reach the file.
//
// One mutex guards the buffer, the options and the sink, so that an entry is always copied
// whole: the file never holds a line torn by another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace heatdiag {

struct Settings;

enum ProtocolKind : int {
  kProtocolSent = 0,
  kProtocolReceived = 1,
  kProtocolMessage = 2,
  kProtocolError = 3,
  kProtocolStateChange = 4,
};

// Text colour of an entry kind as 0xRRGGBB.
std::uint32_t ProtocolColour(int kind);

// When an entry was added: milliseconds since the diagnosis started (ProtocolMarkStart), and for
// a received telegram the milliseconds since the telegram sent before it.
struct ProtocolStamp {
  std::int64_t elapsedMs = 0;
  std::optional<std::int64_t> replyMs;
};

// The Protocol view (or a headless stand-in for it). Entries are handed over on the thread that
// added them, with the protocol's mutex held: an implementation only queues them and must not
// add to the protocol itself.
class ProtocolSink {
 public:
  virtual ~ProtocolSink() = default;
  virtual void Add(std::string_view text, int kind) = 0;
  // The same with the time of the entry; by default the time is not used.
  virtual void AddStamped(std::string_view text, int kind, const ProtocolStamp& stamp) {
    (void)stamp;
    Add(text, kind);
  }
  // A message or error added by string id also goes to the status bar.
  virtual void ShowStatus(std::string_view text) { (void)text; }
};

// Installs the view that receives entries (nullptr: the view is closed). Returns once no entry
// is being handed to the previous one.
void SetProtocolSink(ProtocolSink* sink);
bool ProtocolViewExists();

// The ProtView settings the protocol works with.
struct ProtocolOptions {
  bool showStates = true;     // "Sequence": state changes reach the view
  bool showTelegrams = true;  // "RxTx": telegrams reach the view
  bool store = false;         // "Log": entries are stored into the file
  std::string file = "HDG.LOG";
};
// Takes "Sequence", "RxTx", "Log" and "File" from the settings.
void ProtocolUseSettings(const Settings& settings);
void ProtocolSetOptions(const ProtocolOptions& options);
ProtocolOptions ProtocolCurrentOptions();

void ProtocolAdd(std::string_view text, int kind);
// Adds the string with the given id (at most 1023 characters), cut at its first line break;
// only while a view exists. Kinds 2 and 3 also go to the status bar.
void ProtocolAddById(std::uint32_t stringId, int kind);
// Adds "Tx: " (kind 0) or "Rx: " (kind 1) and every byte as "%02X "; only while a view exists
// and "RxTx" is on.
void ProtocolAddTelegram(const std::uint8_t* bytes, std::size_t count, int kind);

// Adds "from -> to (Ns)" with the seconds since the previous change. The drivers name the states
// (ProtocolStateChange with a state table, drivers/catalogue/parameter.h).
void ProtocolStateChange(std::string_view fromName, std::string_view toName);
// The previous state change is now (a session starts).
void ProtocolResetStateTimer();
// The diagnosis starts: the time stamps of the view count from now.
void ProtocolMarkStart();

// Appends the buffer to the file; when that fails the buffer is kept as it is.
void ProtocolFlush();
// Appends a "---" line (when it fits) if entries were stored since the last one, then
// ProtocolFlush.
void ProtocolCloseFile();

// --- For tests ---
inline constexpr std::size_t kProtocolBufferSize = 32768;
inline constexpr std::size_t kProtocolFlushThreshold = 16384;
// Bytes waiting in the buffer.
std::size_t ProtocolPendingBytes();
// Empties the buffer without writing it.
void ProtocolDiscardBuffer();
// The millisecond clock of state changes and time stamps (nullptr: the steady clock).
using ProtocolClock = std::int64_t (*)();
void SetProtocolClock(ProtocolClock clock);

}  // namespace heatdiag
