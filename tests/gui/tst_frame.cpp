// The frame: start-up, menu bars by stage, accelerators, window commands,
// Help, About, CloseFiles, line thickness, and the rules of the batch run
// (one at a time, waiting commands, closing while it runs).
#include <QAbstractButton>
#include <QFileDialog>
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
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <clocale>
#include <thread>

#include "app/application.hpp"
#include "app/batch_runner.hpp"
#include "app/command_ids.hpp"
#include "app/main_frame.hpp"
#include "app/report_window.hpp"
#include "engine/analysis_state.hpp"
#include "engine/front_end_hooks.hpp"
#include "graph/child_list.hpp"
#include "modal_script.hpp"
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
    const QStringList help{"&Help", "&About Tolvane..."};
    const QStringList shortFile{"&Read Batch Input", "Open &Data File...", "-", "E&xit"};
    const QStringList longFile{"&Read Batch Input", "Open &Data File...", "-", "&CloseFiles",
                               "E&xit"};
    const QStringList graphFile{"&Read Batch Input", "Open &Data File...", "-",
                                "&CloseFiles",       "Save &Model...",     "E&xit"};
    QTest::newRow("scroll") << int(MenuStage::Scroll)
                            << QStringList{"&File", "~&Path", "~&Visualize", "&Window", "&Help"}
                            << shortFile << QStringList{} << QStringList{}
                            << QStringList{"&Cascade\tShift+F5", "&Tile\tShift+F4", "&Close"};
    QTest::newRow("path") << int(MenuStage::Path)
                          << QStringList{"&File", "&Path", "~&Visualize", "&Window", "&Help"}
                          << longFile << QStringList{"&Select Shape"} << QStringList{}
                          << QStringList{"&Cascade\tShift+F5", "&Tile\tShift+F4", "&Close"};
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
                                          "C&lose",
                                          "Copy to Clip&Board",
                                          "&Print Graph"}
                           << QStringList{"&Cascade\tShift+F5", "&Tile\tShift+F4", "C&lose"};
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
    QCOMPARE(entries(menuOf(mb, "&Help")), (QStringList{"&Help", "&About Tolvane..."}));
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

  void helpShowsItsWarning() {
    AnalysisState state;
    MainFrame frame(state);
    frame.show();
    ModalScript script;
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    script.then("helpMessage", [&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      text = box->text();
      caption = box->windowTitle();
      icon = box->icon();
      box->button(QMessageBox::Ok)->click();
    });
    frame.command(cmd::kHelp);
    QVERIFY(!script.expired());
    QCOMPARE(text, QString("HELP: View the Tolvane.PDF file with the Acrobat Reader."));
    QCOMPARE(caption, QString("Shrinkage Regression Estimation"));
    QCOMPARE(icon, QMessageBox::Warning);
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
                                   "All Files(*.*)"}));

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
    QCOMPARE(frame.mdiArea()->subWindowList().size(), 4);
    QTRY_COMPARE(frame.stage(), MenuStage::Graph);
    // The graph bar's Window menu lists the children, the active one checked.
    QMenu* window = const_cast<QMenu*>(menuOf(frame.menuBar(), "&Window"));
    emit window->aboutToShow();
    QStringList listed;
    for (QAction* a : window->actions()) {
      if (a->isCheckable()) listed << (a->isChecked() ? "*" : "") + a->text();
    }
    QCOMPARE(listed, (QStringList{"&1 Scroll Window", "&2 Shrinkage Coefficients",
                                  "&3 Shrinkage Coefficients", "*&4 Visual Re-Regression"}));
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
