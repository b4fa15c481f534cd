#include "app/batch_runner.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <chrono>
#include <exception>

#include "report/report.hpp"

namespace tolvane {

std::atomic<bool>& BatchRunner::dialogsWithdrawn() {
  static std::atomic<bool> withdrawn{false};
  return withdrawn;
}

BatchRunner::BatchRunner(std::mutex& runMutex, QObject* parent)
    : QObject(parent), runMutex_(runMutex) {}

BatchRunner::~BatchRunner() {
  // Whoever listens to finished() may be half destroyed by now.
  blockSignals(true);
  if (!thread_.joinable()) return;
  // The worker may be waiting for the GUI thread to show a dialog: keep
  // serving its calls until it is done, or joining would deadlock.
  while (!workerDone_.load()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (thread_.joinable()) thread_.join();
}

bool BatchRunner::stateFree() const {
  if (running_) return false;
  std::unique_lock lock(runMutex_, std::try_to_lock);
  return lock.owns_lock();
}

bool BatchRunner::start(std::function<void()> job) {
  if (running_) return false;
  if (thread_.joinable()) thread_.join();
  running_ = true;
  workerDone_ = false;
  thread_ = std::thread([this, job = std::move(job)] {
    {
      std::lock_guard lock(runMutex_);
      try {
        job();
      } catch (const std::exception& e) {
        // Nothing may escape a thread; the user learns why the run stopped.
        reportLinef("    The batch input run stopped: %s", e.what());
        REPORT_SHOW();
      }
    }
    // Post before signalling done: the destructor returns only after the
    // flag is set, so the object is alive when the event is posted.
    // By name: the event is made inside Qt and carries nothing from here.
    QMetaObject::invokeMethod(this, "onWorkerDone", Qt::QueuedConnection);
    workerDone_ = true;
  });
  return true;
}

void BatchRunner::onWorkerDone() {
  if (!running_) return;
  if (thread_.joinable()) thread_.join();
  running_ = false;
  emit finished();
}

}  // namespace tolvane
