// The chart of command 107, "Display Inference Intervals": each coefficient
// trace with its resampling interval as a band, the chosen extent marked; in
// a graph window of its own and as a file for the batch tool. This header
// uses no Qt types.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"
#include "graph/trace_export.hpp"
#include "model/bootstrap.hpp"

class QMdiArea;
class QWidget;

namespace tolvane {

class TraceChart;

// The window's title: "Inference Intervals", then the path.
extern const char kIntervalsTitle[];

// Sets chart up: the coefficient traces of the result (the data's), a band
// per predictor from lower to upper, the chosen MCAL as a dashed line, the
// level and B in the title, at state.lineWidth.
void setUpIntervalsChart(TraceChart& chart, const AnalysisState& state, const BootstrapResult& r);

// Opens a graph window with that chart in area (registered in childList,
// printable and copyable like the trace windows). A click on a line reports
// the predictor, its coefficient and interval at that MCAL. Returns the
// window.
QWidget* openIntervalsWindow(QMdiArea* area, const AnalysisState& state, const BootstrapResult& r);

// Writes the chart to path (starting the offscreen chart platform when
// needed). False with *error when the file cannot be written.
bool writeIntervalsChart(const AnalysisState& state, const BootstrapResult& r,
                         const std::string& path, PlotFormat format, std::string* error);

}  // namespace tolvane
