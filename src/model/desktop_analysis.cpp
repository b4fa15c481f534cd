#include "model/desktop_analysis.hpp"

#include <utility>

#include "model/fitted_model.hpp"
#include "report/report.hpp"

namespace tolvane {

void DesktopAnalysis::runStarts(const AnalysisState& s, std::string inputPath) {
  beforeRun_ = {s.precision, std::move(inputPath_), std::move(model_)};
  inputPath_ = std::move(inputPath);
  model_ = ModelResults{};
}

void DesktopAnalysis::runEnded(AnalysisState& s, bool cancelled) {
  if (cancelled) {
    s.precision = beforeRun_.precision;
    inputPath_ = std::move(beforeRun_.inputPath);
    model_ = std::move(beforeRun_.model);
  }
  beforeRun_ = {};
}

void DesktopAnalysis::pathTraced(AnalysisState& s) {
  ModelResults results;
  const Status chosen = computeModelResults(s, request_, &results);
  reportModelResults(s, results, chosen.message);
  model_ = std::move(results);
  publish(s);
}

Status DesktopAnalysis::chooseExtent(AnalysisState& s, const ExtentRequest& request) {
  ModelResults results;
  if (const Status chosen = computeModelResults(s, request, &results); !chosen.ok())
    return Status::stopped("No fit: " + chosen.message);
  reportFit(s, results.fit);
  request_ = request;
  model_ = std::move(results);
  publish(s);
  return {};
}

void DesktopAnalysis::publish(AnalysisState& s) {
  publishModelResults(s, model_);
  if (model_.fitted && !model_.fit.extent.warning.empty()) {
    reportLinef("    Note: %s.", model_.fit.extent.warning.c_str());
    REPORT_SHOW();
  }
}

}  // namespace tolvane
