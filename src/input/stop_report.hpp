// Reporting why a batch input run stops.
#pragma once

#include <string>

#include "input/batch_run_result.hpp"

namespace tolvane {

// Appends `text` as report lines of at most 80 characters: one line when it
// fits after the four leading blanks, else broken at blanks onto further
// lines, so that no part of a long file name or message is cut off.
void reportWrapped(const std::string& text);

// Reports `reason` (wrapped as above), brings the report window up to date
// and returns a result with that status and reason.
BatchRunResult stopRun(StatusCode status, std::string reason);
// The same for a step's Status, whose place in the file the result keeps.
BatchRunResult stopRun(const Status& status);

}  // namespace tolvane
