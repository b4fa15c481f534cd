// CSV copies of the trace matrices, for work in R, Python or a spreadsheet:
// a header row, then one row per path step (or per Q value), numbers with
// nine significant digits so that every single-precision value reads back
// exactly.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"

namespace tolvane {

// Writes the traces of the last Select Shape into `folder` (made when
// missing) as path<number>_cyq.csv, _ryq, _eyq, _iyq, _dyq and _3yq. The
// coefficient, risk and direction traces are headed by the predictor names,
// the eigenvalue and delta traces by axis numbers; every row starts with its
// MCAL. A table that does not exist (3YQ when R-squared is 1) is left out.
// The status says why when the folder cannot be made or a file written.
Status writeTraceCsvs(const AnalysisState& s, const std::string& folder, int number);

// Writes the path-shape table of the analysis as qyq.csv, when there is one.
Status writeShapeTableCsv(const AnalysisState& s, const std::string& folder);

}  // namespace tolvane
