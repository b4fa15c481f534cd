// Delta (shrinkage) factors of the principal axes at one step of the path.
#pragma once

#include <vector>

#include "engine/analysis_state.hpp"

namespace tolvane {

// Largest constant a step can return: the end of the path, where every axis
// is shrunk to zero.
inline constexpr double kEndOfPathConstant = 1.7e308;

// Fills row `step` (columns 1..P) of DYQ with the delta factors of the path
// chosen by SHAPECODE (and QSHAPE, QWEIGHT for the Q-shape family) at
// MCAL = (step - 1) / MSTEPS, and returns the step's shrinkage constant:
// 0 at step 1, kEndOfPathConstant at MCAL = RANK.
//
// Steps are meant to be taken in order, each starting from the constant the
// previous one returned (0 for step 1): the Newton iteration then approaches
// the solution from below. A step below 1 is taken as step 1. DYQ must
// already have at least `step` rows and P columns (and PCOR RANK entries for
// the families that read it); otherwise nothing is written and `kstart` is
// returned. Writes nothing to the report.
double DELTA_STEP(AnalysisState& s, int step, double kstart);

// Delta factors of axes 1..P (slot 0 unused, like QWEIGHT).
using DeltaRow = std::vector<double>;

// The iteration of DELTA_STEP at any MCAL m, not only on the step grid: fills
// delta[1..P] (0 beyond RANK; all 1 for m <= 0, all 0 for m >= RANK) and sets
// *k to the constant DELTA_STEP would return for a step at m. Reads the path
// settings as DELTA_STEP does and writes nothing to the state, so several
// threads may call it on one state. Returns false, leaving delta and *k
// untouched, when the state lacks what the path needs (RANK above P, PCOR
// shorter than RANK for the families that read it).
bool deltaFactorsAt(const AnalysisState& s, double m, double kstart, DeltaRow& delta, double* k);

}  // namespace tolvane
