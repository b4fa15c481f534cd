// Writing centred sums back as a batch input file in cross-product form, so
// that sums computed once can be kept, shared and opened again.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"

namespace tolvane {

// Writes the batch file for the model's roles: the P predictors (in XCOL
// order) and the response, with names VNAME, NOBS as the count, the raw
// sums [XPX | XPY | XP1] rebuilt from CSUMS in blocks of 8 columns, SUMY and
// SUMSQY, every value with 17 significant digits. The file is written under
// a temporary name and renamed at the end, so a failure leaves any file of
// that name as it was. The status says why it failed.
Status writeCrossProductFile(const AnalysisState& s, const std::string& path);

}  // namespace tolvane
