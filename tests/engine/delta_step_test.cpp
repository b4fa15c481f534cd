#include "engine/delta_step.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "report/report.hpp"
#include "support/synthetic_analysis.hpp"

namespace tolvane {
namespace {

// Float storage of a delta: half an ulp of 1.
constexpr double kStore = 6.0e-8;

class DeltaStep : public ::testing::Test {
 protected:
  // These tests pin single-precision bits.
  PrecisionScope single_{Precision::kSingle};
  void SetUp() override { linesBefore_ = reportCounters().linesWritten; }
  void TearDown() override {
    // No family, start or step ever writes a report line.
    EXPECT_EQ(reportCounters().linesWritten, linesBefore_);
  }

  // A path over `rank` kept axes of `p` predictors; unwritten cells keep -9.
  void path(int p, int rank, int msteps, PathShape shape) {
    s.P = p;
    s.RANK = rank;
    s.MSTEPS = msteps;
    s.NSTEPS = rank * msteps + 1;
    s.SHAPECODE = shape;
    s.QSHAPE = 0.0f;
    s.EPS = 1.0e-5f;
    VYQCONST(&s.PCOR, p, 0.0);
    MYQCONST(&s.DYQ, s.NSTEPS, p, -9.0);
  }
  void correlations(std::vector<double> rho) {
    for (std::size_t i = 0; i < rho.size(); ++i)
      s.PCOR.data[static_cast<int>(i) + 1] = toFloat(rho[i]);
  }
  // Every step in order, each from the constant of the one before.
  std::vector<double> walk() {
    std::vector<double> k(s.NSTEPS + 1, 0.0);
    double kk = 0.0;
    for (int step = 1; step <= s.NSTEPS; ++step)
      k[step] = kk = DELTA_STEP(s, step, kk);
    return k;
  }
  double rowSum(int step) const {
    double sum = 0.0;
    for (int i = 1; i <= s.RANK; ++i)
      sum += s.DYQ.data[step][i];
    return sum;
  }

  AnalysisState s;
  int linesBefore_ = 0;
};

// The deltas of a family at a given sum, by bisection on the constant: an
// answer found without Newton's method or a warm start.
std::vector<double> deltasBySum(PathShape shape, const std::vector<double>& scale, double target) {
  auto deltas = [&](double k) {
    std::vector<double> d(scale.size());
    for (std::size_t i = 0; i < scale.size(); ++i) {
      const double x = scale[i];
      if (shape == PathShape::kQShape)
        d[i] = 1.0 / (1.0 + k * x);
      else if (shape == PathShape::kCrosr)
        d[i] = x / (x + k);
      else
        d[i] = k >= x ? 0.0 : 1.0 - k / x;
    }
    return d;
  };
  double lo = 0.0, hi = 1.0;
  auto sum = [&](double k) {
    double t = 0.0;
    for (double v : deltas(k))
      t += v;
    return t;
  };
  while (sum(hi) > target)
    hi *= 2.0;
  for (int it = 0; it < 200; ++it) {
    const double mid = 0.5 * (lo + hi);
    (sum(mid) > target ? lo : hi) = mid;
  }
  return deltas(0.5 * (lo + hi));
}

TEST_F(DeltaStep, QZeroWithSingularValuesTwoAndOne) {
  path(2, 2, 1, PathShape::kQShape);
  s.QWEIGHT[1] = 0.25;  // 2^(2(0 - 1))
  s.QWEIGHT[2] = 1.0;
  const std::vector<double> k = walk();

  EXPECT_EQ(k[1], 0.0);
  EXPECT_EQ(s.DYQ.data[1][1], 1.0f);
  EXPECT_EQ(s.DYQ.data[1][2], 1.0f);
  // At MCAL 1: 1/(1 + k/4) + 1/(1 + k) = 1 at k = 2.
  EXPECT_NEAR(k[2], 2.0, 1e-4);
  EXPECT_NEAR(s.DYQ.data[2][1], 2.0 / 3.0, 1e-5);
  EXPECT_NEAR(s.DYQ.data[2][2], 1.0 / 3.0, 1e-5);
  EXPECT_EQ(k[3], kEndOfPathConstant);
  EXPECT_EQ(s.DYQ.data[3][1], 0.0f);
  EXPECT_EQ(s.DYQ.data[3][2], 0.0f);
}

TEST_F(DeltaStep, GarroteDropsTheWeakerAxisPastItsThreshold) {
  path(2, 2, 2, PathShape::kGarrote);
  correlations({std::sqrt(0.5), -std::sqrt(0.1)});
  const std::vector<double> k = walk();

  // MCAL 1 (step 3): both active, (1 - k/0.5) + (1 - k/0.1) = 1.
  EXPECT_NEAR(k[3], 1.0 / 12.0, 1e-6);
  EXPECT_NEAR(s.DYQ.data[3][1], 5.0 / 6.0, 1e-6);
  EXPECT_NEAR(s.DYQ.data[3][2], 1.0 / 6.0, 1e-6);
  // MCAL 1.5 (step 4): the second axis is out, 1 - k/0.5 = 0.5.
  EXPECT_NEAR(k[4], 0.25, 1e-6);
  EXPECT_NEAR(s.DYQ.data[4][1], 0.5, 1e-6);
  EXPECT_EQ(s.DYQ.data[4][2], 0.0f);
}

TEST_F(DeltaStep, LassoThresholdsTheAbsoluteCorrelation) {
  path(2, 2, 1, PathShape::kLasso);
  correlations({-0.6, 0.3});
  const std::vector<double> k = walk();
  // (1 - k/0.6) + (1 - k/0.3) = 1 gives k = 0.2; the squares would give 0.072.
  EXPECT_NEAR(k[2], 0.2, 1e-7);
  EXPECT_NEAR(s.DYQ.data[2][1], 2.0 / 3.0, 1e-7);
  EXPECT_NEAR(s.DYQ.data[2][2], 1.0 / 3.0, 1e-7);

  // Lasso iterates to EPS squared. A second threshold just below the
  // solution (k = 0.25 at MCAL 1.25) makes the first Newton step overshoot
  // it and leaves a residual of 5e-6: inside EPS, outside EPS squared.
  path(2, 2, 4, PathShape::kLasso);
  correlations({1.0, 0.25 - 6.25e-6});
  DELTA_STEP(s, 6, 0.0);
  EXPECT_NEAR(s.DYQ.data[6][1], 0.75, 1e-6);
  EXPECT_EQ(s.DYQ.data[6][2], 0.0f);
}

TEST_F(DeltaStep, QOfOneShrinksEveryAxisAlikeWhateverTheStart) {
  path(3, 3, 4, PathShape::kQShape);
  s.QSHAPE = 1.0f;
  std::fill(s.QWEIGHT.begin(), s.QWEIGHT.end(), 0.0);  // not consulted
  for (int step = 2; step < s.NSTEPS; ++step) {
    const double m = (step - 1) / 4.0;
    const double k = DELTA_STEP(s, step, 123.0);
    EXPECT_DOUBLE_EQ(k, m / (3.0 - m)) << step;
    for (int i = 1; i <= 3; ++i)
      EXPECT_NEAR(s.DYQ.data[step][i], (3.0 - m) / 3.0, kStore) << step;
  }
}

TEST_F(DeltaStep, AxesBeyondTheRankAreZeroInEveryRowIncludingTheFirst) {
  for (const PathShapeNames& family : kPathShapes) {
    path(4, 2, 4, family.shape);
    correlations({0.7, 0.2, 0.0, 0.0});
    s.QWEIGHT.assign(s.QWEIGHT.size(), 0.0);
    s.QWEIGHT[1] = 0.5;
    s.QWEIGHT[2] = 3.0;
    walk();
    for (int step = 1; step <= s.NSTEPS; ++step) {
      EXPECT_EQ(s.DYQ.data[step][3], 0.0f) << family.word << " " << step;
      EXPECT_EQ(s.DYQ.data[step][4], 0.0f) << family.word << " " << step;
    }
    EXPECT_EQ(s.DYQ.data[1][1], 1.0f);
    EXPECT_EQ(s.DYQ.data[1][2], 1.0f);
  }
}

// Every family on the same analysis, Q over its whole range for the
// Q-shape: rows agree with deltas found by bisection, sum to RANK - MCAL
// within the family's tolerance, never grow along the path, and the
// constant never falls.
TEST_F(DeltaStep, EveryFamilyFollowsItsPathOnARealAnalysis) {
  test::synth::Options o;
  o.P = 6;
  o.N = 40;
  const test::synth::Analysis d = test::synth::analyse(o);
  ASSERT_EQ(d.rank, 6);
  const double eps = 1.0e-5;

  struct Case {
    PathShape shape;
    double q;
  };
  constexpr PathShape kQ = PathShape::kQShape;
  for (const Case c :
       {Case{kQ, -5.0}, Case{kQ, -1.5}, Case{kQ, 0.0}, Case{kQ, 0.5}, Case{kQ, 2.0}, Case{kQ, 5.0},
        Case{PathShape::kCrosr, 0}, Case{PathShape::kGarrote, 0}, Case{PathShape::kLasso, 0}}) {
    path(6, 6, 8, c.shape);
    s.QSHAPE = toFloat(c.q);
    std::vector<double> scale(6);
    for (int i = 1; i <= 6; ++i) {
      s.PCOR.data[i] = toFloat(d.pcor[i - 1]);
      s.QWEIGHT[i] = std::pow(d.sv[i - 1], 2.0 * (s.QSHAPE - 1.0));
      const double rho = s.PCOR.data[i];
      scale[i - 1] = c.shape == kQ                  ? s.QWEIGHT[i]
                     : c.shape == PathShape::kLasso ? std::max(std::fabs(rho), eps)
                                                    : std::max(rho * rho, eps);
    }
    const double tol = c.shape == PathShape::kLasso ? eps * eps : eps;
    const std::vector<double> k = walk();
    SCOPED_TRACE(testing::Message() << "shape " << namesOf(c.shape).word << " Q " << c.q);
    for (int step = 2; step < s.NSTEPS; ++step) {
      const double m = (step - 1) / 8.0;
      EXPECT_NEAR(rowSum(step), 6.0 - m, tol + 6 * kStore) << step;
      EXPECT_GE(k[step], k[step - 1]) << step;
      const std::vector<double> truth = deltasBySum(c.shape, scale, 6.0 - m);
      for (int i = 1; i <= 6; ++i) {
        EXPECT_NEAR(s.DYQ.data[step][i], truth[i - 1], 2.0 * tol + kStore) << step << " " << i;
        EXPECT_LE(s.DYQ.data[step][i], s.DYQ.data[step - 1][i] + kStore) << step << " " << i;
        EXPECT_GE(s.DYQ.data[step][i], 0.0f);
      }
      // Q below 1 shrinks the small singular values hardest, above 1 the large.
      if (c.shape == kQ && c.q < 1.0) {
        for (int i = 2; i <= 6; ++i)
          EXPECT_LE(s.DYQ.data[step][i], s.DYQ.data[step][i - 1]);
      } else if (c.shape == kQ) {
        for (int i = 2; i <= 6; ++i)
          EXPECT_GE(s.DYQ.data[step][i], s.DYQ.data[step][i - 1]);
      }
    }
    EXPECT_EQ(k[s.NSTEPS], kEndOfPathConstant);
  }
}

TEST_F(DeltaStep, CrosrAxisWithoutCorrelationIsShrunkAlmostAtOnce) {
  path(2, 2, 2, PathShape::kCrosr);
  correlations({0.5, 0.0});
  const std::vector<double> k = walk();
  // MCAL 1: the constant settles near 1.6e-3, far above the floor EPS of the
  // second axis's scale, which is then nearly gone while the first is kept.
  EXPECT_GT(k[3], 100 * 1e-5);
  EXPECT_LT(s.DYQ.data[3][2], 0.01f);
  EXPECT_GT(s.DYQ.data[3][1], 0.99f);
  const std::vector<double> truth = deltasBySum(PathShape::kCrosr, {0.25, 1e-5}, 1.0);
  EXPECT_NEAR(s.DYQ.data[3][2], truth[1], 2e-5);
}

TEST_F(DeltaStep, StartAboveTheSolutionBeginsAgainFromZero) {
  path(2, 2, 2, PathShape::kGarrote);
  correlations({std::sqrt(0.5), std::sqrt(0.1)});
  // A start above both thresholds leaves no active axis and no slope.
  const double k = DELTA_STEP(s, 3, 10.0);
  EXPECT_NEAR(k, 1.0 / 12.0, 1e-6);
  EXPECT_NEAR(s.DYQ.data[3][1], 5.0 / 6.0, 1e-6);
  EXPECT_NEAR(s.DYQ.data[3][2], 1.0 / 6.0, 1e-6);

  path(2, 2, 2, PathShape::kCrosr);
  correlations({0.5, 0.2});
  const double fromZero = DELTA_STEP(s, 3, 0.0);
  const float first = s.DYQ.data[3][1];
  // An infinite start gives deltas of 0 and a slope of 0; a NaN start gives
  // NaN slopes. Both begin again and end where a start at 0 ends.
  for (double bad : {std::numeric_limits<double>::infinity(), std::nan("")}) {
    const double k2 = DELTA_STEP(s, 3, bad);
    EXPECT_NEAR(k2, fromZero, 1e-6 * fromZero) << bad;
    EXPECT_NEAR(s.DYQ.data[3][1], first, 1e-5) << bad;
  }
}

TEST_F(DeltaStep, NonConvergenceIsSilentAndBounded) {
  // Seven weights from 1e-30 to 1e30, started cold at MCAL 6: Newton needs
  // 36 passes to reach EPS, so the 26th pass stands.
  path(7, 7, 1, PathShape::kQShape);
  s.QSHAPE = -5.0f;
  for (int i = 1; i <= 7; ++i)
    s.QWEIGHT[i] = std::pow(10.0, 10.0 * (i - 4));
  const double k = DELTA_STEP(s, 7, 0.0);
  EXPECT_TRUE(std::isfinite(k));
  EXPECT_GT(std::fabs(rowSum(7) - 1.0), 1.0e-5);
  for (int i = 1; i <= 7; ++i) {
    EXPECT_GE(s.DYQ.data[7][i], 0.0f);
    EXPECT_LE(s.DYQ.data[7][i], 1.0f);
  }
}

TEST_F(DeltaStep, StepsBelowOneAreTheFirstAndRowsOutsideTheMatrixAreLeft) {
  path(2, 2, 1, PathShape::kCrosr);
  correlations({0.5, 0.4});
  for (int step : {0, -3}) {
    MYQCONST(&s.DYQ, 3, 2, -9.0);
    EXPECT_EQ(DELTA_STEP(s, step, 5.0), 0.0);
    EXPECT_EQ(s.DYQ.data[1][1], 1.0f);
    EXPECT_EQ(s.DYQ.data[1][2], 1.0f);
    EXPECT_EQ(s.DYQ.data[2][1], -9.0f);
  }
  // A row the caller did not allocate is not written.
  MYQCONST(&s.DYQ, 2, 2, -9.0);
  EXPECT_EQ(DELTA_STEP(s, 3, 0.7), 0.7);
  EXPECT_EQ(s.DYQ.data[2][2], -9.0f);
}

}  // namespace
}  // namespace tolvane
