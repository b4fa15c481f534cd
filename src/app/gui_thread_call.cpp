#include "app/gui_thread_call.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace tolvane {

namespace {

struct Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;

  void wake() {
    std::lock_guard lock(mutex);
    done = true;
    cv.notify_all();
  }
};

struct PendingCall {
  const std::function<void()>* fn;
  std::shared_ptr<Waiter> waiter;
};

// The calls waiting for the GUI thread. A worker's call goes through this
// queue under a standard mutex, never inside a Qt event: Qt's libraries
// synchronise through primitives a thread sanitizer cannot see, so anything
// handed over inside an event would be reported as a race (and would be one
// to any checker that cannot see Qt's own locking).
class Dispatcher : public QObject {
  Q_OBJECT

 public:
  explicit Dispatcher(QObject* parent) : QObject(parent) {
    std::lock_guard lock(mutex());
    current() = this;
  }

  // The application is going: every call still waiting is woken unrun, so
  // that no worker is left hanging.
  ~Dispatcher() override {
    std::deque<PendingCall> dropped;
    {
      std::lock_guard lock(mutex());
      if (current() == this) current() = nullptr;
      dropped.swap(queue());
    }
    for (PendingCall& call : dropped)
      call.waiter->wake();
  }

  // Queues a call and asks the GUI thread to run it. False when there is no
  // application to run it.
  static bool post(PendingCall call) {
    std::lock_guard lock(mutex());
    Dispatcher* dispatcher = current();
    if (dispatcher == nullptr) return false;
    queue().push_back(std::move(call));
    // By name: the event is then made and freed inside Qt, and carries nothing.
    if (QMetaObject::invokeMethod(dispatcher, "runOne", Qt::QueuedConnection)) return true;
    queue().pop_back();
    return false;
  }

  // One call per event, as each was posted: a modal dialog's own event loop
  // may run the next call while the first is still open.
  Q_INVOKABLE void runOne() {
    PendingCall call{};
    {
      std::lock_guard lock(mutex());
      if (queue().empty()) return;
      call = std::move(queue().front());
      queue().pop_front();
    }
    (*call.fn)();
    call.waiter->wake();
  }

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static std::deque<PendingCall>& queue() {
    static std::deque<PendingCall> q;
    return q;
  }
  static Dispatcher*& current() {
    static Dispatcher* d = nullptr;
    return d;
  }
};

// Made on the GUI thread as the application starts, and owned by it.
void makeDispatcher() {
  new Dispatcher(QCoreApplication::instance());
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(makeDispatcher)

bool onGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void callOnGuiThread(const std::function<void()>& fn) {
  if (onGuiThread()) {
    fn();
    return;
  }
  auto waiter = std::make_shared<Waiter>();
  if (!Dispatcher::post(PendingCall{&fn, waiter})) return;
  std::unique_lock lock(waiter->mutex);
  waiter->cv.wait(lock, [&] { return waiter->done; });
}

}  // namespace tolvane

#include "gui_thread_call.moc"
