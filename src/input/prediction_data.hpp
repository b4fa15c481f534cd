// Reading the observations that a model file is to score: a batch input
// file in raw form (names on line 3, one observation per line), or
// delimited text (.csv, .tsv, .txt) with the names on its first line.
#pragma once

#include <string>
#include <vector>

#include "model/scoring.hpp"

namespace tolvane {

// Reads `path` into *out: its column names and, per observation, the line
// it stands on. Uses the batch file reader, so the same faults are refused
// with the same messages (a short line, a value that is not a number, with
// file, line and field). A file in cross-product form has no observations
// and is refused. Delimited text goes through the delimited reader; its
// columns not named in `wanted` are not read (they may hold text), and a row
// with an empty or NA value comes back without values. Writes nothing to
// the report. A fault in the file fails with its place (file, line, column).
StatusOr<DataTable> readPredictionData(const std::string& path,
                                       const std::vector<std::string>& wanted);

}  // namespace tolvane
