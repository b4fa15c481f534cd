// The report line for a click on a plotted point.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"

class QWidget;

namespace tolvane {

// The last clicked point (from 0) and series (from 1); -1 before any click.
int clickPoint();
int clickSeries();

// Records the click and appends one report line for point `point` (from 0)
// of series `series` (from 1) in `window`: the window's title in childList
// says which trace matrix is read; the value is taken from that matrix as the
// state holds it now, and MCAL from mcalAxis. Then REPORT_SHOW.
//
// A window whose title is no trace's gets the "unknown TRACE" line. When the
// current matrix has no such point (a new batch input emptied it, or a new
// path has fewer steps or predictors), the line says there is no current
// value instead of reading outside the matrix. While a batch input holds
// state.runMutex the matrices are being rebuilt: the line says so and
// nothing is read. Takes state.runMutex itself; do not hold it when calling.
// Returns the line, for the window to show as well.
std::string clickReadout(const QWidget* window, int point, int series, AnalysisState& state);

}  // namespace tolvane
