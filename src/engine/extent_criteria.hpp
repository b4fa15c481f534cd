// The three likelihood criteria for the extent of shrinkage along the chosen
// path (CLIK, EBAYS, RCOEF), their minima and the GUP mark.
#pragma once

#include "engine/analysis_state.hpp"

namespace tolvane {

// Walks the path step by step through DELTA_STEP (rebuilding DYQ), fills
// THREEYQ (NSTEPS x 5: MCAL, constant, CLIK, RCOEF, EBAYS; row 1 holds 1.1
// times the column maxima), prints the table with its marks to the report
// and the summary file, and writes "3YQ" to the trace matrix file.
// Needs a completed analysis (RANK >= 1) and the path settings of Select
// Shape. With R-squared above 1 - EPS it prints why it cannot run and leaves
// DYQ and THREEYQ as they were.
void EXTENT_CRITERIA(AnalysisState& s);

}  // namespace tolvane
