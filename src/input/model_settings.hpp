// The choices a person makes in the dialogs of a batch input run, as values,
// so that a run can go through without asking: where the output goes, the
// variable roles, the standardization, the observations and the precision.
// The batch tool builds them from its options; tests, benchmarks and the
// fuzzers build them directly.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"

namespace tolvane {

// What to do when an output file of the chosen name exists.
enum class IfExists { kOverwrite, kAppend, kAbort };

struct ModelSettings {
  // The output files' base name (a path without the extension); empty for
  // the name the file-name dialog proposes, the input's own.
  std::string outputName;
  IfExists ifExists = IfExists::kAbort;
  // Roles, raw data and delimited text only. Empty: the last column is the
  // response and every other column a predictor.
  std::string response;
  std::vector<std::string> predictors;  // exactly these; empty for all
  std::vector<std::string> leaveOut;    // all but these
  int scale = kCenterRescale;           // a ScaleButton
  std::optional<int> first, last;       // the observation range, raw data only
  Precision precision = Precision::kDouble;
  // Resampling follows the analysis: it needs raw observations, which is
  // known once the file is read and before anything is analysed or written.
  bool resamples = false;

  bool choosesRoles() const {
    return !response.empty() || !predictors.empty() || !leaveOut.empty();
  }
};

// Which setting the data could not satisfy, when one could not.
enum class SettingAtFault {
  kNone,
  kResponse,        // no column of that name
  kPredictors,      // no such column, the response, or fewer than 2 left
  kLeaveOut,        // the same
  kRolesOnSums,     // roles chosen for a cross-product batch file
  kRangeOnSums,     // an observation range for rows already reduced to sums
  kResampleOnSums,  // resampling asked for data held as cross-products
};

struct SettingProblem {
  SettingAtFault setting = SettingAtFault::kNone;
  // For the three role settings: what is wrong, without the setting's name
  // ("no column is named z (columns: x1, x2 and y)."); for the other two: the
  // whole sentence.
  std::string detail;

  bool any() const { return setting != SettingAtFault::kNone; }
  // One sentence in the words of the settings, for any front end.
  std::string message() const;
};

}  // namespace tolvane
