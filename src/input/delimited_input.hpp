// Steps 3 to 7 of the batch input run for delimited text: the data enter
// the analysis state either as raw data (exactly as the same numbers in a
// batch file) or as centred sums in cross-product form (CSUMS). Raw data
// keep every row that fits the raw-data memory budget in double precision,
// and at most 200 rows in single precision (its classic routines); more
// rows, or a budget of 0, stream into cross-products.
#pragma once

#include <cstdint>
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
// `rawBudget` is the raw-data memory budget in bytes (kDefaultRawBudget: a
// quarter of physical memory).
inline constexpr std::int64_t kDefaultRawBudget = -1;
BatchRunResult readDelimitedInput(AnalysisState& s, std::FILE* file, const std::string& label,
                                  const DelimitedOptions& options,
                                  std::int64_t rawBudget = kDefaultRawBudget);

// The memory a raw value takes through the analysis: the reader's copy, the
// data, the model matrix, the decomposition's working copy and result, and
// the principal coordinates.
inline constexpr std::int64_t kBytesPerRawValue = 6 * sizeof(double);

// A quarter of physical memory (1 GiB when the system does not say).
std::int64_t defaultRawBudget();

// The most columns an analysis reads: 50 in single precision (whose Jacobi
// sweeps are O(P^3) a step); in double precision as many as leave 64 square
// matrices of them (the cross-products, the axes, the traces of a path at 8
// steps a unit) within a quarter of physical memory.
int maxColumns(Precision precision);

// The most rows of `columns` columns kept as raw data: 200 in single
// precision, else as many as `budget` bytes hold (kDefaultRawBudget: the
// default budget; 0: none).
std::int64_t rawRowLimit(Precision precision, int columns, std::int64_t budget);

// Loads what readDelimited gave into the state, with the echo above: raw
// data when its rows are at most `rawLimit`, else cross-products, with one
// line saying why and what that form cannot give.
BatchRunResult loadDelimitedData(AnalysisState& s, const DelimitedData& data,
                                 const std::string& label, std::int64_t rawLimit);

}  // namespace tolvane
