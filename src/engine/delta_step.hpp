// Delta (shrinkage) factors of the principal axes at one step of the path.
#pragma once

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

}  // namespace tolvane
