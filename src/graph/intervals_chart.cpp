#include "graph/intervals_chart.hpp"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "graph/chart_library.hpp"
#include "graph/child_list.hpp"
#include "graph/graph_window.hpp"
#include "graph/trace_chart.hpp"
#include "graph/trace_kind.hpp"
#include "report/report.hpp"

namespace tolvane {

const char kIntervalsTitle[] = "Inference Intervals";

namespace {

ChartFileFormat chartFormat(PlotFormat f) {
  if (f == PlotFormat::Svg) return ChartFileFormat::Svg;
  if (f == PlotFormat::Pdf) return ChartFileFormat::Pdf;
  return ChartFileFormat::Png;
}

}  // namespace

void setUpIntervalsChart(TraceChart& chart, const AnalysisState& state, const BootstrapResult& r) {
  std::vector<double> x(r.nsteps);
  for (int step = 1; step <= r.nsteps; ++step)
    x[step - 1] = r.mcalOf(step);
  chart.setDataBlock(r.nsteps, r.P, r.estimate.data());
  chart.setAbscissae(r.nsteps, x.data());
  chart.setBands(r.nsteps, r.P, r.lower.data(), r.upper.data());
  char title[160];
  std::snprintf(title, sizeof title, "%s: %g%% intervals from %d resamples", kIntervalsTitle,
                r.settings.level * 100.0, r.settings.resamples);
  chart.setTitle(QString::fromLatin1(title));
  chart.setAxisTitles(QStringLiteral("MCAL Shrinkage Extent"), QStringLiteral("COEFFICIENT"));
  QStringList names;
  for (const std::string& n : r.names)
    names << QString::fromStdString(n);
  chart.setSeriesNames(names);
  const std::vector<int> widths(r.P, std::clamp(state.lineWidth, 1, 3));
  chart.setLineWidths(r.P, widths.data());
  char mark[96];
  std::snprintf(mark, sizeof mark, "chosen MCAL = %.3f (%s)", r.chosenMcal, r.extentLabel.c_str());
  chart.setMark(r.chosenMcal, QString::fromLatin1(mark));
  chart.finishSetup();
}

QWidget* openIntervalsWindow(QMdiArea* area, const AnalysisState& state, const BootstrapResult& r) {
  if (area == nullptr) return nullptr;
  // A graph window, so that printing and copying work as in the trace
  // windows; its clicks report the interval instead.
  auto* window = new GraphWindow(TraceKind::Coefficients, const_cast<AnalysisState&>(state));
  // The path in the title tells the windows of two paths apart, as for the
  // trace windows.
  window->setWindowTitle(QString::fromLatin1(kIntervalsTitle) + QStringLiteral(" - ") +
                         pathDescription(state));
  QMdiSubWindow* sub = area->addSubWindow(window);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  registerChild(window, QString::fromLatin1(kIntervalsTitle));
  setUpIntervalsChart(window->chart(), state, r);
  const BootstrapResult copy = r;
  window->chart().notifyClicks([copy](int point, int series) {
    const int step = point + 1, j = series + 1;
    if (step > copy.nsteps || j > copy.P) return;
    const std::size_t c = copy.cell(step, j);
    reportLinef("%s Coef=%7.4f in [%7.4f, %7.4f] at MCAL=%7.3f", copy.names[j - 1].c_str(),
                copy.estimate[c], copy.lower[c], copy.upper[c], copy.mcalOf(step));
    REPORT_SHOW();
  });
  window->show();
  return window;
}

bool writeIntervalsChart(const AnalysisState& state, const BootstrapResult& r,
                         const std::string& path, PlotFormat format, std::string* error) {
  if (!ensureOffscreenChartApplication()) {
    if (error != nullptr) *error = "cannot start the chart layer";
    return false;
  }
  TraceChart chart;
  setUpIntervalsChart(chart, state, r);
  QString why;
  if (!chart.renderToFile(QString::fromStdString(path), chartFormat(format),
                          QSize(kPlotWidth, kPlotHeight), &why)) {
    if (error != nullptr) *error = why.toStdString();
    return false;
  }
  return true;
}

}  // namespace tolvane
