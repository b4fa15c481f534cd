// The model layer's blocks go to the report window (indented by four blanks,
// a long line continued on the next) and, line for line, to the summary file
// when one is open.
#pragma once

#include "engine/analysis_state.hpp"

namespace tolvane {

void bothf(const AnalysisState& s, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tolvane
