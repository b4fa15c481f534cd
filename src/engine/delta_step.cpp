#include "engine/delta_step.hpp"

#include <cmath>

namespace tolvane {

namespace {

constexpr int kMaxPasses = 26;

// Per-axis scale of the families that look at the principal correlations;
// floored so that an axis with no correlation still has a finite scale.
double correlationScale(PathShape shape, double rho, double eps) {
  const double r = rho;
  const double x = shape == PathShape::kLasso ? std::fabs(r) : r * r;
  return x > eps ? x : eps;
}

// One axis's delta factor at k, its scale x, and the factor's fall with k
// (*slope = -d delta / dk).
double axisFactor(PathShape shape, double k, double x, double* slope) {
  switch (shape) {
    case PathShape::kQShape: {
      const double den = 1.0 + k * x;
      *slope = x / (den * den);
      return 1.0 / den;
    }
    case PathShape::kCrosr: {
      const double den = 1.0 + k / x;
      *slope = (1.0 / x) / (den * den);
      return 1.0 / den;
    }
    case PathShape::kGarrote:
    case PathShape::kLasso:  // k is a threshold
      if (k < x) {
        *slope = 1.0 / x;
        return 1.0 - k / x;
      }
      break;
  }
  *slope = 0.0;
  return 0.0;
}

// deltaFactorsAt into delta[1..P], which is written only when the state has
// what the path needs.
bool factorsInto(const AnalysisState& s, double m, double kstart, Array1<double> delta, double* k) {
  const int R = s.RANK;
  const int P = s.P;
  const PathShape shape = s.SHAPECODE;
  const bool qFamily = shape == PathShape::kQShape;
  if (R > P || R < 0) return false;
  if (m > 0.0 && m < R && !qFamily && s.PCOR.rows < R) return false;
  for (int i = R + 1; i <= P; ++i)
    delta[i] = 0.0;
  if (m <= 0.0) {
    for (int i = 1; i <= R; ++i)
      delta[i] = 1.0;
    *k = 0.0;
    return true;
  }
  if (m >= R) {
    for (int i = 1; i <= R; ++i)
      delta[i] = 0.0;
    *k = kEndOfPathConstant;
    return true;
  }

  if (qFamily && s.QSHAPE == 1.0f) {
    // Uniform shrinkage: every axis keeps the same share.
    *k = m / (R - m);
    const double share = 1.0 / (1.0 + *k);
    for (int i = 1; i <= R; ++i)
      delta[i] = share;
    return true;
  }

  const double eps = s.EPS;
  const double tol = shape == PathShape::kLasso ? eps * eps : eps;
  // An axis's scale (its weight, or from its correlation) is found anew on
  // each pass: cheaper than a heap array at a thousand axes, and nothing
  // here may fail for memory. Weights never set count as 0.
  const auto scale = [&](int i) {
    if (!qFamily) return correlationScale(shape, s.PCOR.data[i], eps);
    return i < static_cast<int>(s.QWEIGHT.size()) ? s.QWEIGHT[i] : 0.0;
  };

  // Newton's method on  sum of deltas = R - m; the sum falls and is convex in
  // k, so a start at or below the solution stays below it.
  double kk = kstart;
  double e = m - R;
  int passes = 0;
  while (!(std::fabs(e) <= tol) && passes < kMaxPasses) {
    ++passes;
    e = m - R;
    double d = 0.0;
    for (int i = 1; i <= R; ++i) {
      double slope = 0.0;
      const double di = axisFactor(shape, kk, scale(i), &slope);
      delta[i] = di;
      e += di;
      d += slope;
    }
    // A start above the solution can leave no axis active (or a slope that
    // underflows); begin again from the bottom instead of dividing by zero.
    if (d > 0.0) {
      kk += e / d;
    } else {
      kk = 0.0;
    }
  }
  *k = kk;
  return true;
}

}  // namespace

bool deltaFactorsAt(const AnalysisState& s, double m, double kstart, DeltaRow& delta, double* k) {
  if (s.RANK > s.P || s.RANK < 0) return false;
  if (delta.size() < static_cast<std::size_t>(s.P) + 1)
    delta.resize(static_cast<std::size_t>(s.P) + 1);
  return factorsInto(s, m, kstart, Array1<double>(delta.data() + 1), k);
}

double DELTA_STEP(AnalysisState& s, int step, double kstart) {
  PrecisionScope scope(s.precision);
  if (step < 1) step = 1;
  const int P = s.P;
  if (step > s.DYQ.rows || s.DYQ.cols < P || s.MSTEPS < 1) return kstart;
  // Step 1 is least squares whatever MSTEPS says.
  const double m = step == 1 ? 0.0 : static_cast<double>(step - 1) / s.MSTEPS;
  // Found in double in the row itself, then rounded as it is stored.
  const Array1<double> row = s.DYQ.data[step];
  double k = kstart;
  if (!factorsInto(s, m, kstart, row, &k)) return kstart;
  for (int i = 1; i <= P; ++i)
    row[i] = stored(row[i]);
  return k;
}

}  // namespace tolvane
