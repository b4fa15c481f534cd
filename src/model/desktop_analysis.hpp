// What a desktop session keeps of its analysis beside the core's state: the
// extent request of Path > Choose Extent, the model layer's results of the
// current path and the data file they came from. A run that is cancelled puts back what was there
// before it.
#pragma once

#include <string>

#include "engine/analysis_state.hpp"
#include "model/extent_choice.hpp"
#include "model/model_results.hpp"
#include "report/status.hpp"

namespace tolvane {

class DesktopAnalysis {
 public:
  const ExtentRequest& extentRequest() const { return request_; }
  const ModelResults& model() const { return model_; }
  const std::string& inputPath() const { return inputPath_; }

  // A data file's run begins: the results of the previous data go with it,
  // kept aside (with the state's precision) until the run ends.
  void runStarts(const AnalysisState& s, std::string inputPath);
  // The run ended; a cancelled one puts back the earlier analysis and the
  // precision it was read in.
  void runEnded(AnalysisState& s, bool cancelled);

  // After Select Shape: the criteria of the new path, the extent the request
  // chooses and the fit there, reported and left in the state for the
  // charts. The criteria block is reported even when no extent can be
  // chosen (its line says why).
  void pathTraced(AnalysisState& s);

  // Path > Choose Extent: the fit at the extent `request` chooses, reported
  // and published. Refused (nothing changes, the request included) with the
  // reason when that extent cannot be chosen on this path.
  Status chooseExtent(AnalysisState& s, const ExtentRequest& request);

 private:
  // Reports the note an extent deserves (the minimum at an end of the path,
  // a ridge rule on another path) and publishes the results for the charts.
  void publish(AnalysisState& s);

  ExtentRequest request_;
  ModelResults model_;
  std::string inputPath_;
  struct BeforeRun {
    Precision precision = Precision::kDouble;
    std::string inputPath;
    ModelResults model;
  };
  BeforeRun beforeRun_;
};

}  // namespace tolvane
