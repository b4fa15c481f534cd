// Visualize > Display Inference Intervals: offered for raw data with a traced
// path and greyed with the reason for cross-products; run on the worker
// behind a progress dialog, it writes its block and opens the band chart; a
// cancel leaves no intervals; the chart is written to PNG, SVG and PDF.
#include <QDialog>
#include <QDoubleSpinBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <cstdio>

#include "app/inference_intervals.hpp"
#include "app/main_frame.hpp"
#include "engine/analysis_state.hpp"
#include "engine/select_shape.hpp"
#include "graph/command_ids.hpp"
#include "graph/graph_window.hpp"
#include "graph/intervals_chart.hpp"
#include "graph/trace_chart.hpp"
#include "input/batch_dialogs.hpp"
#include "input/batch_input_run.hpp"
#include "isolated_settings.hpp"
#include "modal_script.hpp"
#include "report/report.hpp"
#include "support/example_run.hpp"

using namespace tolvane;

namespace {

const QAction* intervalsEntry(const QMenuBar* bar) {
  for (const QAction* top : bar->actions()) {
    if (top->menu() == nullptr) continue;
    for (const QAction* a : top->menu()->actions()) {
      if (a->text() == "&Display Inference Intervals") return a;
    }
  }
  return nullptr;
}

bool reportHas(const std::string& text) {
  const ReportCounters c = reportCounters();
  for (int r = 0; r < c.linesShown; ++r) {
    if (reportRow(r).find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

class TestInferenceIntervals : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  bool analyse(AnalysisState& s, const char* example) {
    if (!test::runDataFile(s, test::examplePath(example), dir_.path().toStdString())) return false;
    test::PathPick pick;
    return SELECT_SHAPE(s, pick, 1);
  }

 private slots:
  void initTestCase() {
    std::setlocale(LC_NUMERIC, "C");
    test::isolateSettings();
  }

  void offeredForRawDataGreyedWithTheReasonForCrossProducts() {
    AnalysisState raw;
    QVERIFY(analyse(raw, "hald.ayq"));
    MainFrame rawFrame(raw);
    rawFrame.setStage(MenuStage::Graph);
    const QAction* entry = intervalsEntry(rawFrame.menuBar());
    QVERIFY(entry != nullptr);
    QVERIFY(entry->isEnabled());

    AnalysisState xpx;
    QVERIFY(analyse(xpx, "hald_xpx.ayq"));
    MainFrame xpxFrame(xpx);
    xpxFrame.setStage(MenuStage::Graph);
    entry = intervalsEntry(xpxFrame.menuBar());
    QVERIFY(entry != nullptr);
    QVERIFY(!entry->isEnabled());
    QVERIFY2(entry->toolTip().contains("cross-products"), qPrintable(entry->toolTip()));
    // Asked for anyway (an accelerator, a script): refused with the reason.
    QVERIFY(!xpxFrame.intervals().start());
    QVERIFY(reportHas("raw observations to resample"));
  }

  void runsOnTheWorkerAndOpensTheBandChart() {
    AnalysisState s;
    QVERIFY(analyse(s, "hald.ayq"));
    MainFrame frame(s);
    QSignalSpy done(&frame.intervals(), &InferenceIntervals::finished);
    BootstrapSettings settings;
    settings.resamples = 60;
    QVERIFY(frame.intervals().start(settings));
    QVERIFY(frame.intervals().running());
    QVERIFY(frame.intervals().progressDialog() != nullptr);
    QVERIFY(!frame.intervals().start(settings));  // one at a time
    QVERIFY(done.wait(30000));
    QCOMPARE(done.first().first().toBool(), true);
    QVERIFY(!frame.intervals().running());
    QVERIFY(reportHas("Bootstrap Inference Intervals along the Q= 0.0 Shape Path:"));
    QVERIFY(reportHas("60 resamples of the 13 observations (pairs), seed 1, level 90%"));

    QWidget* window = frame.intervals().lastWindow();
    QVERIFY(window != nullptr);
    QCOMPARE(window->windowTitle(), QString("Inference Intervals - Q-shape Q=0.0, 4 steps/MCAL"));
    GraphWindow* g = graphWindowOf(window);
    QVERIFY(g != nullptr);
    QCOMPARE(g->chart().seriesCount(), 4);
    QCOMPARE(g->chart().rows(), s.NSTEPS);
    // The chart shows the data's coefficient trace.
    QCOMPARE(g->chart().value(0, 0), static_cast<double>(s.CYQ.data[1][1]));
    // The CSV file beside the summary file.
    QVERIFY(QFile::exists(dir_.filePath("hald_path1_intervals.csv")));
  }

  // The menu command asks for B, the seed and the level, offers them next
  // time as last chosen, and a cancelled dialog starts nothing.
  void theCommandAsksForResamplesSeedAndLevel() {
    QSettings().remove(QStringLiteral("intervals"));
    AnalysisState s;
    QVERIFY(analyse(s, "hald.ayq"));
    MainFrame frame(s);
    frame.show();
    QSignalSpy done(&frame.intervals(), &InferenceIntervals::finished);
    test::ModalScript script;
    int offered = 0;
    script.then("intervalsSettings", [&](QWidget* w) {
      offered = w->findChild<QSpinBox*>("resamples")->value();
      w->findChild<QSpinBox*>("resamples")->setValue(40);
      w->findChild<QSpinBox*>("seed")->setValue(7);
      w->findChild<QDoubleSpinBox*>("level")->setValue(80.0);
      qobject_cast<QDialog*>(w)->accept();
    });
    frame.command(cmd::kInferenceIntervals);
    QVERIFY(script.done());
    QCOMPARE(offered, kDefaultResamples);
    QVERIFY(done.wait(30000));
    QVERIFY(reportHas("40 resamples of the 13 observations (pairs), seed 7, level 80%"));

    test::ModalScript again;
    int seed = 0;
    again.then("intervalsSettings", [&](QWidget* w) {
      seed = w->findChild<QSpinBox*>("seed")->value();
      qobject_cast<QDialog*>(w)->reject();
    });
    frame.command(cmd::kInferenceIntervals);
    QVERIFY(again.done());
    QCOMPARE(seed, 7);
    QVERIFY(!frame.intervals().running());
    QSettings().remove(QStringLiteral("intervals"));
  }

  void aCancelLeavesNoIntervals() {
    AnalysisState s;
    QVERIFY(analyse(s, "hald.ayq"));
    MainFrame frame(s);
    QSignalSpy done(&frame.intervals(), &InferenceIntervals::finished);
    const int windows = frame.mdiArea()->subWindowList().size();
    BootstrapSettings settings;
    settings.resamples = 100000;  // far longer than the test waits
    QVERIFY(frame.intervals().start(settings));
    QProgressDialog* progress = frame.intervals().progressDialog();
    QVERIFY(progress != nullptr);
    QPushButton* button = progress->findChild<QPushButton*>();
    QVERIFY(button != nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(done.wait(30000));
    QCOMPARE(done.first().first().toBool(), false);
    QCOMPARE(frame.mdiArea()->subWindowList().size(), windows);
    QVERIFY(frame.intervals().lastWindow() == nullptr);
    QVERIFY(reportHas("cancelled; no intervals were made"));
  }

  void theChartIsWrittenInEveryFormat() {
    AnalysisState s;
    QVERIFY(analyse(s, "hald.ayq"));
    BootstrapSettings settings;
    settings.resamples = 30;
    const auto r = runBootstrap(s, settings, {});
    QVERIFY2(r.ok(), r.message().c_str());
    std::string why;
    for (PlotFormat f : {PlotFormat::Png, PlotFormat::Svg, PlotFormat::Pdf}) {
      const std::string path =
          dir_.filePath(QString("bands.") + plotFormatExtension(f)).toStdString();
      QVERIFY2(writeIntervalsChart(s, *r, path, f, &why), why.c_str());
      QVERIFY(QFileInfo(QString::fromStdString(path)).size() > 1000);
    }
    QVERIFY(!writeIntervalsChart(s, *r, dir_.filePath("no/such/dir/x.png").toStdString(),
                                 PlotFormat::Png, &why));
  }
};

QTEST_MAIN(TestInferenceIntervals)
#include "tst_inference_intervals.moc"
