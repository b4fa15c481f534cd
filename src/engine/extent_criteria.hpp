// The three likelihood criteria for the extent of shrinkage along the chosen
// path (CLIK, EBAYS, RCOEF), their minima and the GUP mark.
#pragma once

#include "engine/analysis_state.hpp"
#include "engine/delta_step.hpp"

namespace tolvane {

// Walks the path step by step through DELTA_STEP (rebuilding DYQ), fills
// THREEYQ (NSTEPS x 5: MCAL, constant, CLIK, RCOEF, EBAYS; row 1 holds 1.1
// times the column maxima), prints the table with its marks to the report
// and the summary file, and writes "3YQ" to the trace matrix file.
// Needs a completed analysis (RANK >= 1) and the path settings of Select
// Shape. With R-squared above 1 - EPS it prints why it cannot run and leaves
// DYQ and THREEYQ as they were.
void EXTENT_CRITERIA(AnalysisState& s);

// The same DYQ and THREEYQ with nothing shown: no report line, no file.
// False, with DYQ and THREEYQ as they were, when R-squared is above
// 1 - EPS or the analysis or path is missing; false too when memory ran
// out. For repeated fits such as resampling.
bool extentCriteriaResults(AnalysisState& s);

// extentCriteriaResults from delta factors already found: delta[step - 1]
// and k[step - 1] for steps 1..NSTEPS, as DELTA_STEP finds them taking the
// steps in turn (the factors before DYQ rounds them). The same DYQ and
// THREEYQ without finding them again.
bool extentCriteriaFromSteps(AnalysisState& s, const DeltaRow* delta, const double* k);

// The minima of the three criteria over steps 2..NSTEPS of THREEYQ and the
// GUP step derived from the CLIK minimum.
struct ExtentMinima {
  double clik = 0.0, rcoef = 0.0, ebays = 0.0;
  int clikStep = 2;  // r*: the lowest step holding the CLIK minimum
  int gupStep = 1;   // 2 (r* - 1) / RANK + 1, at most NSTEPS
};

// Each search starts from the column maximum (0 when no row is positive), so
// a value must lie strictly below it to count; of tied CLIK minima the lowest
// step stands, and with none below the maximum r* is step 2. THREEYQ must
// have at least 2 rows and RANK must be at least 1.
ExtentMinima extentMinima(const MatrixRec& threeYQ, int rank);

// The table of THREEYQ with its "<<<" and "GUP" marks (report window and
// summary file), the NOTE lines, and the "3YQ" block of the trace matrix file.
void reportExtentTable(const AnalysisState& s, const ExtentMinima& minima);

}  // namespace tolvane
