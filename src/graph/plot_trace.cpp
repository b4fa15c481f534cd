#include "graph/plot_trace.hpp"

#include <algorithm>

#include "graph/trace_chart.hpp"

namespace tolvane {

namespace {

std::vector<double>& axisStore() {
  static std::vector<double> axis;
  return axis;
}

std::vector<int>& widthStore() {
  static std::vector<int> widths;
  return widths;
}

int stepsPerUnit(const AnalysisState& state) {
  return state.MSTEPS >= 1 ? state.MSTEPS : 1;
}

// lineWidth is 0 before the first batch input; a line is at least a pixel.
int penWidth(const AnalysisState& state) {
  return std::clamp(state.lineWidth, 1, 3);
}

struct PlotData {
  int rows = 0;
  int cols = 0;
  std::vector<double> x;
  std::vector<double> block;
  std::vector<int> widths;
};

PlotData gather(const MatrixRec& trace, const AnalysisState& state) {
  PlotData d;
  if (!trace.exists() || trace.cols <= 0) return d;
  d.rows = trace.rows;
  d.cols = trace.cols;
  const int steps = stepsPerUnit(state);
  d.x.resize(static_cast<std::size_t>(d.rows));
  d.block.resize(static_cast<std::size_t>(d.rows) * d.cols);
  for (int i = 1; i <= d.rows; ++i) {
    d.x[i - 1] = static_cast<double>(i - 1) / steps;
    for (int j = 1; j <= d.cols; ++j) {
      d.block[static_cast<std::size_t>(i - 1) * d.cols + (j - 1)] = trace.data[i][j];
    }
  }
  d.widths.assign(static_cast<std::size_t>(d.cols), penWidth(state));
  return d;
}

void setUp(TraceChart& chart, TraceKind kind, const PlotData& d, const AnalysisState& state) {
  chart.setDataBlock(d.rows, d.cols, d.block.data());
  chart.setAbscissae(d.rows, d.x.data());
  chart.setTitle(traceTitle(kind));
  chart.setAxisTitles(QStringLiteral("MCAL Shrinkage Extent"), QStringLiteral("TRACE"));
  chart.setSeriesNames(traceSeriesNames(state, kind, d.cols));
  chart.setLineWidths(d.cols, d.widths.data());
  std::vector<TraceChart::VerticalMark> marks;
  if (d.rows > 0) {
    for (const AnalysisState::McalMark& m : state.MCALMARKS)
      marks.push_back({QString::fromStdString(m.label), m.mcal, m.chosen});
  }
  chart.setVerticalMarks(std::move(marks));
  chart.setEmptyText(kind == TraceKind::ReRegression
                         ? QStringLiteral("No data: no re-regression has been computed.")
                         : QStringLiteral("No data: choose a path with Select Shape first."));
  chart.finishSetup();
}

}  // namespace

const std::vector<double>& mcalAxis() {
  return axisStore();
}

const std::vector<int>& seriesWidth() {
  return widthStore();
}

void setUpTraceChart(TraceChart& chart, TraceKind kind, const MatrixRec& trace,
                     const AnalysisState& state) {
  setUp(chart, kind, gather(trace, state), state);
}

void plotTrace(TraceChart& chart, TraceKind kind, const MatrixRec& trace,
               const AnalysisState& state) {
  const PlotData d = gather(trace, state);
  std::vector<double>& axis = axisStore();
  if (axis.size() < d.x.size()) axis.resize(d.x.size());
  std::copy(d.x.begin(), d.x.end(), axis.begin());
  std::vector<int>& widths = widthStore();
  if (widths.size() < d.widths.size()) widths.resize(d.widths.size());
  std::copy(d.widths.begin(), d.widths.end(), widths.begin());
  setUp(chart, kind, d, state);
}

}  // namespace tolvane
