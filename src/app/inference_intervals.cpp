#include "app/inference_intervals.hpp"

#include <QMdiArea>
#include <QProgressDialog>
#include <filesystem>

#include "app/batch_runner.hpp"
#include "app/main_frame.hpp"
#include "engine/analysis_state.hpp"
#include "graph/intervals_chart.hpp"
#include "model/bootstrap_report.hpp"
#include "report/report.hpp"

namespace tolvane {

InferenceIntervals::InferenceIntervals(MainFrame* frame) : QObject(frame), frame_(frame) {
  timer_.setInterval(100);
  connect(&timer_, &QTimer::timeout, this, &InferenceIntervals::poll);
  connect(&frame->runner(), &BatchRunner::finished, this, &InferenceIntervals::runEnded);
}

InferenceIntervals::~InferenceIntervals() {
  cancel();
}

bool InferenceIntervals::start(const BootstrapSettings& settings) {
  AnalysisState& state = frame_->state();
  if (running_ || !frame_->runner().stateFree()) return false;
  if (const Status can = resamplingStatus(state); !can.ok()) {
    reportLinef("    %s", can.message.c_str());
    REPORT_SHOW();
    return false;
  }
  auto shared = std::make_shared<Shared>();
  AnalysisState* s = &state;
  const bool started = frame_->runner().start([shared, s, settings] {
    StatusOr<BootstrapResult> result = runBootstrap(*s, settings, [shared](int done, int) {
      shared->done.store(done);
      return !shared->cancel.load();
    });
    if (!result) {
      reportLinef("    %s", result.message().c_str());
      REPORT_SHOW();
      return;
    }
    const std::string csv = intervalsCsvPath(*s, {}, s->pathsTraced);
    std::string csvName;
    if (!csv.empty()) {
      if (const Status written = writeBootstrapCsv(*result, csv); written.ok()) {
        csvName = std::filesystem::path(csv).filename().string();
      } else {
        reportLinef("    %s", written.message.c_str());
      }
    }
    reportBootstrap(*s, *result, csvName);
    s->files.flushBoth();
    shared->result = std::move(result.value);
  });
  if (!started) return false;
  shared_ = shared;
  running_ = true;
  total_ = settings.resamples;
  dialog_ = new QProgressDialog(QStringLiteral("Resampling the observations..."),
                                QStringLiteral("Cancel"), 0, total_, frame_);
  dialog_->setObjectName(QStringLiteral("intervalsProgress"));
  dialog_->setWindowTitle(QStringLiteral("Display Inference Intervals"));
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setMinimumDuration(0);
  connect(dialog_, &QProgressDialog::canceled, this, &InferenceIntervals::cancel);
  dialog_->show();
  timer_.start();
  return true;
}

void InferenceIntervals::cancel() {
  if (shared_) shared_->cancel.store(true);
}

void InferenceIntervals::poll() {
  if (dialog_ && shared_) dialog_->setValue(shared_->done.load());
}

void InferenceIntervals::runEnded() {
  if (!running_) return;
  running_ = false;
  timer_.stop();
  if (dialog_) dialog_->deleteLater();
  dialog_ = nullptr;
  const bool completed = shared_ && shared_->result.has_value();
  if (completed)
    window_ = openIntervalsWindow(frame_->mdiArea(), frame_->state(), *shared_->result);
  shared_.reset();
  emit finished(completed);
}

}  // namespace tolvane
