// The frame "Shrinkage Regression": a multiple-document area holding the
// report window and the graph windows, the menu bar of the current analysis
// stage, the accelerators, and the dispatch of every command.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/data_file_run.hpp"
#include "app/menu_table.hpp"
#include "model/desktop_analysis.hpp"

class QDialog;
class QMdiArea;
class QMenu;
class QMdiSubWindow;

namespace tolvane {

struct AnalysisState;
class AnalysisCommands;
class BatchRunner;
class InferenceIntervals;
class ReportWindow;

class MainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // The batch input run on the worker thread, which holds runMutex around
  // it. It owns input.file and closes it.
  using BatchInputRun = DataFileRun::BatchInputRun;

  // Builds the frame with the scroll menu bar and the report window, and
  // installs the core's hooks (report observer, stage hooks) for its life.
  explicit MainFrame(AnalysisState& state, QWidget* parent = nullptr);
  ~MainFrame() override;

  // Runs a command by its id, as a menu entry or an accelerator does.
  void command(int id);

  // Starts a batch input run on a chosen file, as Read Batch Input and Open
  // Data File do after their open-file dialogs and a file dropped on the
  // frame does; delimited text (.csv, .tsv, .txt) is read as such, with a
  // progress dialog whose Cancel stops the reading, leaving out the columns
  // named in `leaveOut`. False when the file does not open or a run is going
  // on (which a message box then says).
  bool startBatchInput(const QString& path, const QStringList& leaveOut = {}) {
    return dataFiles_->startBatchInput(path, leaveOut);
  }

  // Opens a data file as File > Read Batch Input does once a file is chosen
  // (the run's dialogs follow); `tolvane FILE` comes here. A file that does
  // not open gets a message box naming it and the system's reason. Columns
  // named in `leaveOut` are not read (delimited text).
  bool openChosenFile(const QString& path, const QStringList& leaveOut = {}) {
    return dataFiles_->openChosenFile(path, leaveOut);
  }

  // Replaces the run that Read Batch Input starts (tests).
  void setBatchInputRun(BatchInputRun run) { dataFiles_->setRun(std::move(run)); }

  MenuStage stage() const { return stage_; }
  QMdiArea* mdiArea() const { return mdi_; }
  // Null once the user has closed it.
  ReportWindow* reportWindow() const;
  BatchRunner& runner() const { return *runner_; }
  InferenceIntervals& intervals() const { return *intervals_; }
  AnalysisState& state() const { return state_; }
  const DesktopAnalysis& analysis() const { return analysis_; }
  // Commands waiting for the running batch input to finish.
  const std::vector<int>& pendingCommands() const { return pending_; }

  // The widget that owns dialogs: the report window, or the frame once the
  // report window is gone.
  QWidget* dialogOwner();

 public slots:
  void setStage(tolvane::MenuStage stage);

 signals:
  void stageChanged(tolvane::MenuStage stage);
  // A batch input run has ended and the commands that waited for it ran.
  void batchInputFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private slots:
  // Reached by name from whichever thread the core runs on (see the
  // constructor).
  void enterPathStage() { setStage(MenuStage::Path); }
  void enterGraphStage() { setStage(MenuStage::Graph); }
  // An output file could not be written: the failures waiting, in a box.
  void showOutputFailures();
  void showNewestReportLine();

 private:
  std::mutex failuresMutex_;
  std::vector<std::string> failures_;  // output failures not yet shown
  void placeOnScreen();
  void createReportWindow();
  // Window > Report Window: the report window shown and active, made anew
  // when the user has closed it.
  void showReportWindow();
  void showHelp();
  // Print Graph or Copy with no graph window active: a message says why.
  void sayNotAGraph(int id);
  void closeAllChildren();
  void closeFiles();
  void lineThickness();
  void openGraph(int id);
  void forwardToActiveChild(int id);
  // True (and the command queued) when a batch input run holds the state.
  bool waitForRun(int id);
  void runFinished();
  void subWindowActivated(QMdiSubWindow* window);
  bool isGraphChild(QMdiSubWindow* window) const;

  AnalysisState& state_;
  // The extent request, the results of the current path and the data file
  // they came from.
  DesktopAnalysis analysis_;
  QMdiArea* mdi_;
  QPointer<ReportWindow> reportWindow_;
  QPointer<QDialog> help_;
  QPointer<QMdiSubWindow> lastActive_;
  BatchRunner* runner_;
  InferenceIntervals* intervals_;
  DataFileRun* dataFiles_;
  std::unique_ptr<AnalysisCommands> commands_;
  MenuStage stage_ = MenuStage::Scroll;
  std::vector<int> pending_;
  bool placed_ = false;
};

}  // namespace tolvane
