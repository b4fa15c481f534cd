// One resample analysed again, and the slots that keep every resample's
// results by its index (see bootstrap.hpp for the method).
#pragma once

#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "model/bootstrap.hpp"
#include "model/path_walk.hpp"

namespace tolvane {

// What every resample shares: the data's settings, read only.
struct ResampleJob {
  const AnalysisState& s;
  int n = 0, P = 0, rank = 0, nsteps = 0;
  ExtentRequest extent;
};

// Every resample's results, in slots by resample index: where a thread puts
// them does not depend on which thread it is.
struct ResampleSlots {
  std::vector<float> traces;       // B x nsteps x P
  std::vector<double> chosen;      // B x P: at the chosen extent
  std::vector<double> chosenMcal;  // B
  std::vector<double> terms;       // B x (P + 1): intercept and slopes, data's units
  std::vector<ResampleOutcome> outcome;
};

// The analysis of one resample, computing only: a state of its own without
// output files, made from the data's model description and the resample's
// rows, through the compute steps (model data, least squares, the path
// walk, the extent criteria and the choice), none of which prints or offers
// a menu. One per thread: it keeps its working storage from one resample to
// the next.
class ResampleAnalysis {
 public:
  explicit ResampleAnalysis(const ResampleJob& job) : job_(job) {}

  // Fills trace (nsteps x P, row after row), the coefficients at the chosen
  // extent (P), the fit's terms there in the data's units (intercept, then
  // P slopes) and its MCAL when the path is traced.
  ResampleOutcome run(const std::vector<int>& rows, float* trace, double* chosen, double* terms,
                      double* chosenMcal);

 private:
  bool copyData(AnalysisState& r, const std::vector<int>& rows) const;
  void setPath(AnalysisState& r) const;
  bool coefficientTrace(const AnalysisState& r, float* trace);

  const ResampleJob& job_;
  std::vector<double> gt_;  // G transposed, kept from one resample to the next
  PathWalk walk_;
};

}  // namespace tolvane
