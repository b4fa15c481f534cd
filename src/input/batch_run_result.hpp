// How a batch input run, or one of its steps, ended.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "input/model_settings.hpp"

namespace tolvane {

enum class BatchRunStatus {
  kCompleted,        // the run (or the step) went through; the analysis finished
  kBusy,             // another run holds the analysis state; nothing was done
  kCancelled,        // the user cancelled the file name or chose to abort
  kStopped,          // bad input, an output file that cannot be opened, an
                     // unusable model, or a front end that gave up a dialog
  kAnalysisStopped,  // the least-squares analysis stopped (LSPEND stays 1)
};

struct BatchRunResult {
  BatchRunStatus status = BatchRunStatus::kCompleted;
  // Why the run did not complete, as one sentence without the report's
  // leading blanks (the same text the report shows); empty when completed.
  std::string reason;
  // Delimited text that stopped on a column holding text: the column's full
  // name, so that a front end can offer to read the file without it.
  std::string textColumn;
  // A run from settings: the setting that the data could not satisfy, and
  // the output files found existing when it was told to abort for them.
  SettingProblem problem;
  std::vector<std::string> existingFiles;

  bool completed() const { return status == BatchRunStatus::kCompleted; }

  // A run or step that ended otherwise, for `reason`.
  static BatchRunResult ended(BatchRunStatus status, std::string reason) {
    BatchRunResult r;
    r.status = status;
    r.reason = std::move(reason);
    return r;
  }
};

}  // namespace tolvane
