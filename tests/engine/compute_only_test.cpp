// The compute-only least squares and extent criteria against the full ones:
// the same bits in every result they leave in the state, and nothing shown
// on the way (no report line, not a byte in an open output file).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "engine/extent_criteria.hpp"
#include "engine/least_squares.hpp"
#include "engine/model_data.hpp"
#include "engine/select_shape.hpp"
#include "input/model_setup.hpp"
#include "support/engine_state_setup.hpp"

namespace tolvane {
namespace {

using test::Columns;
using test::fileText;

using test::kHaldX;
using test::kHaldY;

// The first two Hald columns and their sum: rank 2 of 3.
const Columns kDependentX = {kHaldX[0], kHaldX[1], [] {
                               std::vector<double> sum;
                               for (std::size_t k = 0; k < kHaldX[0].size(); ++k)
                                 sum.push_back(kHaldX[0][k] + kHaldX[1][k]);
                               return sum;
                             }()};

// Six observations of four predictors: no residual degree of freedom left.
const Columns kShortX = {
    {1, 2, 3, 4, 5, 7}, {2, 1, 4, 3, 6, 5}, {5, 3, 1, 2, 2, 9}, {0, 1, 0, 2, 1, 1}};
const std::vector<double> kShortY = {3, 1, 4, 1, 5, 9};

struct Case {
  const char* name;
  const Columns* x;
  const std::vector<double>* y;
  int xpxform, scalecode;
  Precision precision;
  PathShape shape;  // the path the extent criteria walk
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

void setUp(AnalysisState& s, const Case& c) {
  if (c.xpxform == 0) {
    test::setUpRawModel(s, *c.x, *c.y, c.scalecode);
  } else {
    test::setUpCrossProductModel(s, *c.x, *c.y, c.scalecode);
  }
  s.precision = c.precision;
}

// Same length and the same bits in every element.
void expectSameBits(const VectorRec& a, const VectorRec& b, const char* what) {
  ASSERT_EQ(a.rows, b.rows) << what;
  for (int i = 1; i <= a.rows; ++i) {
    const double x = a.data[i], y = b.data[i];
    EXPECT_EQ(0, std::memcmp(&x, &y, sizeof x)) << what << "[" << i << "]: " << x << " " << y;
  }
}

void expectSameBits(const MatrixRec& a, const MatrixRec& b, const char* what) {
  ASSERT_EQ(a.rows, b.rows) << what;
  ASSERT_EQ(a.cols, b.cols) << what;
  for (int i = 1; i <= a.rows; ++i) {
    for (int j = 1; j <= a.cols; ++j) {
      const double x = a.data[i][j], y = b.data[i][j];
      EXPECT_EQ(0, std::memcmp(&x, &y, sizeof x))
          << what << "[" << i << "][" << j << "]: " << x << " " << y;
    }
  }
}

void expectSameBits(double a, double b, const char* what) {
  EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a)) << what << ": " << a << " " << b;
}

void expectSameFit(const AnalysisState& full, const AnalysisState& quiet) {
  EXPECT_EQ(full.LSPEND, quiet.LSPEND);
  EXPECT_EQ(full.RANK, quiet.RANK);
  EXPECT_EQ(full.EQUALSV, quiet.EQUALSV);
  expectSameBits(full.QSHAPE, quiet.QSHAPE, "QSHAPE");
  expectSameBits(full.S2OLS, quiet.S2OLS, "S2OLS");
  expectSameBits(full.RSQ, quiet.RSQ, "RSQ");
  expectSameBits(full.TSS, quiet.TSS, "TSS");
  expectSameBits(full.PCSE, quiet.PCSE, "PCSE");
  expectSameBits(full.MCOR, quiet.MCOR, "MCOR");
  expectSameBits(full.SVAL, quiet.SVAL, "SVAL");
  expectSameBits(full.DCOS, quiet.DCOS, "DCOS");
  expectSameBits(full.UCOMP, quiet.UCOMP, "UCOMP");
  expectSameBits(full.PCOR, quiet.PCOR, "PCOR");
  expectSameBits(full.BOLS, quiet.BOLS, "BOLS");
  expectSameBits(full.RESID, quiet.RESID, "RESID");
  expectSameBits(full.PCTSTAT, quiet.PCTSTAT, "PCTSTAT");
  expectSameBits(full.XPXFIT, quiet.XPXFIT, "XPXFIT");
  expectSameBits(full.XPXINV, quiet.XPXINV, "XPXINV");
  expectSameBits(full.RELVAR, quiet.RELVAR, "RELVAR");
  expectSameBits(full.OLSTSTAT, quiet.OLSTSTAT, "OLSTSTAT");
}

// The data's path, as Select Shape would set it after the analysis.
void setPath(AnalysisState& s, PathShape shape) {
  s.SHAPECODE = shape;
  s.QSHAPE = shape == PathShape::kQShape ? 0.5f : s.QSHAPE;
  s.MSTEPS = 4;
  s.NSTEPS = s.RANK * s.MSTEPS + 1;
  if (shape == PathShape::kQShape) setPathWeights(s);
}

class ComputeOnly : public ::testing::TestWithParam<Case> {};

TEST_P(ComputeOnly, SameResultsAndNothingShown) {
  const Case& c = GetParam();
  PrecisionScope scope(c.precision);
  AnalysisState full, quiet;
  setUp(full, c);
  setUp(quiet, c);
  test::openScratchOutputs(full);
  test::openScratchOutputs(quiet);
  test::PathMenuSpy menu;

  test::ReportLines fullLines;
  const bool fullDone = LEAST_SQUARES(full);
  ASSERT_FALSE(fullLines.lines().empty());
  const int fullMenus = menu.calls;
  EXPECT_EQ(fullMenus, fullDone ? 1 : 0);

  test::ReportLines quietLines;
  EXPECT_EQ(fullDone, leastSquaresResults(quiet));
  EXPECT_TRUE(quietLines.lines().empty());
  EXPECT_EQ(menu.calls, fullMenus);
  expectSameFit(full, quiet);
  EXPECT_EQ(fileText(quiet.files.SUMMFILE), "");
  EXPECT_EQ(fileText(quiet.files.TRACEFILE), "");
  EXPECT_NE(fileText(full.files.SUMMFILE), "");
  if (!fullDone) return;

  setPath(full, c.shape);
  setPath(quiet, c.shape);
  EXTENT_CRITERIA(full);
  test::ReportLines criteriaLines;
  EXPECT_EQ(extentCriteriaResults(quiet), full.THREEYQ.rows == full.NSTEPS);
  EXPECT_TRUE(criteriaLines.lines().empty());
  ASSERT_EQ(full.THREEYQ.rows, full.NSTEPS);
  expectSameBits(full.DYQ, quiet.DYQ, "DYQ");
  expectSameBits(full.THREEYQ, quiet.THREEYQ, "THREEYQ");
  EXPECT_EQ(fileText(quiet.files.SUMMFILE), "");
  EXPECT_EQ(fileText(quiet.files.TRACEFILE), "");

  // The same from the delta factors of a walk along the path taken first.
  std::vector<DeltaRow> delta(static_cast<std::size_t>(quiet.NSTEPS));
  std::vector<double> k(delta.size());
  double kk = 0.0;
  for (int step = 1; step <= quiet.NSTEPS; ++step) {
    const double m = static_cast<double>(step - 1) / quiet.MSTEPS;
    ASSERT_TRUE(deltaFactorsAt(quiet, m, kk, delta[step - 1], &kk));
    k[step - 1] = kk;
  }
  quiet.DYQ.release();
  quiet.THREEYQ.release();
  ASSERT_TRUE(extentCriteriaFromSteps(quiet, delta.data(), k.data()));
  expectSameBits(full.DYQ, quiet.DYQ, "DYQ from the walk");
  expectSameBits(full.THREEYQ, quiet.THREEYQ, "THREEYQ from the walk");
}

INSTANTIATE_TEST_SUITE_P(Fits, ComputeOnly,
                         ::testing::Values(Case{"HaldRawCentreSingle", &kHaldX, &kHaldY, 0, 0,
                                                Precision::kSingle, PathShape::kQShape},
                                           Case{"HaldRawRescaleSingle", &kHaldX, &kHaldY, 0, 1,
                                                Precision::kSingle, PathShape::kGarrote},
                                           Case{"HaldRawReexpressDouble", &kHaldX, &kHaldY, 0, 2,
                                                Precision::kDouble, PathShape::kLasso},
                                           Case{"HaldRawRescaleDouble", &kHaldX, &kHaldY, 0, 1,
                                                Precision::kDouble, PathShape::kCrosr},
                                           Case{"HaldCrossCentreSingle", &kHaldX, &kHaldY, 1, 0,
                                                Precision::kSingle, PathShape::kQShape},
                                           Case{"HaldCrossReexpressDouble", &kHaldX, &kHaldY, 1, 2,
                                                Precision::kDouble, PathShape::kGarrote},
                                           Case{"DependentRawSingle", &kDependentX, &kHaldY, 0, 1,
                                                Precision::kSingle, PathShape::kQShape},
                                           Case{"DependentCrossDouble", &kDependentX, &kHaldY, 1, 1,
                                                Precision::kDouble, PathShape::kQShape},
                                           Case{"NoResidualDfSingle", &kShortX, &kShortY, 0, 1,
                                                Precision::kSingle, PathShape::kQShape},
                                           Case{"NoResidualDfCrossDouble", &kShortX, &kShortY, 1, 1,
                                                Precision::kDouble, PathShape::kQShape}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

// The model data of raw observations, built with and without showing: the
// same values, and nothing shown by the second.
TEST(ComputeOnlyModelData, SameValuesAndNothingShown) {
  for (Precision precision : {Precision::kSingle, Precision::kDouble}) {
    for (int scalecode : {0, 1, 2}) {
      PrecisionScope scope(precision);
      AnalysisState full, quiet;
      for (AnalysisState* s : {&full, &quiet}) {
        const int n = static_cast<int>(kHaldY.size());
        s->precision = precision;
        s->XPXFORM = 0;
        s->NVAR = 5;
        s->NOBS = n;
        s->P = 4;
        s->YCOL = 5;
        s->YNAME = "y";
        for (int i = 1; i <= 4; ++i) {
          s->XCOL[i] = i;
          s->XNAME[i] = "x" + std::to_string(i);
        }
        s->SCALECODE = scalecode;
        s->memory.N1TEXT = "2";
        s->memory.N2TEXT = "12";
        ASSERT_TRUE(s->DATA.allocate(n, 5));
        for (int k = 1; k <= n; ++k) {
          for (int i = 1; i <= 4; ++i)
            s->DATA.data[k][i] = kHaldX[i - 1][k - 1];
          s->DATA.data[k][5] = kHaldY[k - 1];
        }
        test::openScratchOutputs(*s);
      }
      test::ReportLines fullLines;
      ASSERT_TRUE(buildModelData(full).completed());
      EXPECT_FALSE(fullLines.lines().empty());
      test::ReportLines quietLines;
      setObservationRange(quiet, 2, 12);
      ASSERT_TRUE(computeModelData(quiet).ok());
      EXPECT_TRUE(quietLines.lines().empty());
      EXPECT_EQ(fileText(quiet.files.SUMMFILE), "");
      EXPECT_EQ(fileText(quiet.files.TRACEFILE), "");
      EXPECT_NE(fileText(full.files.TRACEFILE), "");
      EXPECT_EQ(full.N1, quiet.N1);
      EXPECT_EQ(full.N2, quiet.N2);
      EXPECT_EQ(full.N, quiet.N);
      expectSameBits(full.XMAT, quiet.XMAT, "XMAT");
      expectSameBits(full.YVEC, quiet.YVEC, "YVEC");
      expectSameBits(full.XAVG, quiet.XAVG, "XAVG");
      expectSameBits(full.XSTD, quiet.XSTD, "XSTD");
      expectSameBits(full.XCOR, quiet.XCOR, "XCOR");
      expectSameBits(full.YAVG, quiet.YAVG, "YAVG");
      expectSameBits(full.YSTD, quiet.YSTD, "YSTD");
    }
  }
}

// A model that cannot be fitted is refused by the status alone: the
// sentence the report would show, and no line reported.
TEST(ComputeOnlyModelData, StopsWithTheReasonAndReportsNothing) {
  PrecisionScope scope(Precision::kDouble);
  for (int scalecode : {0, 1}) {
    AnalysisState s;
    s.precision = Precision::kDouble;
    const int n = static_cast<int>(kHaldY.size());
    s.XPXFORM = 0;
    s.NVAR = 5;
    s.NOBS = n;
    s.P = 4;
    s.YCOL = 5;
    s.YNAME = "y";
    for (int i = 1; i <= 4; ++i) {
      s.XCOL[i] = i;
      s.XNAME[i] = "x" + std::to_string(i);
    }
    s.SCALECODE = scalecode;
    ASSERT_TRUE(s.DATA.allocate(n, 5));
    for (int k = 1; k <= n; ++k) {
      for (int i = 1; i <= 4; ++i)
        s.DATA.data[k][i] = i == 3 ? 4.0 : kHaldX[i - 1][k - 1];  // x3 constant
      s.DATA.data[k][5] = kHaldY[k - 1];
    }
    setObservationRange(s, 1, n);
    test::ReportLines lines;
    const Status st = computeModelData(s);
    EXPECT_EQ(st.code, StatusCode::kStopped);
    EXPECT_EQ(st.message, scalecode == 1
                              ? "The predictor x3 has standard deviation 0 and cannot be rescaled. "
                                "Batch input stopped."
                              : "The predictor x3 has standard deviation 0: a constant predictor "
                                "cannot be fitted beside the mean. Batch input stopped.");
    EXPECT_TRUE(lines.lines().empty());
  }
}

// Without an analysis the compute-only criteria leave the path alone, as the
// full ones do, and say so by their result instead of a report line.
TEST(ComputeOnlyCriteria, RefuseWithoutAnAnalysis) {
  PrecisionScope scope(Precision::kDouble);
  AnalysisState s;
  s.precision = Precision::kDouble;
  s.RANK = 0;
  test::ReportLines lines;
  EXPECT_FALSE(extentCriteriaResults(s));
  EXPECT_TRUE(lines.lines().empty());
  EXPECT_EQ(s.THREEYQ.rows, 0);
  EXPECT_EQ(s.DYQ.rows, 0);
}

}  // namespace
}  // namespace tolvane
