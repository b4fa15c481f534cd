#include "model/resample_analysis.hpp"

#include <algorithm>
#include <cmath>

#include "engine/extent_criteria.hpp"
#include "engine/least_squares.hpp"
#include "engine/model_data.hpp"
#include "engine/select_shape.hpp"
#include "model/comparison_criteria.hpp"

namespace tolvane {

namespace {

// The extent the request chooses on a path already walked.
Status chooseExtentOnWalk(const AnalysisState& s, const PathWalk& walk,
                          const ExtentRequest& request, ChosenExtent* extent) {
  // The likelihood criteria and a number need nothing more; the others are
  // computed only when asked for.
  ComparisonCriteria cc;
  switch (request.criterion) {
    case ExtentCriterion::kClik:
    case ExtentCriterion::kEbays:
    case ExtentCriterion::kRcoef:
    case ExtentCriterion::kGup:
    case ExtentCriterion::kMcal:
      break;
    default:
      if (Status computed = computeComparisonCriteria(s, walk, &cc); !computed.ok())
        return computed;
      break;
  }
  return chooseExtent(s, walk, cc, request, extent);
}

}  // namespace

void termsInDataUnits(const AnalysisState& s, const double* b, double* terms) {
  double intercept = s.YAVG;
  for (int j = 1; j <= s.P; ++j) {
    double slope = b[j - 1];
    if (s.SCALECODE == 1 && s.XSTD.data[j] >= s.EPS)
      slope *= static_cast<double>(s.YSTD) / s.XSTD.data[j];
    terms[j] = slope;
    intercept -= slope * s.XAVG.data[j];
  }
  terms[0] = intercept;
}

ResampleOutcome ResampleAnalysis::run(const std::vector<int>& rows, float* trace, double* chosen,
                                      double* terms, double* chosenMcal) {
  AnalysisState r;
  r.precision = job_.s.precision;
  if (!copyData(r, rows)) return ResampleOutcome::kModelStopped;
  setObservationRange(r, 1, job_.n);
  if (!computeModelData(r).ok()) return ResampleOutcome::kModelStopped;
  // What the toolkit says on the way is held in the result and not shown:
  // a resample that stops is counted, not reported.
  if (!computeLeastSquares(r).completed) return ResampleOutcome::kAnalysisStopped;
  if (r.RANK != job_.rank) return ResampleOutcome::kRankDropped;
  setPath(r);
  // One walk along the path gives the criteria and the choice alike.
  if (!walkPath(r, &walk_)) return ResampleOutcome::kNoCriteria;
  extentCriteriaFromSteps(r, walk_.delta.data(), walk_.k.data());
  if (r.THREEYQ.rows != job_.nsteps || r.DYQ.rows != job_.nsteps)
    return ResampleOutcome::kNoCriteria;
  ChosenExtent extent;
  if (!chooseExtentOnWalk(r, walk_, job_.extent, &extent).ok()) return ResampleOutcome::kNoCriteria;
  *chosenMcal = extent.mcal;
  coefficientsAt(r, extent.delta, chosen);
  for (int j = 0; j < job_.P; ++j) {
    if (!std::isfinite(chosen[j])) return ResampleOutcome::kNoCriteria;
  }
  termsInDataUnits(r, chosen, terms);
  if (!coefficientTrace(r, trace)) return ResampleOutcome::kNoCriteria;
  return ResampleOutcome::kUsed;
}

bool ResampleAnalysis::copyData(AnalysisState& r, const std::vector<int>& rows) const {
  const AnalysisState& s = job_.s;
  static_cast<ModelDescription&>(r) = s;
  r.NOBS = job_.n;
  r.XPXFORM = 0;
  r.LSPEND = 1;
  if (!r.DATA.allocate(job_.n, s.NVAR)) return false;
  for (int i = 1; i <= job_.n; ++i) {
    const auto* from = s.DATA.data.row(s.N1 + rows[i - 1]);
    std::copy(from, from + s.NVAR, r.DATA.data.row(i));
  }
  return true;
}

// The data's path: its family, Q and steps, whatever the resample's own
// singular values would have suggested.
void ResampleAnalysis::setPath(AnalysisState& r) const {
  const AnalysisState& s = job_.s;
  r.SHAPECODE = s.SHAPECODE;
  r.QSHAPE = s.QSHAPE;
  r.MSTEPS = s.MSTEPS;
  r.NSTEPS = r.RANK * r.MSTEPS + 1;
  if (r.SHAPECODE == PathShape::kQShape) setPathWeights(r);
}

// Only the coefficients are needed of the five traces: b = G (delta * c)
// at every step, on the given scale when SCALECODE is 2. Each b sums its
// terms in the order k = 1..rank; the P sums of a step run side by side.
bool ResampleAnalysis::coefficientTrace(const AnalysisState& r, float* trace) {
  const int P = job_.P, rank = job_.rank;
  std::vector<double> a(static_cast<std::size_t>(rank) + 1), scale(static_cast<std::size_t>(P)),
      b(static_cast<std::size_t>(P));
  for (int j = 1; j <= P; ++j) {
    scale[j - 1] = 1.0;
    if (r.SCALECODE == 2 && r.XSTD.data[j] >= r.EPS)
      scale[j - 1] = static_cast<double>(r.YSTD) / r.XSTD.data[j];
  }
  // G's kept columns as rows, so that a step reads them in place.
  gt_.resize(static_cast<std::size_t>(rank) * P);
  for (int j = 1; j <= P; ++j) {
    for (int k = 1; k <= rank; ++k)
      gt_[static_cast<std::size_t>(k - 1) * P + (j - 1)] = r.DCOS.data[j][k];
  }
  for (int step = 1; step <= job_.nsteps; ++step) {
    const auto* delta = r.DYQ.data.row(step);
    for (int k = 1; k <= rank; ++k)
      a[k] = static_cast<double>(delta[k - 1]) * r.UCOMP.data[k];
    for (int j = 0; j < P; ++j)
      b[j] = 0.0;
    for (int k = 1; k <= rank; ++k) {
      const double* g = gt_.data() + static_cast<std::size_t>(k - 1) * P;
      const double ak = a[k];
      for (int j = 0; j < P; ++j)
        b[j] += g[j] * ak;
    }
    float* out = trace + static_cast<std::size_t>(step - 1) * P;
    for (int j = 0; j < P; ++j) {
      const double bj = b[j] * scale[j];
      if (!std::isfinite(bj)) return false;
      out[j] = static_cast<float>(bj);
    }
  }
  return true;
}

StatusOr<ChosenExtent> chooseResampleExtent(const AnalysisState& s, const ExtentRequest& request) {
  PathWalk walk;
  if (!walkPath(s, &walk)) return Status::stopped("no path has been traced");
  ChosenExtent extent;
  if (Status chosen = chooseExtentOnWalk(s, walk, request, &extent); !chosen.ok()) return chosen;
  return extent;
}

void coefficientsAt(const AnalysisState& s, const DeltaRow& delta, double* b) {
  std::vector<double> a(static_cast<std::size_t>(std::max(s.RANK, 0)) + 1);
  for (int k = 1; k <= s.RANK; ++k)
    a[k] = delta[k] * s.UCOMP.data[k];
  for (int j = 1; j <= s.P; ++j) {
    double sum = 0.0;
    for (int k = 1; k <= s.RANK; ++k)
      sum += static_cast<double>(s.DCOS.data[j][k]) * a[k];
    if (s.SCALECODE == 2 && s.XSTD.data[j] >= s.EPS)
      sum *= static_cast<double>(s.YSTD) / s.XSTD.data[j];
    b[j - 1] = sum;
  }
}

}  // namespace tolvane
