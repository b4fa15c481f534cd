#include "graph/click_readout.hpp"

#include <QString>
#include <cstdio>
#include <mutex>

#include "graph/child_list.hpp"
#include "graph/plot_trace.hpp"
#include "graph/trace_kind.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

int lastPoint = -1;
int lastSeries = -1;

// MCAL of point i as the most recent plot left it; a point past that plot's
// steps lies where the current steps per unit put it.
double mcalOf(int point, const AnalysisState& state) {
  const std::vector<double>& axis = mcalAxis();
  if (point >= 0 && static_cast<std::size_t>(point) < axis.size()) return axis[point];
  return static_cast<double>(point) / (state.MSTEPS >= 1 ? state.MSTEPS : 1);
}

void formatLine(const QWidget* window, int point, int series, const AnalysisState& state) {
  const QString title = childTitle(window);
  const std::string titleText = title.toStdString();
  const double mcal = mcalOf(point, state);
  TraceKind kind;
  if (!traceKindOfTitle(title, &kind) || kind == TraceKind::ReRegression) {
    std::snprintf(REPORT_BUFFER, kReportBufferSize, "Mouse click at MCAL=%7.3lf on unknown TRACE",
                  mcal);
    return;
  }
  const MatrixRec& m = traceMatrix(state, kind);
  const int i = point + 1;
  const int j = series;
  if (!m.exists() || i < 1 || i > m.rows || j < 1 || j > m.cols) {
    std::snprintf(REPORT_BUFFER, kReportBufferSize, "No current value at MCAL=%7.3lf on %s TRACE",
                  mcal, titleText.c_str());
    return;
  }
  const double v = m.data[i][j];
  const char* name = j < static_cast<int>(state.XCOL.size()) ? state.predictorName(j).c_str() : "";
  const char* t = titleText.c_str();
  switch (kind) {
    case TraceKind::Coefficients:
      std::snprintf(REPORT_BUFFER, kReportBufferSize, "%s Coef=%7.4f at MCAL=%7.3lf on %s TRACE",
                    name, v, mcal, t);
      break;
    case TraceKind::RelativeRisks:
      std::snprintf(REPORT_BUFFER, kReportBufferSize, "%s Rrisk=%7.4f at MCAL=%7.3lf on %s TRACE",
                    name, v, mcal, t);
      break;
    case TraceKind::ExcessEigenvalues:
      std::snprintf(REPORT_BUFFER, kReportBufferSize,
                    "Axis%d ExEv=%8.4f at MCAL=%7.3lf on %s TRACE", j, v, mcal, t);
      break;
    case TraceKind::InferiorDirection:
      std::snprintf(REPORT_BUFFER, kReportBufferSize, "%s DirCos=%6.4f at MCAL=%7.3lf on %s TRACE",
                    name, v, mcal, t);
      break;
    case TraceKind::ShrinkageFactors:
      std::snprintf(REPORT_BUFFER, kReportBufferSize,
                    "Axis%d Factor=%6.4f at MCAL=%7.3lf on %s TRACE", j, v, mcal, t);
      break;
    case TraceKind::ComparisonCriteria: {
      static const char* const kNames[] = {"GCV", "PRESS", "AIC", "BIC"};
      std::snprintf(REPORT_BUFFER, kReportBufferSize,
                    "%s=%8.4f x its minimum at MCAL=%7.3lf on %s TRACE",
                    j >= 1 && j <= 4 ? kNames[j - 1] : "?", v, mcal, t);
      break;
    }
    case TraceKind::ReRegression:
      break;
  }
}

}  // namespace

int clickPoint() {
  return lastPoint;
}

int clickSeries() {
  return lastSeries;
}

std::string clickReadout(const QWidget* window, int point, int series, AnalysisState& state) {
  lastPoint = point;
  lastSeries = series;
  std::unique_lock lock(state.runMutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    std::snprintf(REPORT_BUFFER, kReportBufferSize,
                  "A batch input is running: click again when it has finished.");
  } else {
    formatLine(window, point, series, state);
  }
  REPORT_LINE(REPORT_BUFFER);
  REPORT_SHOW();
  return REPORT_BUFFER;
}

}  // namespace tolvane
