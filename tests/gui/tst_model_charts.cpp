// The model layer on the charts: the chosen extent and the criteria minima
// as labelled vertical lines on every trace chart (window and files), and
// the Comparison Criteria chart of a real analysis.
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

#include "engine/select_shape.hpp"
#include "graph/click_readout.hpp"
#include "graph/command_ids.hpp"
#include "graph/graph_commands.hpp"
#include "graph/plot_trace.hpp"
#include "graph/trace_chart.hpp"
#include "graph/trace_export.hpp"
#include "graph/trace_kind.hpp"
#include "input/batch_dialogs.hpp"
#include "input/batch_input_run.hpp"
#include "model/model_results.hpp"
#include "support/example_run.hpp"
#include "trace_fixture.hpp"

namespace tolvane {
namespace {

struct DefaultPath : PathDialog {
  void run(PathDialogModel& m) override { m.ok(); }
};

}  // namespace

class ModelChartsTest : public QObject {
  Q_OBJECT

 private slots:
  void marksAreDrawnOnEveryTraceButAreNoSeries() {
    AnalysisState s;
    test::fillSmallPath(s);
    s.MCALMARKS = {{"extent 1.250 (CLIK minimum)", 1.25, true},
                   {"GCV/AIC", 0.75, false},
                   {"far away", 9.0, false}};
    for (TraceKind kind :
         {TraceKind::Coefficients, TraceKind::RelativeRisks, TraceKind::ExcessEigenvalues,
          TraceKind::InferiorDirection, TraceKind::ShrinkageFactors}) {
      TraceChart chart;
      setUpTraceChart(chart, kind, traceMatrix(s, kind), s);
      QCOMPARE(chart.seriesCount(), 3);
      // The mark beyond the path's end (MCAL 9 > RANK 3) is left out.
      QCOMPARE(chart.verticalMarkCount(), 2);
      QCOMPARE(chart.verticalMarkLabel(0), QStringLiteral("extent 1.250 (CLIK minimum)"));
      QCOMPARE(chart.verticalMarkLabel(1), QStringLiteral("GCV/AIC"));
    }
    // Minima close together put their labels on different rows; a minimum
    // far from the others keeps the top row.
    s.MCALMARKS = {{"GCV", 1.0, false},
                   {"extent 1.000 (GCV minimum)", 1.0, true},
                   {"HKB", 1.1, false},
                   {"LW", 1.15, false},
                   {"CLIK", 2.5, false}};
    {
      TraceChart chart;
      setUpTraceChart(chart, TraceKind::Coefficients, s.CYQ, s);
      QCOMPARE(chart.verticalMarkCount(), 5);
      const double gcv = chart.verticalMarkLabelPoint(0).y();
      const double hkb = chart.verticalMarkLabelPoint(2).y();
      const double lw = chart.verticalMarkLabelPoint(3).y();
      const double clik = chart.verticalMarkLabelPoint(4).y();
      QVERIFY(gcv > hkb && hkb > lw);
      QCOMPARE(clik, gcv);
      QVERIFY(chart.verticalMarkLabelPoint(1).y() < lw);  // the extent at the foot
    }
    // Without marks there are no lines: a new batch input empties them.
    s.reset();
    test::fillSmallPath(s);
    TraceChart chart;
    setUpTraceChart(chart, TraceKind::Coefficients, s.CYQ, s);
    QCOMPARE(chart.verticalMarkCount(), 0);
  }

  void comparisonChartOfARealPathIsOneAtEachMinimum() {
    QTemporaryDir dir;
    auto s = std::make_unique<AnalysisState>();
    QVERIFY(test::runDataFile(*s, test::examplePath("hald.ayq"), dir.path().toStdString()));
    DefaultPath pick;
    QVERIFY(SELECT_SHAPE(*s, pick, 1));
    ModelResults results;
    QVERIFY(computeModelResults(*s, ExtentRequest{}, &results).ok());
    publishModelResults(*s, results);
    QCOMPARE(s->CCYQ.rows, s->NSTEPS);
    QCOMPARE(s->CCYQ.cols, 4);
    for (int j = 1; j <= 4; ++j) {
      double least = 1e300;
      for (int i = 1; i <= s->NSTEPS; ++i)
        least = std::min(least, static_cast<double>(s->CCYQ.data[i][j]));
      QCOMPARE(least, 1.0);
    }
    QVERIFY(!s->MCALMARKS.empty());
    QVERIFY(s->MCALMARKS.front().chosen);
    QCOMPARE(s->MCALMARKS.front().mcal, results.fit.extent.mcal);

    TraceChart chart;
    setUpTraceChart(chart, TraceKind::ComparisonCriteria, s->CCYQ, *s);
    QCOMPARE(chart.title(), QStringLiteral("Comparison Criteria"));
    QCOMPARE(chart.seriesCount(), 4);
    QCOMPARE(chart.seriesName(0), QStringLiteral("GCV"));
    QCOMPARE(chart.seriesName(3), QStringLiteral("BIC"));
    QVERIFY(chart.verticalMarkCount() >= 2);

    // The files the batch tool writes carry the marks too: a chart with them
    // differs from the same chart without.
    const QString with = dir.filePath("with.svg"), without = dir.filePath("without.svg");
    std::string error;
    QVERIFY(
        writeTraceChart(*s, cmd::kCoefficientTrace, with.toStdString(), PlotFormat::Svg, &error));
    s->MCALMARKS.clear();
    QVERIFY(writeTraceChart(*s, cmd::kCoefficientTrace, without.toStdString(), PlotFormat::Svg,
                            &error));
    QFile a(with), b(without);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray withText = a.readAll();
    QVERIFY(withText.contains("CLIK minimum"));
    QVERIFY(!b.readAll().contains("CLIK minimum"));
    s->files.closeBoth();
  }
};

}  // namespace tolvane

QTEST_MAIN(tolvane::ModelChartsTest)
#include "tst_model_charts.moc"
