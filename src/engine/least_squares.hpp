// Least-squares and principal-axes analysis, run at the end of every batch
// input run once XMAT/YVEC (or XPX/XPY) are built.
#pragma once

#include "engine/analysis_state.hpp"

namespace tolvane {

// Decomposes the predictors, finds the rank, fits OLS, reports, runs
// QSHAPE_TABLE and offers the Path menu. Returns true when the analysis
// completed (LSPEND 0); false when it stopped (LSPEND 1) with its reason
// reported.
bool LEAST_SQUARES(AnalysisState& s);

// The same computation with nothing shown: the state gets the same values
// (RANK, SVAL, DCOS, UCOMP, PCOR, BOLS, S2OLS, RSQ, PCTSTAT, ...) and
// LSPEND, but no report line is formatted, no file is written, the shape
// table is not made and no menu is offered. For repeated fits such as
// resampling.
bool leastSquaresResults(AnalysisState& s);

}  // namespace tolvane
