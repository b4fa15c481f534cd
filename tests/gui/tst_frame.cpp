// The frame: start-up, menu bars by stage, accelerators, window commands,
// Help, About, CloseFiles, line thickness, and the rules of the batch run
// (one at a time, waiting commands, closing while it runs).
#include <QAbstractButton>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <atomic>
#include <clocale>
#include <thread>

#include "app/application.hpp"
#include "app/batch_runner.hpp"
#include "app/main_frame.hpp"
#include "app/precision_setting.hpp"
#include "app/report_window.hpp"
#include "engine/analysis_state.hpp"
#include "engine/front_end_hooks.hpp"
#include "graph/child_list.hpp"
#include "graph/command_ids.hpp"
#include "isolated_settings.hpp"
#include "modal_script.hpp"
#include "model/precision_dialog.hpp"
#include "report/report.hpp"

using namespace tolvane;
using tolvane::test::ModalScript;

namespace {

// One menu as the user sees it: "-" for a separator, a leading "~" for a
// greyed entry.
QStringList entries(const QMenu* menu) {
  QStringList out;
  for (const QAction* a : menu->actions()) {
    if (a->isSeparator()) {
      out << "-";
    } else {
      out << (a->isEnabled() ? "" : "~") + a->text();
    }
  }
  return out;
}

QStringList topLevel(const QMenuBar* bar) {
  QStringList out;
  for (const QAction* a : bar->actions())
    out << (a->isEnabled() ? "" : "~") + a->text();
  return out;
}

const QMenu* menuOf(const QMenuBar* bar, const QString& title) {
  for (const QAction* a : bar->actions()) {
    if (a->text() == title) return a->menu();
  }
  return nullptr;
}

// A child that refuses to close.
class Stubborn : public QWidget {
 protected:
  void closeEvent(QCloseEvent* e) override { e->ignore(); }
};

// A batch input run held open until the test lets it go.
struct HeldRun {
  std::atomic<bool> release{false};
  std::atomic<bool> entered{false};
  std::atomic<int> lines{0};
  MainFrame::BatchInputRun run() {
    return [this](AnalysisState&, BatchInput in) {
      std::fclose(in.file);
      entered = true;
      while (!release) {
        reportLinef("    worker line %d", ++lines);
        REPORT_SHOW();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    };
  }
};

}  // namespace

class TestFrame : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString batchFile_;

 private slots:
  void initTestCase() {
    prepareApplication();
    test::isolateSettings();
    QVERIFY(dir_.isValid());
    batchFile_ = dir_.filePath("T.AYQ");
    QFile f(batchFile_);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("3\n5\nA B C\n");
  }

  void init() { resetReportStore(); }

  void numbersAreWrittenInTheCLocale() {
    std::setlocale(LC_NUMERIC, "C.UTF-8");
    prepareApplication();
    QCOMPARE(QByteArray(std::setlocale(LC_NUMERIC, nullptr)), QByteArray("C"));
    char text[16];
    std::snprintf(text, sizeof text, "%5.2f", 2.5);
    QCOMPARE(QByteArray(text), QByteArray(" 2.50"));
  }

  void startsWithTheBannerAndTheScrollBar() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QCOMPARE(frame.windowTitle(), QString("Shrinkage Regression"));
    QVERIFY(!frame.windowIcon().isNull());
    const ReportCounters c = reportCounters();
    QCOMPARE(c.linesWritten, 9);
    QCOMPARE(c.linesShown, 10);
    QCOMPARE(c.firstLineNo, 0);
    for (int r = 0; r < 10; ++r)
      QCOMPARE(QString::fromStdString(reportRow(r)), QString(kBannerLines[r]));
    const QList<QMdiSubWindow*> children = frame.mdiArea()->subWindowList();
    QCOMPARE(children.size(), 1);
    QCOMPARE(children[0]->windowTitle(), QString("Scroll Window"));
    QVERIFY(!children[0]->windowIcon().isNull());
    QVERIFY(frame.reportWindow() != nullptr);
    QCOMPARE(frame.stage(), MenuStage::Scroll);
    // Inside the area, so the line numbers are not cut off.
    QVERIFY(frame.mdiArea()->viewport()->rect().contains(children[0]->geometry()));
  }

  void menuBarFollowsTheStage_data() {
    QTest::addColumn<int>("stage");
    QTest::addColumn<QStringList>("bar");
    QTest::addColumn<QStringList>("file");
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QStringList>("visualize");
    QTest::addColumn<QStringList>("window");
    const QStringList shortFile{"&Read Batch Input	Ctrl+O", "Open &Data File...",
                                "&Precision...", "-", "E&xit	Ctrl+Q"};
    const QStringList longFile{"&Read Batch Input	Ctrl+O",
                               "Open &Data File...",
                               "&Precision...",
                               "-",
                               "&CloseFiles",
                               "E&xit	Ctrl+Q"};
    // Distinct mnemonics: C, T, R, O (the window list takes the digits).
    const QStringList window{"&Cascade	Shift+F5", "&Tile	Shift+F4", "&Report Window",
                             "Cl&ose	Ctrl+W"};
    const QStringList graphFile{"&Read Batch Input	Ctrl+O",
                                "Open &Data File...",
                                "&Precision...",
                                "-",
                                "&CloseFiles",
                                "Save &Model...",
                                "E&xit	Ctrl+Q"};
    QTest::newRow("scroll") << int(MenuStage::Scroll)
                            << QStringList{"&File", "~&Path", "~&Visualize", "&Window", "&Help"}
                            << shortFile << QStringList{} << QStringList{} << window;
    QTest::newRow("path") << int(MenuStage::Path)
                          << QStringList{"&File", "&Path", "~&Visualize", "&Window", "&Help"}
                          << longFile << QStringList{"&Select Shape"} << QStringList{} << window;
    QTest::newRow("graph") << int(MenuStage::Graph)
                           << QStringList{"&File", "&Path", "&Visualize", "&Window", "&Help"}
                           << graphFile << QStringList{"&Select Shape", "Choose &Extent..."}
                           << QStringList{"&Coefficient TRACE",
                                          "&Relative Risk TRACE",
                                          "&Excess Eigenvalue TRACE",
                                          "&Inferior Direction TRACE",
                                          "&Shrinkage Factor TRACE",
                                          "-",
                                          "&Visual Re-Regression",
                                          "C&omparison Criteria",
                                          "&Display Inference Intervals",
                                          "-",
                                          "Line &Thickness",
                                          "C&lose\tCtrl+W",
                                          "Copy to Clip&Board\tCtrl+C",
                                          "&Print Graph\tCtrl+P"}
                           << window;
  }

  void menuBarFollowsTheStage() {
    QFETCH(int, stage);
    QFETCH(QStringList, bar);
    QFETCH(QStringList, file);
    QFETCH(QStringList, path);
    QFETCH(QStringList, visualize);
    QFETCH(QStringList, window);
    AnalysisState state;
    MainFrame frame(state);
    frame.setStage(MenuStage(stage));
    const QMenuBar* mb = frame.menuBar();
    QCOMPARE(topLevel(mb), bar);
    QCOMPARE(entries(menuOf(mb, "&File")), file);
    if (!path.isEmpty()) QCOMPARE(entries(menuOf(mb, "&Path")), path);
    if (!visualize.isEmpty()) {
      // Entries the graph layer does not offer are greyed; compare the labels.
      QStringList labels = entries(menuOf(mb, "&Visualize"));
      for (QString& l : labels)
        l.remove(0, l.startsWith('~') ? 1 : 0);
      QCOMPARE(labels, visualize);
    }
    QStringList win = entries(menuOf(mb, "&Window"));
    QCOMPARE(win, window);
    QCOMPARE(entries(menuOf(mb, "&Help")), (QStringList{"&Help\tF1", "&About Tolvane..."}));
  }

  void hooksMoveTheBarFromAnyThread() {
    AnalysisState state;
    MainFrame frame(state);
    QSignalSpy spy(&frame, &MainFrame::stageChanged);
    std::thread([] { offerPathMenu(); }).join();
    QTRY_COMPARE(frame.stage(), MenuStage::Path);
    QCOMPARE(topLevel(frame.menuBar()).at(1), QString("&Path"));
    offerVisualizeMenu();
    QTRY_COMPARE(frame.stage(), MenuStage::Graph);
    // A new analysis puts the path bar back: its traces are gone.
    offerPathMenu();
    QTRY_COMPARE(frame.stage(), MenuStage::Path);
    QCOMPARE(spy.count(), 3);
  }

  void acceleratorsTileAndCascadeOnEveryBar() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    auto* second = frame.mdiArea()->addSubWindow(new QWidget);
    second->setAttribute(Qt::WA_DeleteOnClose);
    second->show();
    for (MenuStage stage : {MenuStage::Scroll, MenuStage::Path, MenuStage::Graph}) {
      frame.setStage(stage);
      QTest::keyClick(&frame, Qt::Key_F4, Qt::ShiftModifier);
      const QRect area = frame.mdiArea()->viewport()->rect();
      int covered = 0;
      for (QMdiSubWindow* w : frame.mdiArea()->subWindowList())
        covered += w->width() * w->height();
      QCOMPARE(covered, area.width() * area.height());  // tiled: the area is shared out
      QTest::keyClick(&frame, Qt::Key_F5, Qt::ShiftModifier);
      const QList<QMdiSubWindow*> ws = frame.mdiArea()->subWindowList();
      QVERIFY(ws[0]->pos() != ws[1]->pos());
      QVERIFY(ws[0]->geometry().intersects(ws[1]->geometry()));  // cascaded: overlapping
    }
  }

  void closeAndCloseAllAskTheChildren() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    auto* stubborn = frame.mdiArea()->addSubWindow(new Stubborn);
    stubborn->show();
    frame.mdiArea()->setActiveSubWindow(stubborn);
    frame.command(cmd::kClose);
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
    // Exit closes whatever agrees and is refused while a child stays.
    QVERIFY(!frame.close());
    QVERIFY(frame.isVisible());
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 1);
    QTRY_VERIFY(frame.reportWindow() == nullptr);
    delete stubborn;
    QVERIFY(frame.close());
  }

  // Help once pointed to a PDF reader of another platform; the page is now
  // part of the program, opened by F1 and by Help > Help.
  void f1AndHelpOpenTheBundledHelpPage() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QTest::keyClick(&frame, Qt::Key_F1);
    QWidget* help = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "helpWindow" && w->isVisible()) help = w;
    }
    QVERIFY(help != nullptr);
    auto* browser = help->findChild<QTextBrowser*>("helpBrowser");
    QVERIFY(browser != nullptr);
    const QString text = browser->toPlainText();
    QVERIFY(text.contains("Read Batch Input"));
    QVERIFY(text.contains("any text editor"));
    QVERIFY(!text.contains("PDF"));
    QVERIFY(!text.contains("Acrobat"));
    // Help > Help shows the same window rather than a second one.
    frame.command(cmd::kHelp);
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "helpWindow" && w->isVisible()) ++shown;
    }
    QCOMPARE(shown, 1);
    help->close();
  }

  void theKeysOfTheAcceleratorTableWork() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    // Ctrl+O: the open-file dialog.
    ModalScript open;
    bool opened = false;
    open.then("openBatchDialog", [&](QWidget* w) {
      opened = true;
      qobject_cast<QDialog*>(w)->reject();
    });
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
    QVERIFY(opened);
    // Ctrl+P and Ctrl+C with the report window active: a message says why
    // nothing is printed or copied.
    for (Qt::Key key : {Qt::Key_P, Qt::Key_C}) {
      // A shortcut reaches only the active window: the dialog took that.
      frame.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&frame));
      ModalScript why;
      QString text;
      why.then("notAGraphMessage", [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        text = box->text();
        box->button(QMessageBox::Ok)->click();
      });
      QTest::keyClick(&frame, key, Qt::ControlModifier);
      QVERIFY(!why.expired());
      QVERIFY2(text.contains("the active window is not a graph"), qPrintable(text));
      QVERIFY(text.startsWith(key == Qt::Key_P ? "Print Graph" : "Copy to ClipBoard"));
    }
    // Ctrl+W closes the active child, also with the focus inside it, where
    // the child's own system menu once made the key ambiguous.
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    frame.reportWindow()->setFocus();
    QTest::keyClick(frame.reportWindow(), Qt::Key_W, Qt::ControlModifier);
    QTRY_VERIFY(frame.reportWindow() == nullptr);
    // Ctrl+Q leaves.
    QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!frame.isVisible());
  }

  // Closing the report window once lost all feedback for good: bad files,
  // failed commands and click read-outs went nowhere visible.
  void windowReportBringsTheReportBackWithItsLines() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.command(cmd::kClose);
    QTRY_VERIFY(frame.reportWindow() == nullptr);
    reportLinef("    a line written while the window was closed");
    REPORT_SHOW();
    QMenu* window = const_cast<QMenu*>(menuOf(frame.menuBar(), "&Window"));
    QAction* report = nullptr;
    for (QAction* a : window->actions()) {
      if (a->text() == "&Report Window") report = a;
    }
    QVERIFY(report != nullptr);
    report->trigger();
    QVERIFY(frame.reportWindow() != nullptr);
    QVERIFY(frame.reportWindow()->isVisible());
    QCOMPARE(frame.mdiArea()->activeSubWindow()->widget(),
             static_cast<QWidget*>(frame.reportWindow()));
    const ReportCounters c = reportCounters();
    QCOMPARE(QString::fromStdString(reportRow(c.linesShown - 1)),
             QString("    a line written while the window was closed"));
    // The newest line is in view.
    const ScrollModel& m = frame.reportWindow()->scrollModel();
    QVERIFY(m.rowY(c.linesShown - 1) < frame.reportWindow()->viewport()->height());
    // Again while it is open: still one report window, now active again.
    auto* other = frame.mdiArea()->addSubWindow(new QWidget);
    other->show();
    frame.mdiArea()->setActiveSubWindow(other);
    report->trigger();
    int reports = 0;
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList())
      reports += qobject_cast<ReportWindow*>(w->widget()) != nullptr ? 1 : 0;
    QCOMPARE(reports, 1);
    QCOMPARE(frame.mdiArea()->activeSubWindow()->widget(),
             static_cast<QWidget*>(frame.reportWindow()));
  }

  // A fixed 980 x 700 was too large for a small screen and small on a large one.
  void theFrameTakesMostOfTheScreen() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    const QRect free = frame.screen()->availableGeometry();
    QVERIFY(free.contains(frame.frameGeometry()) || free.contains(frame.geometry()));
    QVERIFY(frame.width() >= free.width() * 3 / 4);
    QVERIFY(frame.height() >= free.height() * 3 / 4);
  }

  // "tolvane FILE" opens FILE as the File menu would; a file that does not
  // open says so, naming it.
  void openDataFileStartsTheRunOrSaysWhy() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    HeldRun held;
    frame.setBatchInputRun(held.run());
    ModalScript why;
    QString text;
    why.then("cannotOpenMessage", [&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      text = box->text();
      box->button(QMessageBox::Ok)->click();
    });
    QVERIFY(!frame.openChosenFile(dir_.filePath("missing.ayq")));
    QVERIFY(!why.expired());
    QVERIFY2(text.contains("missing.ayq") && text.contains("No such file or directory"),
             qPrintable(text));
    QVERIFY(frame.openChosenFile(batchFile_));
    QTRY_VERIFY(held.entered.load());
    held.release = true;
    QTRY_VERIFY(!frame.runner().busy());
  }

  void aboutClosesOnOk() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    ModalScript script;
    QString title;
    int lines = 0;
    bool hasIcon = false;
    script.then("aboutDialog", [&](QWidget* w) {
      title = w->windowTitle();
      for (auto* l : w->findChildren<QLabel*>()) {
        if (l->objectName() == "aboutIcon") hasIcon = !l->pixmap().isNull();
        if (l->objectName().startsWith("aboutLine") && !l->text().isEmpty()) ++lines;
      }
      w->findChild<QPushButton*>("okButton")->click();
    });
    frame.command(cmd::kAbout);
    QVERIFY(!script.expired());
    QCOMPARE(title, QString("About Tolvane..."));
    QCOMPARE(lines, 2);
    QVERIFY(hasIcon);
  }

  void closeFilesFlushesAndForgetsBothFiles() {
    AnalysisState state;
    MainFrame frame(state);
    const QString summ = dir_.filePath("cf.syq"), trace = dir_.filePath("cf.myq");
    state.files.SUMMFILE = std::fopen(summ.toLocal8Bit().constData(), "w");
    state.files.TRACEFILE = std::fopen(trace.toLocal8Bit().constData(), "w");
    QVERIFY(state.files.summOpen() && state.files.traceOpen());
    std::fputs("summary line\n", state.files.SUMMFILE);
    std::fputs("trace line\n", state.files.TRACEFILE);
    frame.setStage(MenuStage::Path);
    frame.command(cmd::kCloseFiles);
    QVERIFY(!state.files.summOpen());
    QVERIFY(!state.files.traceOpen());
    QFile s(summ), t(trace);
    QVERIFY(s.open(QIODevice::ReadOnly) && t.open(QIODevice::ReadOnly));
    QCOMPARE(s.readAll(), QByteArray("summary line\n"));
    QCOMPARE(t.readAll(), QByteArray("trace line\n"));
    frame.command(cmd::kCloseFiles);  // again: nothing left to close
    QVERIFY(!state.files.summOpen());
  }

  void lineThicknessAppliesAClickAtOnce() {
    AnalysisState state;
    state.lineWidth = 1;
    MainFrame frame(state);
    frame.show();
    {
      ModalScript script;
      int checkedAtOpen = 0, widthAfterClick = 0;
      QString title;
      script.then("lineThicknessDialog", [&](QWidget* w) {
        title = w->windowTitle();
        if (w->findChild<QRadioButton*>("singleWidthButton")->isChecked()) checkedAtOpen = 1003;
        QTest::mouseClick(w->findChild<QRadioButton*>("doubleWidthButton"), Qt::LeftButton);
        widthAfterClick = state.lineWidth;
        w->close();  // the close box
      });
      frame.command(cmd::kLineThickness);
      QVERIFY(!script.expired());
      QCOMPARE(title, QString("Set Line Thickness..."));
      QCOMPARE(checkedAtOpen, 1003);
      QCOMPARE(widthAfterClick, 2);
    }
    QCOMPARE(state.lineWidth, 2);
    QCOMPARE(state.memory.lineWidthChoice, 1003);
    {
      ModalScript script;
      bool singleChecked = false;
      QString tripleLabel;
      script.then("lineThicknessDialog", [&](QWidget* w) {
        singleChecked = w->findChild<QRadioButton*>("singleWidthButton")->isChecked();
        auto* triple = w->findChild<QRadioButton*>("tripleWidthButton");
        tripleLabel = triple->text();
        QTest::mouseClick(triple, Qt::LeftButton);
        w->findChild<QPushButton*>("okButton")->click();
      });
      frame.command(cmd::kLineThickness);
      QVERIFY(!script.expired());
      QVERIFY(singleChecked);
      QCOMPARE(tripleLabel, QString("Tripple Pixel Width"));
    }
    QCOMPARE(state.lineWidth, 3);
    QCOMPARE(state.memory.lineWidthChoice, 1005);
  }

  void oneRunAtATime() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    HeldRun held;
    frame.setBatchInputRun(held.run());
    QVERIFY(frame.startBatchInput(batchFile_));
    QTRY_VERIFY(held.entered.load());
    QVERIFY(frame.runner().busy());
    // A second start is refused, and the menu command says why instead of
    // opening the file dialog.
    QVERIFY(!frame.startBatchInput(batchFile_));
    ModalScript script;
    bool told = false;
    script.then("runGoingOnMessage", [&](QWidget* w) {
      told = true;
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    frame.command(cmd::kReadBatchInput);
    QVERIFY(told);
    QVERIFY(script.strangers().isEmpty());  // no open-file dialog came up
    // The GUI stays responsive: events are served while the run goes on.
    bool served = false;
    QTimer::singleShot(0, &frame, [&] { served = true; });
    QTRY_VERIFY(served);
    // Path and Visualize commands wait for the run.
    frame.setStage(MenuStage::Graph);
    frame.command(cmd::kCloseFiles);
    frame.command(cmd::kSelectShape);
    QCOMPARE(frame.pendingCommands(), (std::vector<int>{cmd::kCloseFiles, cmd::kSelectShape}));
    // Leaving is refused while the run goes on.
    ModalScript exitScript;
    exitScript.then("exitDuringRunMessage", [](QWidget* w) {
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    QVERIFY(!frame.close());
    QVERIFY(exitScript.done());
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    held.release = true;
    QVERIFY(finished.wait(5000));
    QVERIFY(frame.pendingCommands().empty());
    QVERIFY(!frame.runner().busy());
    QVERIFY(frame.runner().stateFree());
  }

  // File > Precision... is kept in the settings and governs the next data
  // file read; the analysis already on screen keeps its own.
  void precisionChosenInTheMenuAppliesToTheNextDataFile() {
    savePrecisionSetting(Precision::kDouble);
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    const int before = reportCounters().linesWritten;
    ModalScript script;
    QString offered;
    script.then("precisionDialog", [&](QWidget* w) {
      auto* dialog = qobject_cast<QInputDialog*>(w);
      offered = dialog->textValue();
      dialog->setTextValue(QString::fromStdString(precisionLabel(Precision::kSingle)));
      dialog->accept();
    });
    frame.command(cmd::kPrecision);
    QVERIFY(script.done());
    QCOMPARE(offered, QString::fromStdString(precisionLabel(Precision::kDouble)));
    QCOMPARE(precisionSetting(), Precision::kSingle);
    QVERIFY(state.precision == Precision::kDouble);  // nothing read yet
    const std::vector<std::string> said = reportLinesSince(before);
    QVERIFY(!said.empty() &&
            said.back().find("next data file is read in single precision") != std::string::npos);

    std::atomic<bool> single{false};
    frame.setBatchInputRun([&](AnalysisState& s, BatchInput input) {
      single = s.precision == Precision::kSingle;
      std::fclose(input.file);
    });
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    QVERIFY(frame.openChosenFile(batchFile_));
    QVERIFY(finished.wait(5000));
    QVERIFY(single.load());

    // Cancel changes nothing.
    ModalScript cancel;
    cancel.then("precisionDialog", [](QWidget* w) { qobject_cast<QInputDialog*>(w)->reject(); });
    frame.command(cmd::kPrecision);
    QVERIFY(cancel.done());
    QCOMPARE(precisionSetting(), Precision::kSingle);
    savePrecisionSetting(Precision::kDouble);
  }

  // Open Data File shows the data filter first; a dropped CSV starts a run
  // of delimited text; its progress dialog cancels the reading and goes.
  void dataFilesOpenFromTheDialogOrADropWithProgressAndCancel() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    ModalScript script;
    QStringList filters;
    script.then("openBatchDialog", [&](QWidget* w) {
      filters = qobject_cast<QFileDialog*>(w)->nameFilters();
      qobject_cast<QFileDialog*>(w)->reject();
    });
    frame.command(cmd::kOpenDataFile);
    QVERIFY(script.done());
    QCOMPARE(filters, (QStringList{"Data Files (*.csv *.tsv *.txt)", "Batch Input Files(*.AYQ)",
                                   "All Files (*)"}));

    const QString csv = dir_.filePath("drop.csv");
    QFile f(csv);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("a,b,y\n1,2,3\n");
    f.close();
    std::atomic<bool> delimited{false}, cancelled{false};
    frame.setBatchInputRun([&](AnalysisState&, BatchInput input) {
      delimited = input.delimited;
      std::fclose(input.file);
      // A long reading: progress until the user cancels.
      for (int k = 0; k < 20000 && input.delimitedOptions.progress; ++k) {
        if (!input.delimitedOptions.progress(0.25)) {
          cancelled = true;
          return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(csv)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    QCoreApplication::sendEvent(&frame, &drop);
    QProgressDialog* progress = nullptr;
    QTRY_VERIFY((progress = frame.findChild<QProgressDialog*>("readProgressDialog")) != nullptr &&
                progress->isVisible());
    QVERIFY(delimited.load());
    QPushButton* cancel = progress->findChild<QPushButton*>();
    QVERIFY(cancel != nullptr);
    cancel->click();
    QVERIFY(finished.wait(5000));
    QVERIFY(cancelled.load());
    QTRY_VERIFY(frame.findChild<QProgressDialog*>("readProgressDialog") == nullptr);
  }

  void reportWindowMayCloseWhileARunGoesOn() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    HeldRun held;
    frame.setBatchInputRun(held.run());
    QVERIFY(frame.startBatchInput(batchFile_));
    QTRY_VERIFY(held.lines.load() > 3);
    frame.command(cmd::kClose);  // the report window is the active child
    QTRY_VERIFY(frame.reportWindow() == nullptr);
    QVERIFY(frame.mdiArea()->subWindowList().isEmpty());
    const int before = held.lines.load();
    QTRY_VERIFY(held.lines.load() > before + 3);  // still appending, nothing to paint
    QCOMPARE(frame.dialogOwner(), static_cast<QWidget*>(&frame));
    QSignalSpy finished(&frame, &MainFrame::batchInputFinished);
    held.release = true;
    QVERIFY(finished.wait(5000));
    const ReportCounters c = reportCounters();
    QCOMPARE(c.linesWritten, 9 + held.lines.load());
    QCOMPARE(QString::fromStdString(reportRow(c.linesShown - 1)),
             QString("    worker line %1").arg(held.lines.load()));
  }

  void aFrameGoingAwayWaitsForItsRun() {
    HeldRun held;
    std::thread releaser;
    {
      AnalysisState state;
      MainFrame frame(state);
      frame.setBatchInputRun(held.run());
      QVERIFY(frame.startBatchInput(batchFile_));
      QTRY_VERIFY(held.entered.load());
      releaser = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        held.release = true;
      });
    }  // must neither crash nor leave the worker behind
    releaser.join();
    QVERIFY(held.release.load());
  }

  void graphCommandsOpenRegisteredWindowsAndTheGraphBar() {
    AnalysisState state;
    const int before = childCount();
    MainFrame frame(state);
    frame.show();
    QCOMPARE(childCount(), before + 1);
    QCOMPARE(childList().back().title, QString("Scroll Window"));
    QCOMPARE(childList().back().window.data(), static_cast<QWidget*>(frame.reportWindow()));
    // A graph window activated on the path bar brings the graph bar.
    frame.setStage(MenuStage::Path);
    frame.command(cmd::kCoefficientTrace);
    frame.command(cmd::kCoefficientTrace);
    frame.command(cmd::kVisualReRegression);
    QCOMPARE(childCount(), before + 4);
    QCOMPARE(childList()[before + 1].title, QString("Shrinkage Coefficients"));
    QCOMPARE(childList()[before + 2].title, QString("Shrinkage Coefficients"));
    QCOMPARE(childList()[before + 3].title, QString("Visual Re-Regression"));
    // The windows' titles name the path, so two of one trace can be told apart.
    QCOMPARE(frame.mdiArea()->subWindowList()[1]->windowTitle(),
             QString("Shrinkage Coefficients - Q-shape Q=0.0, 8 steps/MCAL"));
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 4);
    QTRY_COMPARE(frame.stage(), MenuStage::Graph);
    // The graph bar's Window menu lists the children, the active one checked.
    QMenu* window = const_cast<QMenu*>(menuOf(frame.menuBar(), "&Window"));
    emit window->aboutToShow();
    QStringList listed;
    for (QAction* a : window->actions()) {
      if (a->isCheckable()) listed << (a->isChecked() ? "*" : "") + a->text();
    }
    QCOMPARE(listed, (QStringList{"&1 Scroll Window",
                                  "&2 Shrinkage Coefficients - Q-shape Q=0.0, 8 steps/MCAL",
                                  "&3 Shrinkage Coefficients - Q-shape Q=0.0, 8 steps/MCAL",
                                  "*&4 Visual Re-Regression"}));
    // Closing the active graph window and the report window alike.
    frame.command(cmd::kClose);
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 3);
    frame.command(cmd::kCloseAll);
    QVERIFY(frame.mdiArea()->subWindowList().isEmpty());
  }

  void inferenceIntervalsAreGreyedWithAReason() {
    AnalysisState state;
    MainFrame frame(state);
    frame.setStage(MenuStage::Graph);
    const QMenu* visualize = menuOf(frame.menuBar(), "&Visualize");
    int greyed = 0;
    for (const QAction* a : visualize->actions()) {
      if (a->text() == "&Display Inference Intervals") {
        QVERIFY(!a->isEnabled());
        QVERIFY(!a->toolTip().isEmpty());
      }
      if (!a->isSeparator() && !a->isEnabled()) ++greyed;
    }
    QCOMPARE(greyed, 1);
  }

  void aFileThatDoesNotOpenStartsNothing() {
    AnalysisState state;
    MainFrame frame(state);
    HeldRun held;
    frame.setBatchInputRun(held.run());
    QVERIFY(!frame.startBatchInput(dir_.filePath("missing.ayq")));
    QVERIFY(!frame.runner().busy());
    QVERIFY(!held.entered.load());
  }
};

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
