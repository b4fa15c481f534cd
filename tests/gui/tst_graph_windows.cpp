// Graph windows: the commands open titled windows with one series per
// column, clicks report the exact read-out line from the current traces.
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QGraphicsEllipseItem>
#include <QGuiApplication>
#include <QLabel>
#include <QLineSeries>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QtTest>
#include <future>
#include <thread>

#include "graph/child_list.hpp"
#include "graph/click_readout.hpp"
#include "graph/graph_commands.hpp"
#include "graph/graph_window.hpp"
#include "graph/plot_trace.hpp"
#include "graph/trace_chart.hpp"
#include "trace_fixture.hpp"

using namespace tolvane;
using tolvane::test::fillSmallPath;
using tolvane::test::format;
using tolvane::test::lastReportLine;

class GraphWindowsTest : public QObject {
  Q_OBJECT

 private:
  AnalysisState state;
  QMdiArea* area = nullptr;

  GraphWindow* open(int command) {
    QWidget* w = openGraphWindow(area, command, state);
    auto* g = graphWindowOf(w);
    if (g != nullptr) {
      g->parentWidget()->resize(640, 440);
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
    return g;
  }

  // Clicks the drawn position of (point, series) offset by (dx, dy) pixels.
  void clickAt(GraphWindow* g, int point, int series, int dx = 0, int dy = 0) {
    QPointF p = g->chart().viewPosOf(point, series);
    QVERIFY(p.x() >= 0);
    QTest::mouseClick(g->chart().view()->viewport(), Qt::LeftButton, {},
                      p.toPoint() + QPoint(dx, dy));
  }

  static QList<QLineSeries*> lines(GraphWindow* g) {
    QList<QLineSeries*> out;
    for (QAbstractSeries* s : g->chart().chart()->series())
      out << qobject_cast<QLineSeries*>(s);
    return out;
  }

 private slots:
  void init() {
    fillSmallPath(state);
    area = new QMdiArea();
    area->resize(1000, 800);
    area->show();
    QVERIFY(QTest::qWaitForWindowExposed(area));
  }
  void cleanup() {
    delete area;
    area = nullptr;
  }

  void commandsOpenTitledWindows_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("series");
    QTest::addColumn<QString>("firstName");
    QTest::newRow("101") << 101 << "Shrinkage Coefficients" << 3 << "ALPHA";
    QTest::newRow("102") << 102 << "Relative Risks" << 3 << "ALPHA";
    QTest::newRow("103") << 103 << "Excess Eigenvalues" << 3 << "Axis 1";
    QTest::newRow("104") << 104 << "Inferior Direction" << 3 << "ALPHA";
    QTest::newRow("105") << 105 << "Shrinkage Factors" << 3 << "Axis 1";
    // No path: its window shows nothing of one.
    QTest::newRow("110") << 110 << "Visual Re-Regression" << 0 << "";
  }
  void commandsOpenTitledWindows() {
    QFETCH(int, command);
    QFETCH(QString, title);
    QFETCH(int, series);
    QFETCH(QString, firstName);
    const int before = childCount();
    state.SHAPECODE = PathShape::kLasso;
    state.QSHAPE = -0.5f;
    GraphWindow* g = open(command);
    QVERIFY(g != nullptr);
    // The window's title names the path; the chart and the child list keep
    // the trace's own title.
    const QString windowTitle = command == 110 ? title : title + " - Lasso Q=-0.5, 4 steps/MCAL";
    QCOMPARE(g->windowTitle(), windowTitle);
    QCOMPARE(g->parentWidget()->windowTitle(), windowTitle);
    QCOMPARE(g->chart().title(), title);
    QCOMPARE(childCount(), before + 1);
    QCOMPARE(childTitle(g), title);
    QCOMPARE(g->chart().chart()->series().size(), series);
    if (series > 0) {
      QCOMPARE(lines(g)[0]->name(), firstName);
      QCOMPARE(lines(g)[0]->count(), state.NSTEPS);
      // Abscissa of step s is (s - 1) / MSTEPS.
      QCOMPARE(lines(g)[0]->at(5).x(), 5.0 / 4.0);
      QCOMPARE(lines(g)[2]->at(5).y(), double(traceMatrix(state, g->kind()).data[6][3]));
    }
  }

  void otherIdsOpenNothing() {
    const int before = childCount();
    QCOMPARE(openGraphWindow(area, 106, state), nullptr);
    QCOMPARE(openGraphWindow(area, 112, state), nullptr);
    QCOMPARE(openGraphWindow(nullptr, 101, state), nullptr);
    QCOMPARE(childCount(), before);
    QVERIFY(area->subWindowList().isEmpty());
  }

  void clickReportsTheTraceValue_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("point");
    QTest::addColumn<int>("series");
    QTest::newRow("coefficients first point third series") << 101 << 0 << 3;
    QTest::newRow("coefficients mid") << 101 << 5 << 2;
    QTest::newRow("risks") << 102 << 7 << 3;
    QTest::newRow("eigenvalues") << 103 << 12 << 1;
    QTest::newRow("inferior") << 104 << 4 << 2;
    QTest::newRow("factors") << 105 << 9 << 1;
  }
  void clickReportsTheTraceValue() {
    QFETCH(int, command);
    QFETCH(int, point);
    QFETCH(int, series);
    GraphWindow* g = open(command);
    QVERIFY(g != nullptr);
    const int written = reportCounters().linesWritten;
    clickAt(g, point, series - 1);
    QCOMPARE(reportCounters().linesWritten, written + 1);
    QCOMPARE(clickPoint(), point);
    QCOMPARE(clickSeries(), series);

    const float v = traceMatrix(state, g->kind()).data[point + 1][series];
    const double mcal = point / 4.0;
    const char* name = state.XNAME[series].c_str();
    std::string expected;
    switch (command) {
      case 101:
        expected = format("%s Coef=%7.4f at MCAL=%7.3lf on %s TRACE", name, v, mcal,
                          "Shrinkage Coefficients");
        break;
      case 102:
        expected =
            format("%s Rrisk=%7.4f at MCAL=%7.3lf on %s TRACE", name, v, mcal, "Relative Risks");
        break;
      case 103:
        expected = format("Axis%d ExEv=%8.4f at MCAL=%7.3lf on %s TRACE", series, v, mcal,
                          "Excess Eigenvalues");
        break;
      case 104:
        expected = format("%s DirCos=%6.4f at MCAL=%7.3lf on %s TRACE", name, v, mcal,
                          "Inferior Direction");
        break;
      case 105:
        expected = format("Axis%d Factor=%6.4f at MCAL=%7.3lf on %s TRACE", series, v, mcal,
                          "Shrinkage Factors");
        break;
    }
    QCOMPARE(lastReportLine(), expected);
    // Seen in the window too: the read-out line below the chart and a ring
    // on the point, so that a maximised chart shows what the click read.
    QCOMPARE(g->readout(), QString::fromStdString(expected));
    QVERIFY(g->findChild<QLabel*>("readoutLine")->isVisible());
    const auto marked = g->chart().markedPoint();
    QVERIFY(marked.has_value());
    QCOMPARE(marked->point, point);
    QCOMPARE(marked->series, series - 1);
  }

  // The ring sits on the clicked point and follows it when the window is
  // maximised; a new plot takes it away.
  void theRingFollowsThePointAndGoesWithANewPlot() {
    GraphWindow* g = open(101);
    clickAt(g, 4, 1);
    auto* ring = [&]() -> QGraphicsEllipseItem* {
      for (QGraphicsItem* item : g->chart().chart()->childItems()) {
        if (auto* e = qgraphicsitem_cast<QGraphicsEllipseItem*>(item)) return e;
      }
      return nullptr;
    }();
    QVERIFY(ring != nullptr);
    QVERIFY(ring->isVisible());
    auto centreInView = [&] {
      const QPointF c = ring->mapToScene(ring->rect().center());
      return QPointF(g->chart().view()->mapFromScene(c));
    };
    QVERIFY(QLineF(centreInView(), g->chart().viewPosOf(4, 1)).length() < 1.5);
    g->parentWidget()->showMaximized();
    QCoreApplication::processEvents();
    QTRY_VERIFY(QLineF(centreInView(), g->chart().viewPosOf(4, 1)).length() < 1.5);
    plotTrace(g->chart(), g->kind(), traceMatrix(state, g->kind()), state);
    QVERIFY(!g->chart().markedPoint().has_value());
    QVERIFY(!ring->isVisible());
  }

  void theExampleLineOfTheFirstPoint() {
    GraphWindow* g = open(101);
    clickAt(g, 0, 2);
    // 3 x 3 + 0.37 at MCAL 0.
    QCOMPARE(lastReportLine(), std::string("GAMMA Coef= 9.3700 at MCAL=  0.000 on Shrinkage "
                                           "Coefficients TRACE"));
  }

  void clickNearAPointPicksTheNearestPointOfThatLine() {
    GraphWindow* g = open(101);
    // Two pixels beside point 6 of BETA: still on BETA's line, nearest to 6.
    const QPointF p6 = g->chart().viewPosOf(6, 1);
    const QPointF p7 = g->chart().viewPosOf(7, 1);
    QVERIFY(p7.x() - p6.x() > 10);  // points far enough apart to tell
    clickAt(g, 6, 1, 3, 1);
    QCOMPARE(clickPoint(), 6);
    QCOMPARE(clickSeries(), 2);
    QVERIFY(lastReportLine().rfind("BETA Coef=", 0) == 0);
    // Past the middle of the segment the next point is nearer.
    const QPointF beyond = p6 + (p7 - p6) * 0.7;
    QTest::mouseClick(g->chart().view()->viewport(), Qt::LeftButton, {}, beyond.toPoint());
    QCOMPARE(clickPoint(), 7);
  }

  void clickAwayFromEveryLineReportsNothing() {
    GraphWindow* g = open(101);
    const int written = reportCounters().linesWritten;
    // Between the ALPHA and BETA lines at the first step: about 3 units apart.
    const QPointF a = g->chart().viewPosOf(0, 0);
    const QPointF b = g->chart().viewPosOf(0, 1);
    QVERIFY(std::abs(a.y() - b.y()) > 40);
    QTest::mouseClick(g->chart().view()->viewport(), Qt::LeftButton, {},
                      QPoint(int(a.x()) + 30, int((a.y() + b.y()) / 2)));
    QCOMPARE(reportCounters().linesWritten, written);
  }

  void twoWindowsOfOneTitleReadTheSameCurrentMatrix() {
    GraphWindow* first = open(101);
    GraphWindow* second = open(101);
    QVERIFY(first != second);
    QCOMPARE(childTitle(first), childTitle(second));
    // The matrix changes after both are drawn: both read the new value.
    state.CYQ.data[4][1] = 1.2345f;
    clickAt(first, 3, 0);
    const std::string one = lastReportLine();
    clickAt(second, 3, 0);
    QCOMPARE(lastReportLine(), one);
    QCOMPARE(one, std::string("ALPHA Coef= 1.2345 at MCAL=  0.750 on Shrinkage Coefficients "
                              "TRACE"));
  }

  void reRegressionShowsAnEmptyChartAndUnknownTrace() {
    GraphWindow* g = open(110);
    QVERIFY(g != nullptr);
    QCOMPARE(g->chart().rows(), 0);
    QVERIFY(g->chart().seriesCount() == 0);
    // The plot area says there is no data.
    bool saysNoData = false;
    for (QGraphicsItem* item : g->chart().chart()->childItems()) {
      if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(item)) {
        saysNoData = saysNoData || (t->isVisible() && t->text().startsWith("No data"));
      }
    }
    QVERIFY(saysNoData);
    QVERIFY(!g->chart().toImage().isNull());
    // The read-out of that title is the unknown-trace line.
    clickReadout(g, 2, 1, state);
    QCOMPARE(lastReportLine(), format("Mouse click at MCAL=%7.3lf on unknown TRACE", 0.5));
  }

  void emptiedTracesAreNotReadOutsideTheMatrix() {
    GraphWindow* g = open(102);
    state.reset();  // a new batch input empties every trace
    clickAt(g, 4, 2);
    QCOMPARE(lastReportLine(),
             format("No current value at MCAL=%7.3lf on %s TRACE", 1.0, "Relative Risks"));
    // A new, shorter path: point 12 is beyond its 5 rows.
    fillSmallPath(state);
    state.RYQ.allocate(5, 3);
    clickReadout(g, 12, 1, state);
    QVERIFY(lastReportLine().rfind("No current value", 0) == 0);
  }

  void valuesThatAreNotFiniteLeaveGapsNotCrashes() {
    state.CYQ.data[3][1] = std::numeric_limits<float>::quiet_NaN();
    state.CYQ.data[4][1] = std::numeric_limits<float>::infinity();
    state.CYQ.data[5][2] = -std::numeric_limits<float>::infinity();
    GraphWindow* g = open(101);
    QCOMPARE(g->chart().seriesCount(), 3);
    QCOMPARE(lines(g)[0]->count(), state.NSTEPS - 2);
    QCOMPARE(lines(g)[1]->count(), state.NSTEPS - 1);
    // The axis range stays finite and the other points stay clickable.
    QVERIFY(g->chart().viewPosOf(5, 0).x() >= 0);
    clickAt(g, 5, 0);
    QCOMPARE(clickPoint(), 5);
    QVERIFY(lastReportLine().rfind("ALPHA Coef=", 0) == 0);
    QVERIFY(g->chart().viewPosOf(2, 0).x() < 0);  // not drawn
    // The read-out of such a point says what the matrix holds.
    clickReadout(g, 2, 1, state);
    QVERIFY(lastReportLine().find("nan") != std::string::npos);
  }

  void anOldWindowKeepsItsChartButReadsTheNewPath() {
    GraphWindow* old = open(101);  // 13 steps, four per unit
    fillSmallPath(state, 8);       // a new Select Shape: 25 steps, eight per unit
    GraphWindow* fresh = open(105);
    QCOMPARE(old->chart().rows(), 13);
    QCOMPARE(fresh->chart().rows(), 25);
    QCOMPARE(lines(old)[0]->at(4).x(), 1.0);  // drawn at 4 / 4
    clickAt(old, 4, 0);
    // The value and MCAL are those of row 5 of the new path: 4 / 8.
    QCOMPARE(lastReportLine(), format("ALPHA Coef=%7.4f at MCAL=%7.3lf on %s TRACE",
                                      state.CYQ.data[5][1], 0.5, "Shrinkage Coefficients"));
  }

  void windowNotInTheListIsUnknown() {
    QWidget stranger;
    clickReadout(&stranger, 0, 1, state);
    QCOMPARE(lastReportLine(), format("Mouse click at MCAL=%7.3lf on unknown TRACE", 0.0));
  }

  void aBatchInputRunningBlocksOpeningAndReading() {
    std::promise<void> locked, release;
    std::thread worker([&] {
      std::lock_guard lock(state.runMutex);
      locked.set_value();
      release.get_future().wait();
    });
    locked.get_future().wait();
    const int children = childCount();
    QCOMPARE(openGraphWindow(area, 101, state), nullptr);
    QCOMPARE(childCount(), children);
    QVERIFY(lastReportLine().find("batch input is running") != std::string::npos);
    clickReadout(area, 0, 1, state);
    QVERIFY(lastReportLine().find("batch input is running") != std::string::npos);
    release.set_value();
    worker.join();
    QVERIFY(openGraphWindow(area, 101, state) != nullptr);
  }

  void lineWidthAppliesToLaterPlotsOnly() {
    state.lineWidth = 3;
    GraphWindow* thick = open(101);
    state.lineWidth = 1;
    GraphWindow* thin = open(101);
    for (QLineSeries* s : lines(thick))
      QCOMPARE(s->pen().widthF(), 3.0);
    for (QLineSeries* s : lines(thin))
      QCOMPARE(s->pen().widthF(), 1.0);
    QCOMPARE(seriesWidth()[0], 1);
    // Zero (before any batch input) still draws a visible line.
    state.lineWidth = 0;
    GraphWindow* g = open(105);
    QCOMPARE(lines(g)[0]->pen().widthF(), 1.0);
  }

  void longPathsKeepEveryAbscissa() {
    // 50 axes at 8 steps per unit: 401 steps, more than the 100 of old.
    AnalysisState big;
    big.MSTEPS = 8;
    big.P = 2;
    big.XNAME[1] = "U";
    big.XNAME[2] = "V";
    tolvane::test::fillTrace(&big.CYQ, 401, 2,
                             [](int i, int j) { return j * (1.0 - (i - 1) / 400.0); });
    GraphWindow* g = graphWindowOf(openGraphWindow(area, 101, big));
    QVERIFY(g != nullptr);
    QVERIFY(mcalAxis().size() >= 401);
    QCOMPARE(mcalAxis()[400], 50.0);
    QCOMPARE(g->chart().rows(), 401);
    clickReadout(g, 400, 2, big);
    QCOMPARE(lastReportLine(),
             format("V Coef=%7.4f at MCAL=%7.3lf on Shrinkage Coefficients TRACE", 0.0, 50.0));
  }

  void commandsOfTheWindow() {
    GraphWindow* g = open(101);
    QVERIFY(isGraphWindow(g));
    QVERIFY(isGraphWindow(g->parentWidget()));
    QVERIFY(!isGraphWindow(area));
    QString why;
    QVERIFY(!graphCommandEnabled(cmd::kInferenceIntervals, &why));
    QVERIFY(!why.isEmpty());
    QVERIFY(graphCommandEnabled(cmd::kPrintGraph, nullptr));
    QVERIFY(!graphWindowCommand(g, cmd::kInferenceIntervals));
    QVERIFY(!graphWindowCommand(g, 34));
    QVERIFY(!graphWindowCommand(area, cmd::kCopyToClipboard));

    QVERIFY(graphWindowCommand(g->parentWidget(), cmd::kCopyToClipboard));
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    QVERIFY(mime != nullptr);
    QVERIFY(mime->hasImage());
    const QStringList rows = mime->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), state.NSTEPS + 1);
    QCOMPARE(rows[0], QString("MCAL\tALPHA\tBETA\tGAMMA"));
    const QStringList step6 = rows[6].split('\t');
    QCOMPARE(step6.size(), 4);
    QCOMPARE(step6[0], QString("1.250"));
    QCOMPARE(step6[2].toFloat(), static_cast<float>(state.CYQ.data[6][2]));
  }

  void closedWindowsStayListedButNeverMatchAgain() {
    GraphWindow* g = open(103);
    const int count = childCount();
    QPointer<QWidget> guard(g);
    g->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(guard.isNull());
    QCOMPARE(childCount(), count);
    QCOMPARE(childList().back().title, QString("Excess Eigenvalues"));
    QVERIFY(childList().back().window.isNull());
  }
};

QTEST_MAIN(GraphWindowsTest)
#include "tst_graph_windows.moc"
