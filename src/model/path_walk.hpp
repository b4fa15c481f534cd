// The delta factors and shrinkage constants of the current path, step by
// step, in double precision and without touching the state: what the
// comparison criteria and the choice of an extent read.
#pragma once

#include <vector>

#include "engine/analysis_state.hpp"
#include "engine/delta_step.hpp"

namespace tolvane {

struct PathWalk {
  std::vector<double> mcal;     // per step (from 0): (s - 1) / MSTEPS
  std::vector<double> k;        // the constant DELTA_STEP returns at that step
  std::vector<DeltaRow> delta;  // the step's delta factors, 1..P
  int steps() const { return static_cast<int>(mcal.size()); }
};

// Walks steps 1..NSTEPS with the warm start of DELTA_STEP (each step starts
// from the previous constant). Needs the path settings of Select Shape
// (SHAPECODE, QSHAPE, QWEIGHT, MSTEPS, NSTEPS) on a completed analysis;
// returns false when they are missing.
bool walkPath(const AnalysisState& s, PathWalk* walk);

// The delta factors at an exact MCAL m in [0, RANK], between steps too:
// Newton's iteration starts from the constant of the last step at or below
// m and is repeated from where it stopped until the deltas sum to RANK - m
// (a pass count of DELTA_STEP may end a single call early). Sets *k to the
// constant at m. False when the state lacks the path or m is not in range.
bool deltaFactorsAtMcal(const AnalysisState& s, const PathWalk& walk, double m, DeltaRow* delta,
                        double* k);

// A short name of the current path for reports and files: "Q=-1.5 Shape",
// "GARROTE Shape", "LASSO Shape", "CROSR Shape".
std::string pathName(const AnalysisState& s);

}  // namespace tolvane
