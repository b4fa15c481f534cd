// Visualize > Display Inference Intervals: the resampling runs on the
// frame's worker thread (holding the analysis state, like a batch input)
// behind a progress dialog that can cancel; when it completes, the report
// and summary block and the CSV file are written and the intervals chart
// opens. A cancelled run leaves no intervals.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "model/bootstrap.hpp"

#include <QProgressDialog>

namespace tolvane {

class MainFrame;

class InferenceIntervals : public QObject {
  Q_OBJECT

 public:
  explicit InferenceIntervals(MainFrame* frame);
  ~InferenceIntervals() override;

  // Starts the resamples. False, with the reason in the report, when the
  // state cannot be resampled or the worker is busy.
  bool start(const BootstrapSettings& settings = {});
  bool running() const { return running_; }
  // Asks the resamples to stop; the run then ends without intervals.
  void cancel();
  // The progress dialog while a run goes on (tests press its button).
  QProgressDialog* progressDialog() const { return dialog_; }
  // The window of the last completed run, or null.
  QWidget* lastWindow() const { return window_; }

 signals:
  // On the GUI thread when a run has ended: completed false after a cancel.
  void finished(bool completed);

 private:
  struct Shared {
    std::atomic<int> done{0};
    std::atomic<bool> cancel{false};
    std::optional<BootstrapResult> result;  // read after the worker ended
  };
  void poll();
  void runEnded();

  MainFrame* frame_;
  QTimer timer_;
  QPointer<QProgressDialog> dialog_;
  QPointer<QWidget> window_;
  std::shared_ptr<Shared> shared_;
  bool running_ = false;
  int total_ = 0;
};

}  // namespace tolvane
