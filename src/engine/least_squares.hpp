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

}  // namespace tolvane
