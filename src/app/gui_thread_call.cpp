#include "app/gui_thread_call.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace tolvane {

bool onGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

void callOnGuiThread(const std::function<void()>& fn) {
  if (onGuiThread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(QCoreApplication::instance(), fn, Qt::BlockingQueuedConnection);
}

}  // namespace tolvane
