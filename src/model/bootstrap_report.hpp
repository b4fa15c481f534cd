// Printing the inference intervals: a block in the report window and the
// summary file after the path's results, and a CSV file of every step.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"
#include "model/bootstrap.hpp"

namespace tolvane {

// Appends the block to the report and, when it is open, the summary file:
// the settings (B, seed, level), the degenerate resamples and a warning when
// more than 5 % failed, the chosen extent with the quantiles of the
// resampled choice, and the intervals at MCAL = 0 and at the chosen extent.
// csvName, when not empty, is named as the home of every step's intervals.
void reportBootstrap(const AnalysisState& s, const BootstrapResult& r, const std::string& csvName);

// Writes one row per step and predictor: step, MCAL, predictor, lower,
// median, upper. When the file cannot be written the status says why; a file of
// that name is then as it was.
Status writeBootstrapCsv(const BootstrapResult& r, const std::string& path);

// Where path `pathNumber`'s intervals file goes, for both front ends:
// folder/path<k>_intervals.csv when a folder is given (the batch tool's
// --traces-csv), else beside the summary file as
// <summary base>_path<k>_intervals.csv; empty when there is neither.
std::string intervalsCsvPath(const AnalysisState& s, const std::string& folder, int pathNumber);

}  // namespace tolvane
