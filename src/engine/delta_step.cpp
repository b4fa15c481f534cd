#include "engine/delta_step.hpp"

#include <cmath>

namespace tolvane {

namespace {

constexpr int kMaxPasses = 26;

// Per-axis scale of the families that look at the principal correlations;
// floored so that an axis with no correlation still has a finite scale.
double correlationScale(int shape, float rho, double eps) {
  const double r = rho;
  const double x = shape == 3 ? std::fabs(r) : r * r;
  return x > eps ? x : eps;
}

}  // namespace

double DELTA_STEP(AnalysisState& s, int step, double kstart) {
  if (step < 1) step = 1;
  const int R = s.RANK;
  const int P = s.P;
  if (step > s.DYQ.rows || s.DYQ.cols < P || R > P || P > kMaxVars || s.MSTEPS < 1) return kstart;
  float* row = s.DYQ.data.row(step) - 1;  // row[i], i = 1..P

  for (int i = R + 1; i <= P; ++i)
    row[i] = 0.0f;
  if (step == 1) {
    for (int i = 1; i <= R; ++i)
      row[i] = 1.0f;
    return 0.0;
  }
  const double m = static_cast<double>(step - 1) / s.MSTEPS;
  if (m >= R) {
    for (int i = 1; i <= R; ++i)
      row[i] = 0.0f;
    return kEndOfPathConstant;
  }

  const int shape = (s.SHAPECODE >= 1 && s.SHAPECODE <= 3) ? s.SHAPECODE : 0;
  if (shape != 0 && s.PCOR.rows < R) return kstart;
  if (shape == 0 && s.QSHAPE == 1.0f) {
    // Uniform shrinkage: every axis keeps the same share.
    const double k = m / (R - m);
    const float delta = toFloat(1.0 / (1.0 + k));
    for (int i = 1; i <= R; ++i)
      row[i] = delta;
    return k;
  }

  const double eps = s.EPS;
  const double tol = shape == 3 ? eps * eps : eps;
  // The scales do not change during the iteration.
  double x[kMaxVars + 1];
  for (int i = 1; i <= R; ++i) {
    x[i] = shape == 0 ? s.QWEIGHT[i] : correlationScale(shape, s.PCOR.data[i], eps);
  }

  // Newton's method on  sum of deltas = R - m; the sum falls and is convex in
  // k, so a start at or below the solution stays below it.
  double k = kstart;
  double e = m - R;
  int passes = 0;
  while (!(std::fabs(e) <= tol) && passes < kMaxPasses) {
    ++passes;
    e = m - R;
    double d = 0.0;
    for (int i = 1; i <= R; ++i) {
      double delta = 0.0;
      double slope = 0.0;
      switch (shape) {
        case 0: {
          const double den = 1.0 + k * x[i];
          delta = 1.0 / den;
          slope = x[i] / (den * den);
          break;
        }
        case 1: {
          const double den = 1.0 + k / x[i];
          delta = 1.0 / den;
          slope = (1.0 / x[i]) / (den * den);
          break;
        }
        default:  // Garrote and Lasso: k is a threshold
          if (k < x[i]) {
            delta = 1.0 - k / x[i];
            slope = 1.0 / x[i];
          }
          break;
      }
      row[i] = toFloat(delta);
      e += delta;
      d += slope;
    }
    // A start above the solution can leave no axis active (or a slope that
    // underflows); begin again from the bottom instead of dividing by zero.
    if (d > 0.0) {
      k += e / d;
    } else {
      k = 0.0;
    }
  }
  return k;
}

}  // namespace tolvane
