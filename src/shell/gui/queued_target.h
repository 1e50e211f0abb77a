// A MessageTarget that delivers on the GUI thread. Worker threads post into it; the message
// arrives as a queued event and reaches the handler installed at that moment (none: dropped).
//
// The target is meant to outlive every window that uses it, so that a worker that still holds
// its address after the window has gone posts into a live object: windows install and remove
// their handler instead of owning the target.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>

#include "base/messages.h"

namespace heatdiag {

class QueuedMessageTarget final : public QObject, public MessageTarget {
 public:
  using Handler = std::function<void(std::uint32_t message, std::intptr_t a, std::intptr_t b)>;

  explicit QueuedMessageTarget(QObject* parent = nullptr);

  // GUI thread only. The owner tag lets a window that goes away remove only its own handler,
  // not that of its successor on the same target.
  void SetHandler(Handler handler, const void* owner = nullptr) {
    handler_ = std::move(handler);
    owner_ = owner;
  }
  // True when the handler was the owner's (and is removed now).
  bool ClearHandler(const void* owner = nullptr) {
    if (owner != owner_) return false;
    handler_ = nullptr;
    owner_ = nullptr;
    return true;
  }
  bool HasHandler() const { return static_cast<bool>(handler_); }
  // Stops delivery for good and releases every sender still waiting (at shutdown, before the
  // workers are stopped).
  void Close();
  bool IsClosed() const { return closed_.load(); }

  // Any thread.
  void Post(std::uint32_t message, std::intptr_t a, std::intptr_t b) override;
  // From the GUI thread the handler runs at once; from another thread the caller waits until
  // the GUI thread has handled the message, or until the target is closed.
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override;

 private:
  void Deliver(std::uint32_t message, std::intptr_t a, std::intptr_t b);

  Handler handler_;
  const void* owner_ = nullptr;
  std::atomic<bool> closed_{false};
};

// Runs work on the GUI thread of context and waits for it, or until stop() turns true (checked
// every 50 ms). Returns false when it gave up without the work having run to its end. From the
// GUI thread itself the work runs at once.
bool RunOnGuiThreadAndWait(QObject* context, std::function<void()> work,
                           const std::function<bool()>& stop);

}  // namespace heatdiag
