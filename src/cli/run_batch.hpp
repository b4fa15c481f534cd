// What tolvane-batch does with its options.
#pragma once

#include <ostream>

#include "cli/batch_options.hpp"
#include "engine/analysis_state.hpp"

namespace tolvane {

// Runs the batch input of options.input with the dialogs answered by the
// options, printing every report line on `out` and the outcome on `err`.
// Leaves the results in `state` and closes the output files at the end.
// Returns the exit status (kExitCompleted and the others).
int runBatch(const BatchOptions& options, AnalysisState& state, std::ostream& out,
             std::ostream& err);

}  // namespace tolvane
