// Drives modal dialogs in Qt tests: each step waits for a modal widget with
// a given object name and then acts on it, the way a user would. A step that
// does not come within its time fails the test through expired().
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>

namespace tolvane::test {

class ModalScript : public QObject {
 public:
  using Action = std::function<void(QWidget*)>;

  explicit ModalScript(int timeoutMs = 10000) : timeoutMs_(timeoutMs) {
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start(10);
    clock_.start();
  }

  // Acts on the next modal widget named objectName.
  ModalScript& then(const QString& objectName, Action action) {
    steps_.push_back({objectName, std::move(action)});
    clock_.restart();
    return *this;
  }

  bool done() const { return steps_.empty(); }
  // True when a step waited longer than the time-out.
  bool expired() const { return expired_; }
  // The step that waited too long, if any.
  const QString& expiredStep() const { return expiredStep_; }
  // Object names of modal widgets seen that no step asked for.
  const QStringList& strangers() const { return strangers_; }

 private:
  struct Step {
    QString name;
    Action action;
  };

  void poll() {
    if (steps_.empty()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible() && modal != last_) {
      if (modal->objectName() == steps_.front().name) {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        last_ = modal;
        clock_.restart();
        step.action(modal);
        return;
      }
      if (!strangers_.contains(modal->objectName())) strangers_ << modal->objectName();
    }
    if (clock_.elapsed() > timeoutMs_) {
      expired_ = true;
      expiredStep_ = steps_.front().name;
      steps_.clear();
      // Unblock whatever waits on the modal widget that never got its step.
      if (modal != nullptr) modal->close();
    }
  }

  std::deque<Step> steps_;
  QTimer timer_;
  QElapsedTimer clock_;
  QPointer<QWidget> last_;  // acted on already, maybe still closing
  QStringList strangers_;
  bool expired_ = false;
  QString expiredStep_;
  int timeoutMs_;
};

// The texts of a list widget's entries, in order.
inline QStringList items(const QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i)
    out << list->item(i)->text();
  return out;
}

// Types the path into the dialog's name field and accepts, as Enter does.
// The dialog lists directories in the background and may ignore an early
// accept; try again until it closes.
inline void acceptPath(QPointer<QFileDialog> dialog, const QString& path, int triesLeft) {
  if (!dialog || !dialog->isVisible()) return;
  dialog->findChild<QLineEdit*>("fileNameEdit")->setText(path);
  QMetaObject::invokeMethod(dialog, "accept");
  if (triesLeft > 0 && dialog && dialog->isVisible()) {
    QTimer::singleShot(50, dialog,
                       [dialog, path, triesLeft] { acceptPath(dialog, path, triesLeft - 1); });
  }
}

}  // namespace tolvane::test
