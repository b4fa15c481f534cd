#include "app/data_file_run.hpp"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <cerrno>
#include <cstring>

#include "app/batch_runner.hpp"
#include "app/gui_batch_dialogs.hpp"
#include "app/open_batch_dialog.hpp"
#include "app/precision_setting.hpp"
#include "engine/analysis_state.hpp"
#include "input/delimited_reader.hpp"
#include "model/desktop_analysis.hpp"

namespace tolvane {

namespace {
const char kTitle[] = "Shrinkage Regression";
const char kRunGoingOn[] =
    "A batch input run is still in progress. Wait until it has finished before reading "
    "another batch input file.";
}  // namespace

DataFileRun::DataFileRun(QWidget* frame, AnalysisState& state, DesktopAnalysis& analysis,
                         BatchRunner& runner, std::function<QWidget*()> dialogOwner)
    : QObject(frame),
      frame_(frame),
      state_(state),
      analysis_(analysis),
      runner_(runner),
      dialogOwner_(std::move(dialogOwner)),
      progressTimer_(new QTimer(this)) {
  progressTimer_->setInterval(100);
  connect(progressTimer_, &QTimer::timeout, this, &DataFileRun::showReadProgress);
  run_ = [this](AnalysisState& s, BatchInput input) {
    GuiBatchDialogs dialogs(dialogOwner_);
    const BatchRunResult result = runBatchInputHoldingLock(s, std::move(input), dialogs);
    lastRunCancelled_ = result.code == StatusCode::kCancelled;
    std::lock_guard lock(textColumnMutex_);
    textColumn_ = result.textColumn;
  };
}

bool DataFileRun::refuseWhileRunning() {
  if (!runner_.busy()) return false;
  QMessageBox box(QMessageBox::Information, QString::fromLatin1(kTitle),
                  QString::fromLatin1(kRunGoingOn), QMessageBox::Ok, frame_);
  box.setObjectName(QStringLiteral("runGoingOnMessage"));
  box.exec();
  return true;
}

void DataFileRun::readBatchInput() {
  if (refuseWhileRunning()) return;
  const QString path = chooseBatchInputFile(frame_, lastDirectory_);
  if (!path.isEmpty()) openChosenFile(path);
}

void DataFileRun::openDataFile() {
  if (refuseWhileRunning()) return;
  const QString path = chooseDataFile(frame_, lastDirectory_);
  if (!path.isEmpty()) openChosenFile(path);
}

bool DataFileRun::openChosenFile(const QString& path, const QStringList& leaveOut) {
  if (refuseWhileRunning()) return false;
  errno = 0;
  if (startBatchInput(path, leaveOut)) return true;
  const int error = errno;
  const QString why = QFileInfo(path).isDir() ? QStringLiteral("it is a folder")
                      : error != 0            ? QString::fromLocal8Bit(std::strerror(error))
                                              : QStringLiteral("it cannot be read");
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kTitle),
                  QStringLiteral("Cannot open %1: %2.").arg(QDir::toNativeSeparators(path), why),
                  QMessageBox::Ok, frame_);
  box.setObjectName(QStringLiteral("cannotOpenMessage"));
  box.exec();
  return false;
}

bool DataFileRun::startBatchInput(const QString& path, const QStringList& leaveOut) {
  if (runner_.busy()) return false;
  const QFileInfo info(path);
  if (info.isDir()) return false;  // fopen would open it, and reading would fail
  const QByteArray encoded = QFile::encodeName(info.absoluteFilePath());
  const bool delimited = isDelimitedName(encoded.toStdString());
  std::FILE* infile = std::fopen(encoded.constData(), delimited ? "rb" : "r");
  if (infile == nullptr) return false;
  lastDirectory_ = info.absolutePath();
  // The runner is idle (checked above), so the state is ours to set. What a
  // cancelled run must put back is kept aside: the core restores the
  // analysis, the desktop analysis its own part of it.
  BatchInput input;
  input.file = infile;
  input.path = encoded.toStdString();
  analysis_.runStarts(state_, input.path);
  lastRunCancelled_ = false;
  state_.precision = precisionSetting();
  // Output file names carry no directory: they land beside the input file.
  input.outputDirectory = QFile::encodeName(info.absolutePath()).toStdString();
  input.delimited = delimited;
  runPath_ = info.absoluteFilePath();
  runLeaveOut_ = leaveOut;
  readProgress_.reset();
  if (delimited) {
    // No setting names: the messages speak of settings, and the desktop
    // program asks about a text column itself.
    for (const QString& name : leaveOut)
      input.delimitedOptions.ignore.push_back(name.toStdString());
    auto progress = std::make_shared<ReadProgress>();
    input.delimitedOptions.progress = [progress](double share) {
      progress->permille.store(share < 0.0 ? 0 : static_cast<int>(share * 1000.0));
      return !progress->cancel.load();
    };
    readProgress_ = progress;
  }
  BatchInputRun run = run_;
  AnalysisState* state = &state_;
  if (!runner_.start([run, state, input] { run(*state, input); })) {
    std::fclose(infile);
    analysis_.runEnded(state_, true);
    return false;
  }
  if (delimited) progressTimer_->start();
  return true;
}

void DataFileRun::showReadProgress() {
  const std::shared_ptr<ReadProgress> p = readProgress_;
  const int permille = p ? p->permille.load() : 1000;
  if (!p || permille >= 1000 || !runner_.busy()) {
    progressTimer_->stop();
    if (progressDialog_) progressDialog_->deleteLater();
    return;
  }
  // Until the reader reports, the run is still asking its questions (the
  // output name comes first): a progress window then would stand over the
  // dialog that waits for the user.
  if (permille < 0) return;
  if (!progressDialog_) {
    progressDialog_ = new QProgressDialog(QStringLiteral("Reading the data file..."),
                                          QStringLiteral("Cancel"), 0, 1000, dialogOwner_());
    progressDialog_->setObjectName(QStringLiteral("readProgressDialog"));
    progressDialog_->setWindowModality(Qt::WindowModal);
    progressDialog_->setMinimumDuration(500);
    progressDialog_->setAutoClose(false);
    progressDialog_->setAutoReset(false);
    connect(progressDialog_, &QProgressDialog::canceled, this, [p] { p->cancel = true; });
  }
  progressDialog_->setValue(permille);
}

void DataFileRun::runEnded() {
  analysis_.runEnded(state_, lastRunCancelled_.exchange(false));
  readProgress_.reset();
  showReadProgress();
}

void DataFileRun::offerLeaveOut() {
  std::string column;
  {
    std::lock_guard lock(textColumnMutex_);
    column.swap(textColumn_);
  }
  if (column.empty()) return;
  QTimer::singleShot(
      0, this,
      [this, path = runPath_, leaveOut = runLeaveOut_, name = QString::fromStdString(column)] {
        askToLeaveOut(path, leaveOut, name);
      });
}

void DataFileRun::askToLeaveOut(const QString& path, QStringList leaveOut, const QString& column) {
  if (runner_.busy()) return;
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kTitle),
                  QStringLiteral("Column \"%1\" of %2 holds text, not numbers.")
                      .arg(column, QFileInfo(path).fileName()),
                  QMessageBox::NoButton, dialogOwner_());
  box.setObjectName(QStringLiteral("leaveOutColumnQuestion"));
  box.setInformativeText(
      QStringLiteral("Leave the column out and read the file again? The report shows the line "
                     "and the text."));
  QPushButton* leave = box.addButton(QStringLiteral("Leave Out"), QMessageBox::AcceptRole);
  leave->setObjectName(QStringLiteral("leaveOutButton"));
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(leave);
  box.exec();
  if (box.clickedButton() != leave) return;
  leaveOut.append(column);
  openChosenFile(path, leaveOut);
}

}  // namespace tolvane
