#include "input/batch_input_run.hpp"

#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "engine/least_squares.hpp"
#include "input/batch_line_reader.hpp"
#include "input/batch_reader.hpp"
#include "input/delimited_input.hpp"
#include "input/model_setup.hpp"
#include "input/output_files.hpp"
#include "input/settings_answers.hpp"
#include "input/stop_report.hpp"
#include "report/report.hpp"

namespace tolvane {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using InFile = std::unique_ptr<std::FILE, FileCloser>;

BatchRunResult runLocked(AnalysisState& s, const BatchInput& input, InFile& infile,
                         BatchDialogs& dialogs) {
  s.INNAME = fileNameOf(input.path);
  s.reset();  // 1

  s.files.directory = input.outputDirectory;  // 2
  const std::time_t now = input.stampTime != 0 ? input.stampTime : std::time(nullptr);
  BatchRunResult result = openOutputFiles(s, dialogs, now, input.delimited);
  if (!result.completed()) return result;

  if (input.delimited) {  // 3 to 7
    result = readDelimitedInput(s, infile.get(), s.INNAME, input.delimitedOptions, input.rawBudget);
  } else {
    BatchLineReader reader(infile.get());
    result = readBatchData(s, reader, s.INNAME);
  }
  infile.reset();  // 8
  REPORT_SHOW();
  if (!result.completed()) return result;

  result = setUpModel(s, dialogs);  // 9
  if (!result.completed()) return result;
  // The data are read and usable: from here on the run's files replace
  // those of the same names.
  result = commitOutputFiles(s);
  if (!result.completed()) return result;

  if (!LEAST_SQUARES(s)) {  // 10
    return BatchRunResult::ended(StatusCode::kAnalysisStopped,
                                 "The least-squares analysis stopped; the report says why.");
  }
  return {};
}

// The run proper, once the lock is held.
BatchRunResult runHeld(AnalysisState& s, const BatchInput& input, InFile& infile,
                       BatchDialogs& dialogs) {
  if (!infile) {
    return stopRun(StatusCode::kStopped,
                   "The batch input file " + input.path + " is not open. Batch input stopped.");
  }
  BatchRunResult result;
  try {
    // Set aside so that a cancel can put it back: the user meant to change
    // nothing, and the menus still offer what this analysis supports. Moved,
    // not copied: the run empties the state at its first step anyway.
    AnalysisData previous = std::move(static_cast<AnalysisData&>(s));
    result = runLocked(s, input, infile, dialogs);
    if (result.code == StatusCode::kCancelled) {
      // What this run wrote is no part of the previous analysis.
      s.files.closeBoth();
      static_cast<AnalysisData&>(s) = std::move(previous);
    }
  } catch (const std::bad_alloc&) {
    result = stopRun(StatusCode::kStopped, "Out of memory. Batch input stopped.");
  }
  infile.reset();
  // A cancelled run has already put the previous analysis back and removed
  // the files it had begun.
  if (result.code == StatusCode::kCancelled) return result;
  if (result.code == StatusCode::kStopped) {
    s.reset();
    // Files not yet put in place go; the old ones stay as they were.
    s.files.closeBoth();
    return result;
  }
  if (const BatchRunResult written = checkOutputFiles(s); !written.completed()) {
    s.reset();
    return written;
  }
  return result;
}

BatchRunResult busy() {
  return stopRun(StatusCode::kBusy,
                 "A batch input is already running; wait until it has finished.");
}

}  // namespace

BatchRunResult runBatchInput(AnalysisState& s, BatchInput input, BatchDialogs& dialogs) {
  PrecisionScope scope(s.precision);
  InFile infile(input.file);
  std::unique_lock lock(s.runMutex, std::try_to_lock);
  if (!lock.owns_lock()) return busy();
  return runHeld(s, input, infile, dialogs);
}

BatchRunResult runBatchInputHoldingLock(AnalysisState& s, BatchInput input, BatchDialogs& dialogs) {
  PrecisionScope scope(s.precision);
  InFile infile(input.file);
  return runHeld(s, input, infile, dialogs);
}

BatchRunResult runBatchInput(AnalysisState& s, BatchInput input, const ModelSettings& settings) {
  InFile infile(input.file);
  std::unique_lock lock(s.runMutex, std::try_to_lock);
  if (!lock.owns_lock()) return busy();
  // Set only once the run holds the state: another run may be reading it.
  s.precision = settings.precision;
  PrecisionScope scope(s.precision);
  SettingsAnswers answers(settings);
  BatchRunResult result = runHeld(s, input, infile, answers);
  if (answers.problem().any()) {
    result.problem = answers.problem();
    result.message = result.problem.message();
  }
  result.existingFiles = answers.existingFiles();
  return result;
}

}  // namespace tolvane
