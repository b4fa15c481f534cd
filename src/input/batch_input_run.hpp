// The batch input run: the one sequence from a chosen .AYQ file to the first
// analysis. Front ends open the file and supply the dialogs; the run does the
// rest and leaves its results in the analysis state, the report lines and the
// two output files.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

#include "engine/analysis_state.hpp"
#include "input/batch_dialogs.hpp"
#include "input/batch_run_result.hpp"
#include "input/delimited_reader.hpp"
#include "input/model_settings.hpp"

namespace tolvane {

struct BatchInput {
  BatchInput() = default;
  BatchInput(std::FILE* f, std::string p, std::string out, std::time_t stamp)
      : file(f), path(std::move(p)), outputDirectory(std::move(out)), stampTime(stamp) {}

  // INFILE, open for reading. The run owns it from the call on and closes it
  // on every path, also when it does not start.
  std::FILE* file = nullptr;
  // The chosen file; INNAME becomes its name without the directory.
  std::string path;
  // Where output file names without a directory are opened; empty for the
  // current directory. The desktop program passes the input file's own
  // directory, the batch tool the current directory.
  std::string outputDirectory;
  // The time stamped into the files; 0 takes the clock at step 2.
  std::time_t stampTime = 0;
  // Delimited text (CSV, TSV) rather than a batch input file, and how to
  // read it (its progress callback may cancel the run).
  bool delimited = false;
  DelimitedOptions delimitedOptions;
  // The raw-data memory budget of delimited text in bytes; -1 a quarter of
  // physical memory, 0 always cross-products.
  std::int64_t rawBudget = -1;
};

// Runs the batch input, in order: (1) reset the state; (2) name, open and
// stamp the output files; (3-7) read the counts, the names and the data;
// (8) close INFILE; (9) roles, scaling, observation range and model data;
// (10) LEAST_SQUARES.
//
// Holds s.runMutex for its whole length, taken with try_lock: when another
// run holds it, reports that a batch input is already running, closes the
// file and returns kBusy without touching the state.
//
// A run that stops leaves the state reset (no analysis is built on partial
// data), closes INFILE and flushes the output files; what they hold stays.
// A cancelled run (a name dialog cancelled, "Abort" for existing files, or
// the role or scaling dialog cancelled) puts the previous analysis back as it
// was when the run began, and closes the files this run opened.
BatchRunResult runBatchInput(AnalysisState& s, BatchInput input, BatchDialogs& dialogs);

// The same run for a front end that holds s.runMutex itself for the whole
// run (for example a worker wrapper that locks it before calling). Calling
// runBatchInput there instead would try to lock a mutex the thread already
// holds.
BatchRunResult runBatchInputHoldingLock(AnalysisState& s, BatchInput input, BatchDialogs& dialogs);

// The same run with every question answered by `settings` (the precision
// too). A setting the data cannot satisfy stops the run (kStopped) with the
// setting in result.problem and its sentence as the reason; existing output
// files with IfExists::kAbort cancel it with their names in
// result.existingFiles.
BatchRunResult runBatchInput(AnalysisState& s, BatchInput input, const ModelSettings& settings);

}  // namespace tolvane
