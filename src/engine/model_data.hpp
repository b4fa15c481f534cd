// The regression model's data from the data read: the observation range,
// the centred and possibly rescaled model data, their means, deviations and
// (raw data) correlations, and the checks that the model can be fitted.
// Computation only: nothing is reported and no file is written.
#pragma once

#include "engine/analysis_state.hpp"
#include "report/status.hpp"

namespace tolvane {

// The observation range rule for raw data: N1 from `first` (raised to 1,
// lowered to NOBS - P - 4), N2 from `last` (at most NOBS, at least
// N1 + P + 4 when NOBS allows it), and N.
void setObservationRange(AnalysisState& s, long long first, long long last);

// The model data of a state that holds NVAR, NOBS, XPXFORM, VNAME and DATA
// (and SUMY, SUMSQY or CSUMS in cross-product form), its roles and
// SCALECODE, and for raw data its observation range.
//
// Raw-data form builds XMAT and YVEC over observations N1..N2, with XAVG,
// XSTD, XCOR, YAVG, YSTD; cross-product form sets N1..N2 to every
// observation and builds XPX and XPY with the means and deviations.
//
// Stops (kStopped, with the sentence the report shows) when the response is
// constant, when a predictor is constant, when a mean, a deviation or a
// model value does not fit the precision, or when memory runs out.
Status computeModelData(AnalysisState& s);

}  // namespace tolvane
