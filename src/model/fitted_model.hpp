// The fit at the chosen extent, in the units of the data as given, whatever
// the scaling choice: intercept and coefficients by least squares and
// shrunken, the least-squares standard errors, the estimated root mean
// squared error of each shrunken value, and the statistics of the fit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "model/extent_choice.hpp"
#include "report/status.hpp"

namespace tolvane {

struct FittedTerm {
  std::string name;       // "Intercept" or the predictor's full name
  std::string shortName;  // the 8-character name the reports print
  double leastSquares = 0.0;
  double shrunken = 0.0;
  double leastSquaresSe = 0.0;
  // sqrt(relative risk x s^2) in the data's units: the estimated mean
  // squared error includes the estimated squared bias, not only the variance.
  double rmse = 0.0;
};

struct FittedModel {
  ChosenExtent extent;
  std::string path;  // pathName()
  PathShape shape = PathShape::kQShape;
  double q = 0.0;
  int msteps = 0;
  std::vector<FittedTerm> terms;  // the intercept first, then predictors 1..P
  double s2 = 0.0;                // least-squares residual variance, data's units
  double effectiveDf = 0.0;       // RANK - MCAL + 1
  double residualSd = 0.0;        // sqrt(RSS / (N - df)) of the shrunken fit
  double rSquared = 0.0;          // 1 - RSS / TSS of the shrunken fit
  std::int64_t n = 0;
  int rank = 0, p = 0;
};

// The fit at `extent` on the current analysis. False when the analysis is
// incomplete.
bool fitAtExtent(const AnalysisState& s, const ChosenExtent& extent, FittedModel* out);

// The "Fit at MCAL = m" block: report window and summary file.
void reportFit(const AnalysisState& s, const FittedModel& fit);

// The terms as CSV: term, least squares, shrunken, LS std. error, RMSE, and
// when `lower` and `upper` hold one value per term (intercept first) the
// resampled interval at the extent; then the fit statistics as "name,value"
// rows after a blank line.
std::string fitCsv(const FittedModel& fit, const std::vector<double>& lower = {},
                   const std::vector<double>& upper = {});

// Raw data only: one row per observation used (N1..N2): its number, the
// response, the fitted value and the residual of the shrunken fit.
std::string fittedValuesCsv(const AnalysisState& s, const FittedModel& fit);
// The same written to `path` as it is made (a million rows never sit in
// memory as one text), put in place only when whole.
Status writeFittedValues(const std::string& path, const AnalysisState& s, const FittedModel& fit);

}  // namespace tolvane
