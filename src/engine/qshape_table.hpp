// Path-shape likelihood selection: rates a grid of Q-shapes by classical
// maximum likelihood once the least-squares analysis has its principal axes.
#pragma once

#include "engine/analysis_state.hpp"

namespace tolvane {

// Reads RSQ, EPS, EQUALSV, RANK, N, SVAL and PCOR; writes the
// table to the report, the summary file and (as QYQ) the trace matrix file.
// Leaves the analysis state unchanged. Files that are not open are skipped.
void QSHAPE_TABLE(AnalysisState& s);

}  // namespace tolvane
