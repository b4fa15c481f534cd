// Runs one batch input at a time on a worker thread.
//
// The run holds AnalysisState::runMutex for its whole length, so commands on
// the GUI thread can tell that the state is being rebuilt. busy() is true
// from start() until finished() has been emitted on the GUI thread.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace tolvane {

class BatchRunner : public QObject {
  Q_OBJECT

 public:
  explicit BatchRunner(std::mutex& runMutex, QObject* parent = nullptr);
  // Waits for a run still going on. Meanwhile the GUI thread keeps serving
  // the worker's calls; set dialogsWithdrawn() first so they return at once.
  // Must not run from inside one of the run's own dialogs, whose call the
  // worker waits for below this destructor on the same stack.
  ~BatchRunner() override;

  // Starts job on a new thread. Returns false, and starts nothing, while a
  // run is going on. GUI thread only.
  bool start(std::function<void()> job);

  // A run is going on (GUI thread only).
  bool busy() const { return running_; }

  // True when neither a run nor anyone else holds runMutex: the analysis
  // state may be used on the GUI thread now.
  bool stateFree() const;

  // Set while the program is being torn down: the worker's dialogs are not
  // shown any more and answer as if closed by their close box.
  static std::atomic<bool>& dialogsWithdrawn();

 signals:
  void finished();

 private slots:
  void onWorkerDone();

 private:
  std::mutex& runMutex_;
  std::thread thread_;
  std::atomic<bool> workerDone_{false};
  bool running_ = false;
};

}  // namespace tolvane
