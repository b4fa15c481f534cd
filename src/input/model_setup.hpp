// Turning the data read into the regression model: default roles, the role
// dialog (raw data), the scaling dialog, the observation range, the centred
// and possibly rescaled model data, and their summaries.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"
#include "engine/model_data.hpp"
#include "input/batch_dialogs.hpp"
#include "input/batch_run_result.hpp"

namespace tolvane {

// Step 9 of the batch input run, on a state that holds NVAR, NOBS, XPXFORM,
// VNAME and DATA (and SUMY, SUMSQY in cross-product form).
//
// Raw-data form builds XMAT and YVEC over observations N1..N2, with XAVG,
// XSTD, XCOR, YAVG, YSTD; cross-product form builds XPX and XPY with the
// means and deviations. Writes the report lines, the summary lines and (raw
// form) XMAT and YVEC to the trace matrix file; files that are not open are
// skipped.
//
// Stops (kStopped, reported) when raw data have fewer than P + 5
// observations; when the response is constant; when a predictor is constant
// and the variables are to be rescaled; when a mean, a deviation or a model
// value does not fit single precision; or when a dialog is abandoned.
// Cancelled (kCancelled, reported) when the user cancels the role or the
// scaling dialog; the caller then puts the previous analysis back.
BatchRunResult setUpModel(AnalysisState& s, BatchDialogs& dialogs);

// The model data, from a state whose roles, SCALECODE and (raw data)
// observation texts are set: what setUpModel does after its dialogs. The
// computation is computeModelData's (engine/model_data.hpp); this shows the
// observation range and writes the model data to the trace matrix file, and
// reports a stop.
BatchRunResult buildModelData(AnalysisState& s);

// The observation range of engine/model_data.hpp from the dialog's texts,
// read as atoi reads them.
void setObservationRange(AnalysisState& s, const std::string& firstText,
                         const std::string& lastText);

}  // namespace tolvane
