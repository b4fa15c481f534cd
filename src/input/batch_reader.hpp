// Reading a batch input file (.AYQ) into the analysis state: the counts,
// the names and the raw data or the cross-product blocks.
//
// File layout, one item per line, every line in its fixed place:
//   1. NVAR, the first integer (2 to 50 after correction);
//   2. NOBS, the first integer; negative or above 200 selects cross-product
//      form; a count below 5 becomes 5;
//   3. NVAR names separated by blanks, commas, "=", ":", tabs; a later name
//      may be NEXTLINE, which continues the names on the next line;
//   4. raw form: NOBS lines of NVAR numbers (":" is not a separator here);
//      cross-product form: the NVAR-1 by NVAR+1 matrix [XPX | XPY | XP1] in
//      blocks of at most 8 columns, each after a heading line, then a SUMY
//      line and a SUMSQY line.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"
#include "input/batch_line_reader.hpp"
#include "input/batch_run_result.hpp"

namespace tolvane {

inline constexpr int kMaxNameChars = 8;
inline constexpr int kBlockColumns = 8;

// Steps 3 to 7 of the batch input run: reads the file through `in` into
// NVAR, NOBS, XPXFORM, VNAME, DATA and (cross-product form) SUMY and SUMSQY,
// echoing them as report lines and, when the summary file is open, summary
// lines. `fileLabel` names the file in messages.
//
// Bad input (a short name or data line, a missing line, a value that is not
// a finite single-precision number) is reported in one line naming the file,
// the line, and what was expected; the result is then kStopped and DATA is
// released. Out-of-range counts are corrected silently, as stated above.
BatchRunResult readBatchData(AnalysisState& s, BatchLineReader& in, const std::string& fileLabel);

// A name token as kept: at most 8 bytes, cut before a UTF-8 sequence that
// would be split.
std::string keepName(std::string_view token);

}  // namespace tolvane
