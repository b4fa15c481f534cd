// How a batch input run, or one of its steps, ended: a Status (kOk when the
// run went through and the analysis finished; kBusy, kCancelled, kStopped,
// kAnalysisStopped otherwise, with the report's sentence and, for bad input,
// the place in the file), and what a front end needs to go on from there.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "input/model_settings.hpp"
#include "report/status.hpp"

namespace tolvane {

struct BatchRunResult : Status {
  // Delimited text that stopped on a column holding text: the column's full
  // name, so that a front end can offer to read the file without it.
  std::string textColumn;
  // A run from settings: the setting that the data could not satisfy, and
  // the output files found existing when it was told to abort for them.
  SettingProblem problem;
  std::vector<std::string> existingFiles;

  bool completed() const { return ok(); }

  // A run or step that ended otherwise, for `reason`.
  static BatchRunResult ended(StatusCode code, std::string reason) {
    BatchRunResult r;
    r.code = code;
    r.message = std::move(reason);
    return r;
  }
  // The same with the place of a Status (a reader's).
  static BatchRunResult ended(const Status& status) {
    BatchRunResult r;
    static_cast<Status&>(r) = status;
    return r;
  }
};

}  // namespace tolvane
