// Steps 3 to 7 of the batch input run for delimited text: the data enter
// the analysis state either as raw data (at most 200 rows kept, exactly as
// the same numbers in a batch file) or, beyond that, as centred sums in
// cross-product form (CSUMS).
#pragma once

#include <cstdio>
#include <string>

#include "engine/analysis_state.hpp"
#include "input/batch_run_result.hpp"
#include "input/delimited_reader.hpp"

namespace tolvane {

// Reads `file` (open, owned by the caller) into NVAR, NOBS, XPXFORM, VNAME
// (8-character names), LONGNAME, DATA (raw form) and CSUMS, echoing them as
// the batch reader does, plus the short-name mapping when a name had to be
// shortened and the count of rows left out for missing values. `label`
// names the file in messages.
//
// Bad input stops the run (kStopped) with one report line naming the file,
// the line and the column; a cancelled reading returns kCancelled. Either
// way the state holds no data.
BatchRunResult readDelimitedInput(AnalysisState& s, std::FILE* file, const std::string& label,
                                  const DelimitedOptions& options);

// Loads what readDelimited gave into the state, with the echo above.
BatchRunResult loadDelimitedData(AnalysisState& s, const DelimitedData& data,
                                 const std::string& label);

}  // namespace tolvane
