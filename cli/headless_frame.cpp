#include "cli/headless_frame.h"

#include "drivers/diag_store.h"

namespace heatdiag::cli {

HeadlessFrame::HeadlessFrame(std::ostream* errors) : errorStream_(errors) {}

HeadlessFrame::~HeadlessFrame() {
  if (!installed_) return;
  StoreUnsubscribe(this);
  SetProtocolSink(nullptr);
  SetErrorBoxPresenter(nullptr);
  SetFrameTarget(nullptr);
}

void HeadlessFrame::Install() {
  SetFrameTarget(this);
  SetErrorBoxPresenter(this);
  SetProtocolSink(this);
  StoreSubscribe(this, 0xFFFFFFFFu, 0);
  installed_ = true;
}

void HeadlessFrame::SetMessageHook(MessageHook hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

void HeadlessFrame::Post(std::uint32_t message, std::intptr_t a, std::intptr_t) {
  MessageHook hook;
  {
    std::lock_guard lock(mutex_);
    hook = hook_;
  }
  if (hook) hook(message, a);
  if (message != UM_DATAREADY && message != UM_LINKENDED) return;
  {
    std::lock_guard lock(mutex_);
    if (message == UM_DATAREADY) dataReady_ = true;
    if (message == UM_LINKENDED) linkEnded_ = true;
  }
  changed_.notify_all();
}

// Protocol recording has no view to start or stop here: the protocol is always recorded.
void HeadlessFrame::Send(std::uint32_t, std::intptr_t, std::intptr_t) {}

void HeadlessFrame::ShowError(std::string_view, std::string_view text) {
  std::lock_guard lock(mutex_);
  errors_.emplace_back(text);
  if (errorStream_ != nullptr) *errorStream_ << text << '\n' << std::flush;
}

void HeadlessFrame::Add(std::string_view text, int kind) {
  {
    std::lock_guard lock(mutex_);
    protocol_.push_back({kind, std::string(text)});
  }
  changed_.notify_all();
}

void HeadlessFrame::Interrupt() {
  {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
  }
  changed_.notify_all();
}

void HeadlessFrame::Note(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (errorStream_ != nullptr) *errorStream_ << text << '\n' << std::flush;
}

HeadlessFrame::Outcome HeadlessFrame::WaitForConnection(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, limit, [this] { return dataReady_ || linkEnded_ || interrupted_; });
  if (dataReady_) return Outcome::kDataReady;
  if (linkEnded_) return Outcome::kLinkEnded;
  return interrupted_ ? Outcome::kInterrupted : Outcome::kTimedOut;
}

bool HeadlessFrame::KeepPolling(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, duration, [this] { return linkEnded_ || interrupted_; });
}

HeadlessFrame::Outcome HeadlessFrame::WaitForProtocol(const ProtocolTest& seen,
                                                      std::chrono::milliseconds limit,
                                                      bool untilInterrupt) {
  std::unique_lock lock(mutex_);
  bool found = false;
  changed_.wait_for(lock, limit, [&] {
    found = seen(protocol_);
    return found || linkEnded_ || (untilInterrupt && interrupted_);
  });
  if (found) return Outcome::kDataReady;
  if (linkEnded_) return Outcome::kLinkEnded;
  return untilInterrupt && interrupted_ ? Outcome::kInterrupted : Outcome::kTimedOut;
}

bool HeadlessFrame::Interrupted() const {
  std::lock_guard lock(mutex_);
  return interrupted_;
}

bool HeadlessFrame::LinkEnded() const {
  std::lock_guard lock(mutex_);
  return linkEnded_;
}

std::size_t HeadlessFrame::ProtocolSize() const {
  std::lock_guard lock(mutex_);
  return protocol_.size();
}

std::vector<std::string> HeadlessFrame::Errors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

std::vector<ProtocolEntry> HeadlessFrame::Protocol() const {
  std::lock_guard lock(mutex_);
  return protocol_;
}

}  // namespace heatdiag::cli
