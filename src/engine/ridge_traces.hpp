// Ridge traces along the chosen shrinkage path: coefficients, relative risks,
// excess eigenvalues, the inferior direction and the delta factors.
#pragma once

#include "engine/analysis_state.hpp"

namespace tolvane {

// Walks the path from MCAL = 0 to MCAL = RANK and rebuilds CYQ, RYQ, EYQ,
// IYQ and DYQ (NSTEPS x P each), then writes them, the scale code, XSTD and
// XPXFIT to the trace matrix file. The report gets only a heading (and any
// toolkit messages, such as a Jacobi that did not converge).
//
// The delta factors are found step by step in order; the rest of each step
// is independent of the others and runs on up to `threads` threads (0: as
// many as the machine has). The results, the file and the report lines do
// not depend on the number of threads.
//
// Needs a completed analysis and the path settings of Select Shape.
// Returns true when the five traces are complete. When memory runs short
// they are all released (empty), a report line says so, nothing is written
// to the file and the result is false.
bool RIDGE_TRACES(AnalysisState& s, int threads = 0);

}  // namespace tolvane
