#include "app/gui_thread_call.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace tolvane {

namespace {

struct Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
};

// Wakes the waiting thread when the last owner lets go of it: the queued
// call once it has run, or Qt discarding the call unrun, so that a waiter is
// never left hanging.
class Wakeup {
 public:
  explicit Wakeup(std::shared_ptr<Waiter> waiter) : waiter_(std::move(waiter)) {}
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;
  ~Wakeup() {
    {
      std::lock_guard lock(waiter_->mutex);
      waiter_->done = true;
    }
    waiter_->cv.notify_all();
  }

 private:
  std::shared_ptr<Waiter> waiter_;
};

}  // namespace

bool onGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void callOnGuiThread(const std::function<void()>& fn) {
  if (onGuiThread()) {
    fn();
    return;
  }
  // A blocking queued call, made of a queued call and a standard mutex and
  // condition variable rather than Qt::BlockingQueuedConnection: the same
  // behaviour, but a thread sanitizer sees the hand-over of everything the
  // dialog wrote, which it cannot see through Qt's own semaphore.
  auto waiter = std::make_shared<Waiter>();
  auto wakeup = std::make_shared<Wakeup>(waiter);
  const std::function<void()>* call = &fn;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [wakeup, call]() mutable {
        (*call)();
        wakeup.reset();
      },
      Qt::QueuedConnection);
  wakeup.reset();
  std::unique_lock lock(waiter->mutex);
  waiter->cv.wait(lock, [&] { return waiter->done; });
}

}  // namespace tolvane
