#include "app/main_frame.hpp"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <mutex>

#include "app/about_dialog.hpp"
#include "app/analysis_commands.hpp"
#include "app/app_icons.hpp"
#include "app/batch_runner.hpp"
#include "app/inference_intervals.hpp"
#include "app/line_thickness_view.hpp"
#include "app/report_window.hpp"
#include "app/window_list.hpp"
#include "engine/analysis_state.hpp"
#include "engine/front_end_hooks.hpp"
#include "graph/child_list.hpp"
#include "graph/command_ids.hpp"
#include "graph/graph_commands.hpp"
#include "input/line_thickness_dialog.hpp"
#include "report/report.hpp"

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
      intervals_(new InferenceIntervals(this)),
      dataFiles_(
          new DataFileRun(this, state, analysis_, *runner_, [this] { return dialogOwner(); })),
      commands_(std::make_unique<AnalysisCommands>(state, analysis_, *intervals_,
                                                   [this] { return dialogOwner(); })) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(QString::fromLatin1(kFrameTitle));
  setWindowIcon(largeIcon());
  placeOnScreen();
  mdi_->setObjectName(QStringLiteral("mdiArea"));
  setCentralWidget(mdi_);
  connect(mdi_, &QMdiArea::subWindowActivated, this, &MainFrame::subWindowActivated);
  connect(runner_, &BatchRunner::finished, this, &MainFrame::runFinished);
  setAcceptDrops(true);

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
      stage, this, [this](int id) { command(id); },
      [this](QMenu* menu) { fillWindowList(menu, mdi_); });
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
      dataFiles_->readBatchInput();
      return;
    case cmd::kOpenDataFile:
      dataFiles_->openDataFile();
      return;
    case cmd::kPrecision:
      commands_->choosePrecision();
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
      if (!waitForRun(id)) commands_->selectShape();
      return;
    case cmd::kChooseExtent:
      if (!waitForRun(id)) commands_->chooseExtent();
      return;
    case cmd::kSaveModel:
      if (!waitForRun(id)) commands_->saveModelFile(dataFiles_->lastDirectory());
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
      if (!waitForRun(id)) commands_->displayInferenceIntervals();
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
  dataFiles_->runEnded();
  std::vector<int> waiting;
  waiting.swap(pending_);
  for (int id : waiting)
    command(id);
  emit batchInputFinished();
  dataFiles_->offerLeaveOut();
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
    if (!dataFiles_->refuseWhileRunning()) openChosenFile(path);
  });
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
  if (const Status closed = state_.files.closeBoth(); !closed.ok()) {
    const std::string& why = closed.message;
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
