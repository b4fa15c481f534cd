// Reading a data file in the desktop program: the open-file dialogs, the
// batch input run on the worker thread, the progress of delimited text, and
// what follows the run (a cancelled run's analysis put back, the offer to
// leave out a column of text).
#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "input/batch_input_run.hpp"

namespace tolvane {

struct AnalysisState;
class BatchRunner;
class DesktopAnalysis;

class DataFileRun : public QObject {
  Q_OBJECT

 public:
  // The batch input run on the worker thread, which holds runMutex around
  // it. It owns input.file and closes it.
  using BatchInputRun = std::function<void(AnalysisState&, BatchInput input)>;

  // `frame` owns the message boxes; `dialogOwner` gives the widget the run's
  // dialogs and the progress belong to.
  DataFileRun(QWidget* frame, AnalysisState& state, DesktopAnalysis& analysis, BatchRunner& runner,
              std::function<QWidget*()> dialogOwner);

  // File > Read Batch Input and File > Open Data File: the open-file dialog,
  // then openChosenFile.
  void readBatchInput();
  void openDataFile();
  // A message box says that a run is going on; true when one is.
  bool refuseWhileRunning();
  // As described at MainFrame::openChosenFile and startBatchInput.
  bool openChosenFile(const QString& path, const QStringList& leaveOut = {});
  bool startBatchInput(const QString& path, const QStringList& leaveOut = {});

  void setRun(BatchInputRun run) { run_ = std::move(run); }
  // Where the next open-file dialog starts: the directory of the last chosen
  // file, at first the working directory.
  const QString& lastDirectory() const { return lastDirectory_; }

  // The runner has finished: a cancelled run's analysis is put back and the
  // progress closes. Then (after the caller's waiting commands) offerLeaveOut
  // asks about a column of text that stopped the run, if one did.
  void runEnded();
  void offerLeaveOut();

 private:
  // Polled while delimited text is read: a dialog once the reading itself
  // has begun and taken a moment, gone when it is done.
  void showReadProgress();
  void askToLeaveOut(const QString& path, QStringList leaveOut, const QString& column);

  QWidget* frame_;
  AnalysisState& state_;
  DesktopAnalysis& analysis_;
  BatchRunner& runner_;
  std::function<QWidget*()> dialogOwner_;
  BatchInputRun run_;
  QString lastDirectory_;
  // The worker stores its progress, the GUI polls it and may ask to cancel;
  // atomics, so no event crosses threads.
  struct ReadProgress {
    std::atomic<int> permille{-1};
    std::atomic<bool> cancel{false};
  };
  std::shared_ptr<ReadProgress> readProgress_;
  QTimer* progressTimer_;
  QPointer<QProgressDialog> progressDialog_;
  std::atomic<bool> lastRunCancelled_{false};
  // The delimited text the run reads, the columns it leaves out, and the
  // column whose text stopped it (set by the run's thread).
  QString runPath_;
  QStringList runLeaveOut_;
  std::mutex textColumnMutex_;
  std::string textColumn_;
};

}  // namespace tolvane
