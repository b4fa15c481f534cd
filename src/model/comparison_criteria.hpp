// The usual criteria for the extent of shrinkage, on the MCAL axis of the
// current path, beside the three likelihood criteria: generalized
// cross-validation, leave-one-out prediction error, AIC and BIC with the
// effective degrees of freedom, and the HKB and LW ridge constants.
//
// For a step with delta factors d(i) (i = 1..RANK) the shrunken fit is
// linear in the response: its hat matrix, intercept included, has trace
// df = 1 + sum d(i) = RANK - MCAL + 1, and its residual sum of squares is
// RSS = TSS (1 - sum rho(i)^2 d(i) (2 - d(i))), rho the principal
// correlations. With both:
//   GCV   = N RSS / (N - df)^2
//   PRESS = sum over observations of (e / (1 - h))^2, e the residual and h
//           the leverage of the shrunken fit (raw data only)
//   AIC   = N ln(RSS / N) + 2 df
//   BIC   = N ln(RSS / N) + ln(N) df
// RSS, GCV and PRESS are in the squared units of the response as given,
// whatever the scaling. The ridge rules (Hoerl, Kennard and Baldwin; Lawless
// and Wang) give a constant k = RANK s^2 / (c'c) and
// (N - 1) RANK s^2 / (c' L c), c the least-squares components and L the
// squared singular values, on the model's scale (X'X = (N - 1) times the
// correlation matrix; LW is defined on unit-length predictors, hence N - 1);
// it belongs to the Q = 0 path (ordinary ridge regression), where
// MCAL = RANK - sum sv(i)^2 / (sv(i)^2 + k).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "engine/analysis_state.hpp"
#include "model/path_walk.hpp"

namespace tolvane {

enum class ComparisonKind { kGcv = 0, kLoo = 1, kAic = 2, kBic = 3 };
inline constexpr int kComparisonKinds = 4;

// Where a criterion is smallest along the path.
struct CriterionMinimum {
  bool available = false;
  int step = 0;  // from 1; the lowest of tied steps
  double mcal = 0.0;
  double value = 0.0;
  bool atStart = false;  // MCAL = 0: the criterion keeps rising
  bool atEnd = false;    // MCAL = RANK: the criterion keeps falling
};

struct RidgeRule {
  double k = 0.0;
  double mcal = 0.0;  // on the Q = 0 path
  bool available = false;
};

struct ComparisonCriteria {
  std::vector<double> mcal;                      // per step, from 0
  std::vector<double> values[kComparisonKinds];  // per step; PRESS empty for cross-products
  CriterionMinimum minimum[kComparisonKinds];
  RidgeRule hkb, lw;
  bool hasLoo() const { return !values[static_cast<int>(ComparisonKind::kLoo)].empty(); }
  const std::vector<double>& of(ComparisonKind kind) const {
    return values[static_cast<int>(kind)];
  }
  const CriterionMinimum& minOf(ComparisonKind kind) const {
    return minimum[static_cast<int>(kind)];
  }
};

// "GCV", "PRESS", "AIC", "BIC".
const char* comparisonName(ComparisonKind kind);

// Residual sum of squares and effective degrees of freedom (intercept
// included) of the shrunken fit with these delta factors, on the model's
// scale.
struct ShrunkenFitSize {
  double rss = 0.0;
  double df = 0.0;
};
ShrunkenFitSize shrunkenFitSize(const AnalysisState& s, const DeltaRow& delta);

// Factor from the model's response scale to the response as given: YSTD
// when the variables were rescaled, else 1.
double responseScale(const AnalysisState& s);

// Fills *out for every step of `walk`, on up to `threads` threads (0: one
// per processor; the same bits for any number); fails when the state has no
// completed analysis.
Status computeComparisonCriteria(const AnalysisState& s, const PathWalk& walk,
                                 ComparisonCriteria* out, unsigned threads = 0);

// The block after the likelihood criteria: each criterion's minimum and its
// MCAL (or that it has no interior minimum), the ridge rules with their MCAL
// on the Q = 0 path. Report window, and the summary file when it is open.
void reportComparisonCriteria(const AnalysisState& s, const ComparisonCriteria& c);

// The table as CSV: step, MCAL, GCV, PRESS (empty cells for cross-products),
// AIC, BIC, with 17 significant digits in double precision and 9 in single.
// The status says why when the file cannot be written.
Status writeComparisonCsv(const ComparisonCriteria& c, const std::string& path,
                          Precision precision = Precision::kDouble);

// The line that says a minimum lies at an end of the path, for example
// "GCV keeps falling to MCAL = RANK: no interior minimum"; empty when the
// minimum is interior.
std::string endOfPathNote(const char* name, const CriterionMinimum& m);

}  // namespace tolvane
