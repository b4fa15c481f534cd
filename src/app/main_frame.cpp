#include "app/main_frame.hpp"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "app/about_dialog.hpp"
#include "app/app_icons.hpp"
#include "app/batch_runner.hpp"
#include "app/gui_batch_dialogs.hpp"
#include "app/inference_intervals.hpp"
#include "app/intervals_settings_dialog.hpp"
#include "app/line_thickness_view.hpp"
#include "app/open_batch_dialog.hpp"
#include "app/path_view.hpp"
#include "app/precision_setting.hpp"
#include "app/report_window.hpp"
#include "engine/analysis_state.hpp"
#include "engine/front_end_hooks.hpp"
#include "engine/select_shape.hpp"
#include "graph/command_ids.hpp"
#include "input/delimited_reader.hpp"
#include "input/line_thickness_dialog.hpp"
#include "model/model_file.hpp"
#include "report/report.hpp"

#include "graph/child_list.hpp"
#include "graph/click_readout.hpp"
#include "graph/graph_commands.hpp"
#include "graph/plot_trace.hpp"

namespace tolvane {

namespace {
const char kFrameTitle[] = "Shrinkage Regression";
const char kHelpCaption[] = "Tolvane Help";
const char kHelpPage[] = "qrc:/help/tolvane-help.html";
const char kNotAGraph[] =
    "%1 acts on the active graph window, and the active window is not a graph. Open a trace "
    "from the Visualize menu, or click a graph window, then try again.";
// Share of the screen's free area the frame first takes.
constexpr double kScreenShare = 0.85;
const char kRunGoingOn[] =
    "A batch input run is still in progress. Wait until it has finished before reading "
    "another batch input file.";
const char kExitDuringRun[] =
    "A batch input run is still in progress. Wait until it has finished before leaving "
    "Tolvane.";
}  // namespace

static void greyUnofferedCommands(QMenuBar* bar, AnalysisState& state);

MainFrame::MainFrame(AnalysisState& state, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      mdi_(new QMdiArea(this)),
      runner_(new BatchRunner(state.runMutex, this)),
      intervals_(new InferenceIntervals(this)) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(QString::fromLatin1(kFrameTitle));
  setWindowIcon(largeIcon());
  placeOnScreen();
  mdi_->setObjectName(QStringLiteral("mdiArea"));
  setCentralWidget(mdi_);
  connect(mdi_, &QMdiArea::subWindowActivated, this, &MainFrame::subWindowActivated);
  connect(runner_, &BatchRunner::finished, this, &MainFrame::runFinished);
  setAcceptDrops(true);
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(100);
  connect(progressTimer_, &QTimer::timeout, this, &MainFrame::showReadProgress);

  // The accelerator table: on the frame, so it works whatever bar is shown.
  int keys = 0;
  const Accelerator* table = accelerators(&keys);
  for (int k = 0; k < keys; ++k) {
    auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(table[k].keys)), this);
    const int id = table[k].command;
    connect(shortcut, &QShortcut::activated, this, [this, id] { command(id); });
  }

  setStage(MenuStage::Scroll);

  // The core calls these from whichever thread reached the stage; widgets
  // are touched on this thread only. The calls go by name, so that the
  // queued event is made inside Qt and carries nothing from the calling
  // thread (a thread sanitizer cannot see Qt's locking of its event queue).
  setFrontEndHooks({
      [this] { QMetaObject::invokeMethod(this, "enterPathStage", Qt::QueuedConnection); },
      [this] { QMetaObject::invokeMethod(this, "enterGraphStage", Qt::QueuedConnection); },
  });
  setOutputFailureHook([this](const std::string& why) {
    {
      std::lock_guard lock(failuresMutex_);
      failures_.push_back(why);
    }
    QMetaObject::invokeMethod(this, "showOutputFailures", Qt::QueuedConnection);
  });
  setReportObserver(
      [this] { QMetaObject::invokeMethod(this, "showNewestReportLine", Qt::QueuedConnection); });

  batchRun_ = [this](AnalysisState& s, BatchInput input) {
    GuiBatchDialogs dialogs([this] { return dialogOwner(); });
    const BatchRunResult result = runBatchInputHoldingLock(s, std::move(input), dialogs);
    lastRunCancelled_ = result.status == BatchRunStatus::kCancelled;
    std::lock_guard lock(textColumnMutex_);
    textColumn_ = result.textColumn;
  };

  command(cmd::kCreateReport);
}

MainFrame::~MainFrame() {
  // Children closing during the base class's destruction must not reach
  // this half-destroyed frame.
  disconnect(mdi_, nullptr, this, nullptr);
  // The core stops calling into this frame; a call it already made arrives
  // as a queued event, served or dropped below.
  setReportObserver({});
  setFrontEndHooks({});
  setOutputFailureHook({});
  // A run still going on answers its dialogs as closed and is waited for;
  // resampling stops at once.
  intervals_->cancel();
  BatchRunner::dialogsWithdrawn() = true;
  delete runner_;
  runner_ = nullptr;
  BatchRunner::dialogsWithdrawn() = false;
}

void MainFrame::showNewestReportLine() {
  if (reportWindow_) reportWindow_->showNewest();
}

void MainFrame::setStage(MenuStage stage) {
  stage_ = stage;
  QMenuBar* bar = buildMenuBar(
      stage, this, [this](int id) { command(id); }, [this](QMenu* menu) { fillWindowList(menu); });
  bar->setObjectName(QStringLiteral("menuBar"));
  greyUnofferedCommands(bar, state_);
  setMenuBar(bar);  // the previous bar is deleted by the frame
  emit stageChanged(stage);
}

ReportWindow* MainFrame::reportWindow() const {
  return reportWindow_;
}

QWidget* MainFrame::dialogOwner() {
  // A closed report window lingers until its deferred deletion; a dialog
  // given to it then would vanish with it.
  if (reportWindow_ && reportWindow_->isVisible()) return reportWindow_;
  return this;
}

void MainFrame::command(int id) {
  switch (id) {
    case cmd::kReadBatchInput:
      readBatchInput();
      return;
    case cmd::kOpenDataFile:
      openDataFile();
      return;
    case cmd::kPrecision:
      choosePrecision();
      return;
    case cmd::kAbout: {
      AboutDialog about(this);
      about.exec();
      return;
    }
    case cmd::kHelp:
      showHelp();
      return;
    case cmd::kCreateReport:
      showReportWindow();
      return;
    case cmd::kClose:
      mdi_->closeActiveSubWindow();
      return;
    case cmd::kExit:
      close();
      return;
    case cmd::kTile:
      mdi_->tileSubWindows();
      return;
    case cmd::kCascade:
      mdi_->cascadeSubWindows();
      return;
    case cmd::kCloseAll:
      closeAllChildren();
      return;
    case cmd::kCloseFiles:
      if (!waitForRun(id)) closeFiles();
      return;
    case cmd::kLineThickness:
      if (!waitForRun(id)) lineThickness();
      return;
    case cmd::kSelectShape:
      if (!waitForRun(id)) selectShape();
      return;
    case cmd::kChooseExtent:
      if (!waitForRun(id)) chooseExtent();
      return;
    case cmd::kSaveModel:
      if (!waitForRun(id)) saveModelFile();
      return;
    case cmd::kCoefficientTrace:
    case cmd::kRelativeRiskTrace:
    case cmd::kExcessEigenvalueTrace:
    case cmd::kInferiorDirectionTrace:
    case cmd::kShrinkageFactorTrace:
    case cmd::kVisualReRegression:
    case cmd::kComparisonCriteria:
      if (!waitForRun(id)) openGraph(id);
      return;
    case cmd::kInferenceIntervals:
      if (!waitForRun(id)) displayInferenceIntervals();
      return;
    default:
      forwardToActiveChild(id);
      return;
  }
}

bool MainFrame::waitForRun(int id) {
  if (runner_->stateFree()) return false;
  // The GUI thread must not block here: the run may need it for a dialog.
  // The command runs when the run has finished.
  pending_.push_back(id);
  return true;
}

void MainFrame::runFinished() {
  if (lastRunCancelled_.exchange(false)) {
    state_.precision = beforeRun_.precision;
    inputPath_ = std::move(beforeRun_.inputPath);
    model_ = std::move(beforeRun_.model);
  }
  beforeRun_ = {};
  readProgress_.reset();
  showReadProgress();
  std::vector<int> waiting;
  waiting.swap(pending_);
  for (int id : waiting)
    command(id);
  std::string column;
  {
    std::lock_guard lock(textColumnMutex_);
    column.swap(textColumn_);
  }
  emit batchInputFinished();
  if (!column.empty()) {
    QTimer::singleShot(
        0, this,
        [this, path = runPath_, leaveOut = runLeaveOut_, name = QString::fromStdString(column)] {
          offerToLeaveOut(path, leaveOut, name);
        });
  }
}

void MainFrame::offerToLeaveOut(const QString& path, QStringList leaveOut, const QString& column) {
  if (runner_->busy()) return;
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kFrameTitle),
                  QStringLiteral("Column \"%1\" of %2 holds text, not numbers.")
                      .arg(column, QFileInfo(path).fileName()),
                  QMessageBox::NoButton, dialogOwner());
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

bool MainFrame::refuseWhileRunning() {
  if (!runner_->busy()) return false;
  QMessageBox box(QMessageBox::Information, QString::fromLatin1(kFrameTitle),
                  QString::fromLatin1(kRunGoingOn), QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("runGoingOnMessage"));
  box.exec();
  return true;
}

void MainFrame::openDataFile() {
  if (refuseWhileRunning()) return;
  const QString path = chooseDataFile(this, lastDirectory_);
  if (path.isEmpty()) return;
  openChosenFile(path);
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls.first().isLocalFile()) event->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  // The drop returns before the run starts, so that the source is not kept
  // waiting on a modal message or dialog.
  const QString path = urls.first().toLocalFile();
  QTimer::singleShot(0, this, [this, path] {
    if (!refuseWhileRunning()) openChosenFile(path);
  });
}

// Polled while delimited text is read: a dialog once the reading has taken
// a moment, gone when the reading is done (before the role dialog).
void MainFrame::showReadProgress() {
  const std::shared_ptr<ReadProgress> p = readProgress_;
  const int permille = p ? p->permille.load() : 1000;
  if (!p || permille >= 1000 || !runner_->busy()) {
    progressTimer_->stop();
    if (progressDialog_) progressDialog_->deleteLater();
    return;
  }
  if (!progressDialog_) {
    progressDialog_ = new QProgressDialog(QStringLiteral("Reading the data file..."),
                                          QStringLiteral("Cancel"), 0, 1000, dialogOwner());
    progressDialog_->setObjectName(QStringLiteral("readProgressDialog"));
    progressDialog_->setWindowModality(Qt::WindowModal);
    progressDialog_->setMinimumDuration(500);
    progressDialog_->setAutoClose(false);
    progressDialog_->setAutoReset(false);
    connect(progressDialog_, &QProgressDialog::canceled, this, [p] { p->cancel = true; });
  }
  progressDialog_->setValue(std::max(permille, 0));
}

void MainFrame::readBatchInput() {
  if (refuseWhileRunning()) return;
  const QString path = chooseBatchInputFile(this, lastDirectory_);
  if (path.isEmpty()) return;
  openChosenFile(path);
}

bool MainFrame::openChosenFile(const QString& path, const QStringList& leaveOut) {
  if (runner_->busy()) {
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kFrameTitle),
                    QString::fromLatin1(kRunGoingOn), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("runGoingOnMessage"));
    box.exec();
    return false;
  }
  errno = 0;
  if (startBatchInput(path, leaveOut)) return true;
  const int error = errno;
  const QString why = QFileInfo(path).isDir() ? QStringLiteral("it is a folder")
                      : error != 0            ? QString::fromLocal8Bit(std::strerror(error))
                                              : QStringLiteral("it cannot be read");
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kFrameTitle),
                  QStringLiteral("Cannot open %1: %2.").arg(QDir::toNativeSeparators(path), why),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("cannotOpenMessage"));
  box.exec();
  return false;
}

bool MainFrame::startBatchInput(const QString& path, const QStringList& leaveOut) {
  if (runner_->busy()) return false;
  const QFileInfo info(path);
  if (info.isDir()) return false;  // fopen would open it, and reading would fail
  const QByteArray encoded = QFile::encodeName(info.absoluteFilePath());
  const bool delimited = isDelimitedName(encoded.toStdString());
  std::FILE* infile = std::fopen(encoded.constData(), delimited ? "rb" : "r");
  if (infile == nullptr) return false;
  lastDirectory_ = info.absolutePath();
  // The runner is idle (checked above), so the state is the frame's to set.
  // What a cancelled run must put back is kept aside: the core restores the
  // analysis, the frame its own part of it.
  beforeRun_ = {state_.precision, inputPath_, model_};
  lastRunCancelled_ = false;
  state_.precision = precisionSetting();
  BatchInput input;
  input.file = infile;
  input.path = QFile::encodeName(info.absoluteFilePath()).toStdString();
  // The results of the previous data set go with it.
  inputPath_ = input.path;
  model_ = ModelResults{};
  // Output file names carry no directory: they land beside the input file.
  input.outputDirectory = QFile::encodeName(info.absolutePath()).toStdString();
  input.delimited = delimited;
  runPath_ = info.absoluteFilePath();
  runLeaveOut_ = leaveOut;
  if (delimited) {
    // The desktop program asks about a text column instead of pointing to
    // the batch tool's option.
    input.delimitedOptions.leaveOutAdvice.clear();
    for (const QString& name : leaveOut)
      input.delimitedOptions.ignore.push_back(name.toStdString());
    auto progress = std::make_shared<ReadProgress>();
    input.delimitedOptions.progress = [progress](double share) {
      progress->permille.store(share < 0.0 ? 0 : static_cast<int>(share * 1000.0));
      return !progress->cancel.load();
    };
    readProgress_ = progress;
  } else {
    readProgress_.reset();
  }
  BatchInputRun run = batchRun_;
  AnalysisState* state = &state_;
  if (!runner_->start([run, state, input] { run(*state, input); })) {
    std::fclose(infile);
    return false;
  }
  if (delimited) progressTimer_->start();
  return true;
}

void MainFrame::placeOnScreen() {
  // Most of the free area of the screen, whatever its size: a fixed size
  // was too large for a laptop and small on a large screen.
  const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (s == nullptr) {
    resize(980, 700);
    return;
  }
  const QRect free = s->availableGeometry();
  const QSize size(static_cast<int>(free.width() * kScreenShare),
                   static_cast<int>(free.height() * kScreenShare));
  resize(size);
  move(free.center() - QPoint(size.width() / 2, size.height() / 2));
}

void MainFrame::showReportWindow() {
  if (reportWindow_ == nullptr) {
    createReportWindow();
  } else if (auto* sub = qobject_cast<QMdiSubWindow*>(reportWindow_->parentWidget())) {
    sub->showNormal();
    mdi_->setActiveSubWindow(sub);
  }
  // The window paints the line store, so a new one has every line kept.
  reportWindow_->showNewest();
}

void MainFrame::showHelp() {
  if (help_ == nullptr) {
    help_ = new QDialog(this, Qt::Window);
    help_->setObjectName(QStringLiteral("helpWindow"));
    help_->setWindowTitle(QString::fromLatin1(kHelpCaption));
    help_->setAttribute(Qt::WA_DeleteOnClose);
    auto* browser = new QTextBrowser(help_);
    browser->setObjectName(QStringLiteral("helpBrowser"));
    browser->setOpenExternalLinks(true);
    browser->setSource(QUrl(QString::fromLatin1(kHelpPage)));
    auto* layout = new QVBoxLayout(help_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    help_->resize(640, 560);
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void MainFrame::sayNotAGraph(int id) {
  const QString what =
      id == cmd::kPrintGraph ? QStringLiteral("Print Graph") : QStringLiteral("Copy to ClipBoard");
  QMessageBox box(QMessageBox::Information, QString::fromLatin1(kFrameTitle),
                  QString::fromLatin1(kNotAGraph).arg(what), QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("notAGraphMessage"));
  box.exec();
}

void MainFrame::createReportWindow() {
  auto* report = new ReportWindow;
  QMdiSubWindow* sub = mdi_->addSubWindow(report);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->setWindowTitle(QStringLiteral("Scroll Window"));
  sub->setWindowIcon(smallIcon());
  sub->setObjectName(QStringLiteral("reportSubWindow"));
  reportWindow_ = report;
  registerChild(report, QStringLiteral("Scroll Window"));
  sub->resize(sub->sizeHint());
  sub->show();
}

void MainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (placed_) return;
  placed_ = true;
  // The area has its real size only now: keep the report window inside it.
  if (reportWindow_ == nullptr) return;
  auto* sub = qobject_cast<QMdiSubWindow*>(reportWindow_->parentWidget());
  if (sub == nullptr) return;
  const QSize area = mdi_->viewport()->size();
  sub->setGeometry(QRect(QPoint(0, 0), sub->sizeHint().boundedTo(area)));
}

void MainFrame::closeAllChildren() {
  const QList<QMdiSubWindow*> children = mdi_->subWindowList();
  for (QMdiSubWindow* child : children) {
    child->showNormal();
    child->close();
  }
}

void MainFrame::showOutputFailures() {
  std::vector<std::string> failures;
  {
    std::lock_guard lock(failuresMutex_);
    failures.swap(failures_);
  }
  for (const std::string& why : failures) {
    QMessageBox::warning(
        this, QStringLiteral("Output File Not Written"),
        QString::fromStdString(why) + QStringLiteral(".\n\nThis run's output files were removed."));
  }
}

void MainFrame::closeFiles() {
  std::string why;
  if (!state_.files.closeBoth(&why)) {
    state_.files.revertBoth();
    reportLineContinued(("    " + why + ".").c_str());
    REPORT_SHOW();
    outputFailed(why);
  }
}

void MainFrame::lineThickness() {
  LineThicknessDialog model(state_);
  LineThicknessView view(model, dialogOwner());
  view.runModal();
}

void MainFrame::selectShape() {
  GuiPathDialog dialog(dialogOwner());
  if (SELECT_SHAPE(state_, dialog)) fitChosenExtent(true);
}

void MainFrame::fitChosenExtent(bool withCriteria) {
  ModelResults results;
  std::string why;
  const bool chosen = computeModelResults(state_, extentRequest_, &results, &why);
  if (withCriteria) {
    reportModelResults(state_, results, why);
  } else if (chosen) {
    reportFit(state_, results.fit);
  } else {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Choose Extent"),
                    QString::fromStdString("No fit: " + why + "."), QMessageBox::Ok, dialogOwner());
    box.setObjectName(QStringLiteral("extentRefusedMessage"));
    box.exec();
    return;
  }
  model_ = std::move(results);
  publishModelResults(state_, model_);
  if (chosen && !model_.fit.extent.warning.empty()) {
    reportLinef("    Note: %s.", model_.fit.extent.warning.c_str());
    REPORT_SHOW();
  }
}

void MainFrame::chooseExtent() {
  if (!model_.valid) return;
  static const char* const kCriteria[] = {"clik", "ebays", "rcoef", "gup", "gcv",
                                          "loo",  "hkb",   "lw",    "aic", "bic"};
  QStringList items;
  for (const char* c : kCriteria) {
    std::string why;
    items << QString::fromStdString(extentRequestLabel(*parseExtentRequest(c, &why)));
  }
  // A click on a trace offers its MCAL.
  double clickedMcal = -1.0;
  const int point = clickPoint();
  if (point >= 0 && point < static_cast<int>(mcalAxis().size())) clickedMcal = mcalAxis()[point];
  const bool clicked = clickedMcal >= 0.0 && clickedMcal <= state_.RANK;
  if (clicked) {
    items << QStringLiteral("MCAL = %1 (the point clicked last)").arg(clickedMcal, 0, 'f', 3);
  }
  items << QStringLiteral("MCAL = ... (a number from 0 to RANK)");
  bool ok = false;
  const QString picked =
      QInputDialog::getItem(dialogOwner(), QStringLiteral("Choose Extent"),
                            QStringLiteral("Extent of shrinkage:"), items, 0, false, &ok);
  if (!ok) return;
  const int index = static_cast<int>(items.indexOf(picked));
  ExtentRequest request;
  if (index >= 0 && index < 10) {
    std::string why;
    request = *parseExtentRequest(kCriteria[index], &why);
  } else if (clicked && index == 10) {
    request = {ExtentCriterion::kMcal, clickedMcal};
  } else {
    const double mcal = QInputDialog::getDouble(dialogOwner(), QStringLiteral("Choose Extent"),
                                                QStringLiteral("MCAL (0 to %1):").arg(state_.RANK),
                                                model_.fitted ? model_.fit.extent.mcal : 0.0, 0.0,
                                                state_.RANK, 3, &ok);
    if (!ok) return;
    request = {ExtentCriterion::kMcal, mcal};
  }
  const ExtentRequest previous = extentRequest_;
  extentRequest_ = request;
  fitChosenExtent(false);
  if (!model_.fitted || model_.fit.extent.request.criterion != request.criterion) {
    extentRequest_ = previous;
  }
}

void MainFrame::displayInferenceIntervals() {
  // Cross-product data cannot be resampled: say so before asking anything.
  if (const std::string why = whyNoResampling(state_); !why.empty()) {
    reportLinef("    %s", why.c_str());
    REPORT_SHOW();
    return;
  }
  BootstrapSettings settings;
  // Each resample chooses its extent the way the analyst chose this one.
  settings.extent = extentRequest_;
  if (!askBootstrapSettings(dialogOwner(), &settings)) return;
  intervals_->start(settings);
}

void MainFrame::choosePrecision() {
  const QStringList items{precisionLabel(Precision::kDouble), precisionLabel(Precision::kSingle)};
  QInputDialog dialog(dialogOwner());
  dialog.setObjectName(QStringLiteral("precisionDialog"));
  dialog.setWindowTitle(QStringLiteral("Precision"));
  dialog.setLabelText(QStringLiteral("Arithmetic for the next data file read:"));
  dialog.setComboBoxItems(items);
  dialog.setComboBoxEditable(false);
  dialog.setTextValue(precisionLabel(precisionSetting()));
  if (dialog.exec() != QDialog::Accepted) return;
  const Precision chosen =
      dialog.textValue() == items.at(1) ? Precision::kSingle : Precision::kDouble;
  savePrecisionSetting(chosen);
  // The analysis on screen keeps the arithmetic it was read in: mixing the
  // two within one analysis would match neither.
  reportLinef("    The next data file is read in %s.", precisionLabel(chosen).toUtf8().constData());
  REPORT_SHOW();
}

void MainFrame::saveModelFile() {
  if (!model_.fitted) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Save Model"),
                    QStringLiteral("No extent has been chosen on this path: there is no model "
                                   "to save."),
                    QMessageBox::Ok, dialogOwner());
    box.exec();
    return;
  }
  const QString path =
      QFileDialog::getSaveFileName(dialogOwner(), QStringLiteral("Save Model"), lastDirectory_,
                                   QStringLiteral("Model files (*.json);;All files (*)"));
  if (path.isEmpty()) return;
  std::string why;
  if (!saveModel(state_, model_, inputPath_, QFile::encodeName(path).toStdString(), &why)) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Save Model"), QString::fromStdString(why),
                    QMessageBox::Ok, dialogOwner());
    box.exec();
    return;
  }
  reportLinef("    Model at MCAL = %.3f saved in %s", model_.fit.extent.mcal,
              QFile::encodeName(QFileInfo(path).fileName()).constData());
  REPORT_SHOW();
}

void MainFrame::openGraph(int id) {
  openGraphWindow(mdi_, id, state_);
}

void MainFrame::forwardToActiveChild(int id) {
  QMdiSubWindow* active = mdi_->activeSubWindow();
  const bool graphCommand = id == cmd::kPrintGraph || id == cmd::kCopyToClipboard;
  if (graphCommand && !isGraphChild(active)) {
    sayNotAGraph(id);
    return;
  }
  if (active != nullptr) graphWindowCommand(active, id);
}

bool MainFrame::isGraphChild(QMdiSubWindow* window) const {
  return window != nullptr && isGraphWindow(window);
}

// Greys the window commands the graph layer does not offer, with its reason.
static void greyUnofferedCommands(QMenuBar* bar, AnalysisState& state) {
  // The state is read only when no batch input holds it; the lock also makes
  // the worker's writes visible here.
  std::unique_lock lock(state.runMutex, std::try_to_lock);
  const AnalysisState* readable = lock.owns_lock() ? &state : nullptr;
  for (QAction* top : bar->actions()) {
    if (top->menu() == nullptr) continue;
    top->menu()->setToolTipsVisible(true);
    for (QAction* a : top->menu()->actions()) {
      QString why;
      if (a->data().isValid() && !graphCommandEnabled(a->data().toInt(), readable, &why)) {
        a->setEnabled(false);
        a->setToolTip(why);
      }
    }
  }
}

// A child's own system menu binds Close to the platform's key, Ctrl+W here;
// with the frame's Ctrl+W beside it Qt finds the key ambiguous and does
// neither. The frame's accelerator table decides.
static void dropSystemMenuCloseKey(QMdiSubWindow* window) {
  if (window == nullptr || window->systemMenu() == nullptr) return;
  for (QAction* a : window->systemMenu()->actions()) {
    if (a->shortcut() == QKeySequence(QKeySequence::Close)) a->setShortcut(QKeySequence());
  }
}

void MainFrame::subWindowActivated(QMdiSubWindow* window) {
  dropSystemMenuCloseKey(window);
  // A graph window gaining or losing activation installs the graph bar; the
  // report window only has the bar redrawn.
  const bool graphInvolved = isGraphChild(window) || isGraphChild(lastActive_);
  lastActive_ = window;
  if (graphInvolved && stage_ != MenuStage::Graph) setStage(MenuStage::Graph);
  if (menuBar() != nullptr) menuBar()->update();
}

void MainFrame::fillWindowList(QMenu* menu) {
  for (QAction* action : menu->actions()) {
    if (action->property("windowListEntry").toBool()) {
      menu->removeAction(action);
      action->deleteLater();
    }
  }
  const QList<QMdiSubWindow*> children = mdi_->subWindowList();
  if (children.isEmpty()) return;
  QAction* separator = menu->addSeparator();
  separator->setProperty("windowListEntry", true);
  int n = 0;
  for (QMdiSubWindow* child : children) {
    ++n;
    // Digits 1 to 9 are the mnemonics; a tenth window would repeat "1".
    const QString number = n <= 9 ? QStringLiteral("&%1").arg(n) : QString::number(n);
    QString title = child->windowTitle();
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* entry = menu->addAction(number + QLatin1Char(' ') + title);
    entry->setProperty("windowListEntry", true);
    entry->setCheckable(true);
    entry->setChecked(child == mdi_->activeSubWindow());
    QPointer<QMdiSubWindow> target = child;
    connect(entry, &QAction::triggered, this, [this, target] {
      if (target) mdi_->setActiveSubWindow(target);
    });
  }
}

void MainFrame::closeEvent(QCloseEvent* event) {
  if (runner_->busy()) {
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kFrameTitle),
                    QString::fromLatin1(kExitDuringRun), QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("exitDuringRunMessage"));
    box.exec();
    event->ignore();
    return;
  }
  closeAllChildren();
  if (!mdi_->subWindowList().isEmpty()) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace tolvane
