// Building a trace chart: one series per column of a trace matrix, one point
// per path step, abscissa MCAL = (step - 1) / MSTEPS.
#pragma once

#include <vector>

#include "engine/analysis_state.hpp"
#include "graph/trace_kind.hpp"

namespace tolvane {

class TraceChart;

// Abscissae of the most recent plotTrace: entry i (from 0) is MCAL = i /
// MSTEPS. A plot rewrites as many entries as its trace has rows; entries
// beyond those keep the values of earlier, longer plots.
const std::vector<double>& mcalAxis();

// One line width per series of the most recent plotTrace.
const std::vector<int>& seriesWidth();

// Sets chart up to show trace as a trace of this kind: data, abscissae,
// title, axis titles "MCAL Shrinkage Extent" and "TRACE", legend names and
// state.lineWidth for every series, then finishes the set-up. A trace
// without rows gives an empty chart that says so. Touches neither mcalAxis
// nor seriesWidth.
void setUpTraceChart(TraceChart& chart, TraceKind kind, const MatrixRec& trace,
                     const AnalysisState& state);

// setUpTraceChart for a graph window's chart, and records the plot's
// abscissae in mcalAxis and its widths in seriesWidth.
void plotTrace(TraceChart& chart, TraceKind kind, const MatrixRec& trace,
               const AnalysisState& state);

}  // namespace tolvane
