#include "shell/gui/queued_target.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace heatdiag {
namespace {

struct Completion {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
};

}  // namespace

bool RunOnGuiThreadAndWait(QObject* context, std::function<void()> work,
                           const std::function<bool()>& stop) {
  if (QThread::currentThread() == context->thread()) {
    work();
    return true;
  }
  if (stop()) return false;
  auto completion = std::make_shared<Completion>();
  QMetaObject::invokeMethod(
      context,
      [completion, work = std::move(work)] {
        work();
        {
          std::lock_guard lock(completion->mutex);
          completion->finished = true;
        }
        completion->done.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(completion->mutex);
  while (!completion->finished) {
    if (stop()) return false;
    completion->done.wait_for(lock, std::chrono::milliseconds(50));
  }
  return true;
}

QueuedMessageTarget::QueuedMessageTarget(QObject* parent) : QObject(parent) {}

void QueuedMessageTarget::Close() {
  closed_.store(true);
  handler_ = nullptr;
  owner_ = nullptr;
}

void QueuedMessageTarget::Deliver(std::uint32_t message, std::intptr_t a, std::intptr_t b) {
  if (closed_.load() || !handler_) return;
  // Copy: the handler may replace or clear itself (a view closing on a message).
  Handler handler = handler_;
  handler(message, a, b);
}

void QueuedMessageTarget::Post(std::uint32_t message, std::intptr_t a, std::intptr_t b) {
  if (closed_.load()) return;
  QMetaObject::invokeMethod(
      this, [this, message, a, b] { Deliver(message, a, b); }, Qt::QueuedConnection);
}

void QueuedMessageTarget::Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) {
  if (closed_.load()) return;
  RunOnGuiThreadAndWait(
      this, [this, message, a, b] { Deliver(message, a, b); }, [this] { return closed_.load(); });
}

}  // namespace heatdiag
