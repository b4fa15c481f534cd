// Output of a chart: printing at 90 percent of the page, and chart files in
// PNG, SVG and PDF written without a window.
#include <QChart>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QLegend>
#include <QMdiArea>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "graph/graph_commands.hpp"
#include "graph/graph_window.hpp"
#include "graph/print_graph.hpp"
#include "graph/trace_chart.hpp"
#include "graph/trace_export.hpp"
#include "trace_fixture.hpp"

using namespace tolvane;
using tolvane::test::fillSmallPath;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

// Pixels that are neither white nor nearly so.
int inkedPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 200) ++n;
  return n;
}

}  // namespace

class GraphOutputTest : public QObject {
  Q_OBJECT

 private:
  AnalysisState state;
  QTemporaryDir dir;

 private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    fillSmallPath(state);
  }

  void printRectKeepsProportionsAtNinetyPercent() {
    // A wide page: the height is the tighter dimension.
    PrintRect r = printRect(600, 400, 2000, 1000);
    QCOMPARE(r.height, 900.0);
    QCOMPARE(r.width, 1350.0);
    QCOMPARE(r.left, 325.0);
    QCOMPARE(r.top, 50.0);
    // A tall page: the width is.
    r = printRect(600, 400, 1000, 2000);
    QCOMPARE(r.width, 900.0);
    QCOMPARE(r.height, 600.0);
    QCOMPARE(r.left, 50.0);
    QCOMPARE(r.top, 700.0);
    // A chart without a size (never shown) still gets a sane rectangle.
    r = printRect(0, 0, 1000, 1000);
    QVERIFY(r.width > 0 && r.height > 0 && r.width <= 900.0 && r.height <= 900.0);
  }

  void printingToAPdfFileDrawsTheChart() {
    QMdiArea area;
    area.resize(900, 700);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    auto* g = graphWindowOf(openGraphWindow(&area, cmd::kCoefficientTrace, state));
    QVERIFY(g != nullptr);
    g->parentWidget()->resize(600, 420);
    QCoreApplication::processEvents();

    const QString chartPdf = dir.filePath("chart.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(chartPdf);
    QVERIFY(printChartTo(g->chart(), printer));

    // The same printer set-up with nothing drawn, to compare with.
    const QString blankPdf = dir.filePath("blank.pdf");
    QPrinter blank(QPrinter::HighResolution);
    blank.setOutputFormat(QPrinter::PdfFormat);
    blank.setOutputFileName(blankPdf);
    QPainter p(&blank);
    p.end();

    const QByteArray chart = readAll(chartPdf);
    QVERIFY(chart.startsWith("%PDF"));
    QVERIFY2(chart.size() > readAll(blankPdf).size() + 2000,
             qPrintable(QString("chart %1 bytes").arg(chart.size())));
  }

  void printGraphCommandPrintsThroughTheDialog() {
    QMdiArea area;
    area.resize(900, 700);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    auto* g = graphWindowOf(openGraphWindow(&area, cmd::kShrinkageFactorTrace, state));
    QVERIFY(g != nullptr);
    QCoreApplication::processEvents();
    const QString path = dir.filePath("dialog.pdf");
    graphPrinter().setOutputFormat(QPrinter::PdfFormat);
    graphPrinter().setOutputFileName(path);

    // Cancelling the dialog prints nothing.
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
      sawDialog = dialog != nullptr;
      if (dialog != nullptr) dialog->reject();
    });
    QVERIFY(graphWindowCommand(g->parentWidget(), cmd::kPrintGraph));
    QVERIFY(sawDialog);
    QVERIFY(!QFile::exists(path));

    // Accepting it with the PDF file chosen prints the chart there.
    sawDialog = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
      sawDialog = dialog != nullptr;
      if (dialog != nullptr) dialog->accept();
    });
    QVERIFY(graphWindowCommand(g, cmd::kPrintGraph));
    QVERIFY(sawDialog);
    QVERIFY(readAll(path).startsWith("%PDF"));
    QVERIFY(QFileInfo(path).size() > 5000);
  }

  void printingAnEmptyChartWorks() {
    QMdiArea area;
    area.show();
    auto* g = graphWindowOf(openGraphWindow(&area, cmd::kVisualReRegression, state));
    QVERIFY(g != nullptr);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("empty.pdf"));
    QVERIFY(printChartTo(g->chart(), printer));
    QVERIFY(readAll(dir.filePath("empty.pdf")).startsWith("%PDF"));
  }

  void pngFileShowsTheChart() {
    const QString path = dir.filePath("coef.png");
    std::string error;
    QVERIFY(writeTraceChart(state, 101, path.toStdString(), PlotFormat::Png, &error));
    QImage image(path);
    QCOMPARE(image.size(), QSize(kPlotWidth, kPlotHeight));
    // Lines, axes and text leave ink; a blank image would have none.
    QVERIFY(inkedPixels(image) > 2000);
  }

  void svgFileCarriesTitlesAndLegend() {
    const QString path = dir.filePath("risk.svg");
    std::string error;
    QVERIFY(writeTraceChart(state, 102, path.toStdString(), PlotFormat::Svg, &error));
    const QByteArray svg = readAll(path);
    QVERIFY(svg.contains("<svg"));
    QVERIFY(svg.contains("Relative Risks"));
    QVERIFY(svg.contains("MCAL Shrinkage Extent"));
    QVERIFY(svg.contains("TRACE"));
    QVERIFY(svg.contains("GAMMA"));
  }

  void fiveTracePlotsInEachFormat_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("png") << "png";
    QTest::newRow("svg") << "SVG";
    QTest::newRow("pdf") << "pdf";
  }
  void fiveTracePlotsInEachFormat() {
    QFETCH(QString, format);
    PlotFormat f;
    QVERIFY(parsePlotFormat(format.toStdString(), &f));
    std::vector<std::string> written;
    std::string error;
    const QString sub = dir.filePath("plots/" + format);  // made on the way
    QVERIFY2(writeTracePlots(state, sub.toStdString(), "hald", f, &written, &error), error.c_str());
    QCOMPARE(written.size(), std::size_t(5));
    const char* tags[] = {"cyq", "ryq", "eyq", "iyq", "dyq"};
    for (int k = 0; k < 5; ++k) {
      const QString expected = QDir(sub).filePath(
          QString("hald_qshape_q0.0_4steps_%1.%2").arg(tags[k], plotFormatExtension(f)));
      QCOMPARE(QString::fromStdString(written[k]), expected);
      QVERIFY(QFileInfo(expected).size() > 1000);
    }
    QVERIFY(
        readAll(QString::fromStdString(written[0]))
            .left(8)
            .contains(f == PlotFormat::Pdf ? "%PDF" : (f == PlotFormat::Png ? "PNG" : "<?xml")));
  }

  void badFormatsAndPathsAreRefused() {
    PlotFormat f;
    QVERIFY(!parsePlotFormat("jpeg", &f));
    QVERIFY(!parsePlotFormat("", &f));
    std::string error;
    QVERIFY(
        !writeTraceChart(state, 106, dir.filePath("x.png").toStdString(), PlotFormat::Png, &error));
    QVERIFY(!error.empty());
    for (PlotFormat bad : {PlotFormat::Png, PlotFormat::Svg, PlotFormat::Pdf}) {
      error.clear();
      const std::string path = dir.filePath("missing/dir/x").toStdString();
      QVERIFY(!writeTraceChart(state, 101, path, bad, &error));
      QVERIFY(!error.empty());
    }
    // A plain file where the directory should be.
    QFile blocker(dir.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    std::vector<std::string> written;
    QVERIFY(!writeTracePlots(state, blocker.fileName().toStdString(), "x", PlotFormat::Png,
                             &written, &error));
    QVERIFY(written.empty());
  }

  // With more series than one legend column holds, the legend runs in
  // columns beside the plot: every name is drawn, inside the chart, clear of
  // the plot and of each other, in series order; and it is in the files.
  void manySeriesGetALegendInColumns() {
    const int count = 49;
    std::vector<double> block(static_cast<std::size_t>(count) * 3), x = {0.0, 1.0, 2.0};
    QStringList names;
    for (int j = 0; j < count; ++j) {
      names << (j == 7 ? QString("a rather long predictor name") : QString("x%1").arg(j + 1));
      for (int i = 0; i < 3; ++i)
        block[static_cast<std::size_t>(i) * count + j] = (j + 1) * (2 - i);
    }
    TraceChart chart;
    chart.setDataBlock(3, count, block.data());
    chart.setAbscissae(3, x.data());
    chart.setSeriesNames(names);
    chart.setTitle("Shrinkage Coefficients");
    chart.finishSetup();
    QVERIFY(!chart.chart()->legend()->isVisible());
    const QString svgPath = dir.filePath("many.svg");
    QString error;
    QVERIFY(chart.renderToFile(svgPath, ChartFileFormat::Svg, QSize(760, 520), &error));

    const std::vector<QGraphicsSimpleTextItem*> labels = chart.columnLegendLabels();
    QCOMPARE(labels.size(), std::size_t(count));
    const QRectF whole(QPointF(0, 0), chart.chartSize());
    const QRectF plot = chart.chart()->plotArea();
    std::vector<QRectF> boxes;
    for (int j = 0; j < count; ++j) {
      const QString text = labels[j]->text();
      if (j == 7) {
        QVERIFY2(text.endsWith(QChar(0x2026)), qPrintable(text));  // cut short
        QCOMPARE(labels[j]->toolTip(), names[j]);
      } else {
        QCOMPARE(text, names[j]);
      }
      const QRectF box = labels[j]->mapRectToParent(labels[j]->boundingRect());
      QVERIFY2(whole.contains(box), qPrintable(text));
      QVERIFY2(!box.intersects(plot), qPrintable(text));
      for (const QRectF& other : boxes)
        QVERIFY2(!box.intersects(other), qPrintable(text));
      boxes.push_back(box);
    }
    // Columns, not one tall row: the last name stands right of the first.
    QVERIFY(boxes.back().left() > boxes.front().right());
    // The long name is cut so that the legend leaves the plot most of the width.
    double left = whole.right(), right = 0.0;
    for (const QRectF& box : boxes) {
      left = std::min(left, box.left());
      right = std::max(right, box.right());
    }
    QVERIFY2(right - left < 0.4 * whole.width(), qPrintable(QString::number(right - left)));
    QVERIFY2(plot.width() > 0.4 * whole.width(), qPrintable(QString::number(plot.width())));
    QVERIFY(readAll(svgPath).contains(">x49<"));

    // Too small a chart for every name shows none and gives the plot its room.
    QVERIFY(chart.renderToFile(dir.filePath("small.png"), ChartFileFormat::Png, QSize(200, 120),
                               &error));
    for (const QGraphicsSimpleTextItem* label : chart.columnLegendLabels())
      QVERIFY(!label->isVisible());
    // (the margins of a small chart, with no room kept for a legend)
    QCOMPARE(chart.chart()->margins(), QMargins(4, 2, 6, 2));
    QVERIFY(chart.renderToFile(svgPath, ChartFileFormat::Svg, QSize(760, 520), &error));
    QVERIFY(chart.columnLegendLabels().back()->isVisible());

    // A few series keep the chart's own legend below the plot.
    TraceChart few;
    few.setDataBlock(3, 4, block.data());
    few.setAbscissae(3, x.data());
    few.setSeriesNames(names.mid(0, 4));
    few.finishSetup();
    QVERIFY(few.columnLegendLabels().empty());
    QVERIFY(few.chart()->legend()->isVisible());
    QCOMPARE(few.chart()->legend()->alignment(), Qt::AlignBottom);
  }

  void emptyTracesWriteAnEmptyChart() {
    AnalysisState empty;  // nothing traced yet
    std::string error;
    const QString path = dir.filePath("none.png");
    QVERIFY(writeTraceChart(empty, 101, path.toStdString(), PlotFormat::Png, &error));
    QVERIFY(writeTraceChart(empty, 110, dir.filePath("kyq.svg").toStdString(), PlotFormat::Svg,
                            &error));
    QVERIFY(readAll(dir.filePath("kyq.svg")).contains("No data"));
  }
};

QTEST_MAIN(GraphOutputTest)
#include "tst_graph_output.moc"
