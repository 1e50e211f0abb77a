// The frame of a command-line run: it receives the workers' messages, takes their error boxes
// (the text is kept and written to standard error, the worker goes on at once) and records the
// protocol.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/frame_sink.h"
#include "base/messages.h"
#include "base/protocol.h"

namespace heatdiag::cli {

struct ProtocolEntry {
  int kind;
  std::string text;
};

class HeadlessFrame : public MessageTarget, public ErrorBoxPresenter, public ProtocolSink {
 public:
  // Error texts are also written to `errors` as they come (nullptr: kept only).
  explicit HeadlessFrame(std::ostream* errors);
  ~HeadlessFrame() override;
  HeadlessFrame(const HeadlessFrame&) = delete;
  HeadlessFrame& operator=(const HeadlessFrame&) = delete;

  // Installs itself as the frame target, error-box presenter, protocol sink and store
  // subscriber; the destructor removes it again.
  void Install();

  void Post(std::uint32_t message, std::intptr_t a, std::intptr_t b) override;
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override;
  void ShowError(std::string_view caption, std::string_view text) override;
  void Add(std::string_view text, int kind) override;

  // Receives every posted message first (on the poster's thread), so that a subcommand can
  // answer the dialogs a worker asks for. Set it before the workers run.
  using MessageHook = std::function<void(std::uint32_t message, std::intptr_t a)>;
  void SetMessageHook(MessageHook hook);

  // Ctrl-C: the waits below end at once. Any thread.
  void Interrupt();
  // Writes a message of the run's own to the error stream, in turn with the workers' errors.
  void Note(std::string_view text);

  enum class Outcome { kDataReady, kLinkEnded, kTimedOut, kInterrupted };
  // Waits until the connection pass is complete, the link has ended or the run is interrupted.
  Outcome WaitForConnection(std::chrono::milliseconds limit);
  // Waits up to `duration`; returns early (false) when the link ends or the run is interrupted.
  bool KeepPolling(std::chrono::milliseconds duration);

  // Waits until `seen` holds for the protocol recorded so far, the link ends, the limit passes
  // or (when `untilInterrupt`) the run is interrupted. kDataReady stands for "seen".
  using ProtocolTest = std::function<bool(const std::vector<ProtocolEntry>&)>;
  Outcome WaitForProtocol(const ProtocolTest& seen, std::chrono::milliseconds limit,
                          bool untilInterrupt = true);
  bool Interrupted() const;
  bool LinkEnded() const;

  std::vector<std::string> Errors() const;
  std::vector<ProtocolEntry> Protocol() const;
  std::size_t ProtocolSize() const;

 private:
  std::ostream* errorStream_;
  bool installed_ = false;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool dataReady_ = false;
  bool linkEnded_ = false;
  bool interrupted_ = false;
  std::vector<std::string> errors_;
  MessageHook hook_;
  std::vector<ProtocolEntry> protocol_;
};

}  // namespace heatdiag::cli
