// Naming, opening and stamping the two output files of a batch input run:
// the summary file (.syq) and the trace matrix file (.myq).
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "engine/analysis_state.hpp"
#include "input/batch_dialogs.hpp"
#include "input/batch_run_result.hpp"

namespace tolvane {

// The base of a file name: its text up to the first "." or blank. Only the
// last path component is cut, so a directory such as "./out" or "my data/"
// keeps its dots and blanks.
std::string cutAtDotOrBlank(std::string_view name);

// The file name without its directory.
std::string fileNameOf(std::string_view path);

// True when the file can be opened for reading (it is closed again at once).
bool fileExists(const std::string& path);

// The stamp text: "Sat Dec 05 21:08:27 2026\n", weekday and month in
// English, the day with two digits.
std::string formatStamp(const std::tm& time);

// Step 2 of the batch input run. Closes (and flushes) the previous run's
// files, asks for the name with `dialogs` and, when a file of that name
// exists, what to do about it; opens both files and writes the date/time
// stamp and the input file line. `now` is the time stamped.
//
// The files are new ones beside any of the same names (copies of them for
// Append); the old ones stay exactly as they are until commitOutputFiles(),
// and a run that stops before it leaves them so.
//
// Cancelled: the user cancelled a name dialog or chose to abort; nothing was
// opened or written. Stopped: a file could not be made (reported with its
// name and the reason; no file was touched) or a dialog was abandoned.
// The stamp names the input: delimited text by its own name.
BatchRunResult openOutputFiles(AnalysisState& s, BatchDialogs& dialogs, std::time_t now,
                               bool delimited = false);

// Puts the run's files in place, once it has read its data. Stopped (with
// the file and the reason) when that fails.
BatchRunResult commitOutputFiles(AnalysisState& s);

// Every write to the output files so far went through? Stopped, naming the
// file and the system's reason, when one failed; the run's files are then
// taken back (a new file removed, an appended one cut back), so that no
// truncated file stands where a complete one is expected.
BatchRunResult checkOutputFiles(AnalysisState& s);

// printf to the summary file or the trace matrix file when it is open.
void writeSummary(AnalysisState& s, const char* format, ...) __attribute__((format(printf, 2, 3)));
void writeTrace(AnalysisState& s, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tolvane
