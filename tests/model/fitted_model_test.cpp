// The fit at an extent, in the data's units, against fits the test computes
// itself with Eigen from the observations: on the Q = 0 path the shrunken
// fit is ordinary ridge regression on the standardized data, back-transformed
// with its intercept; at MCAL 0 it is least squares with the usual standard
// errors.
#include "model/fitted_model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "model_fixture.hpp"

namespace tolvane::test {
namespace {

struct Case {
  const char* file;  // analysed
  const char* twin;  // the same data as observations
};

class FitExamples : public ModelFixture, public ::testing::WithParamInterface<Case> {
 protected:
  // The observations behind the analysis in the order of its predictors.
  void observations(Eigen::MatrixXd* x, Eigen::VectorXd* y) {
    if (s.XPXFORM == 0) {
      *x = predictors();
      *y = response();
      return;
    }
    auto raw = std::make_unique<AnalysisState>();
    ASSERT_TRUE(runDataFile(*raw, examplePath(GetParam().twin), dir_));
    *x = Eigen::MatrixXd(raw->NOBS, s.P);
    *y = Eigen::VectorXd(raw->NOBS);
    for (int j = 1; j <= s.P; ++j) {
      int column = 0;
      for (int c = 1; c <= raw->NVAR; ++c) {
        if (raw->VNAME[c] == s.XNAME[j]) column = c;
      }
      ASSERT_GT(column, 0) << s.XNAME[j];
      for (int i = 0; i < raw->NOBS; ++i)
        (*x)(i, j - 1) = raw->DATA.data[i + 1][column];
    }
    for (int c = 1; c <= raw->NVAR; ++c) {
      if (raw->VNAME[c] != s.YNAME) continue;
      for (int i = 0; i < raw->NOBS; ++i)
        (*y)(i) = raw->DATA.data[i + 1][c];
    }
    raw->files.closeBoth();
  }
};

// Ridge on the test's own scaling, in the data's units: the coefficients
// times ySd / xSd and the intercept that puts the fit through the means.
Eigen::VectorXd ridgeInDataUnits(const Scaled& d, double k) {
  const int p = static_cast<int>(d.x.cols());
  const Eigen::MatrixXd a = d.x.transpose() * d.x + k * Eigen::MatrixXd::Identity(p, p);
  const Eigen::VectorXd b = a.ldlt().solve(d.x.transpose() * d.y);
  Eigen::VectorXd out(p + 1);
  for (int j = 0; j < p; ++j)
    out(j + 1) = b(j) * d.ySd / d.xSd(j);
  out(0) = d.yMean - d.xMean.dot(out.tail(p));
  return out;
}

// Single precision stores every intermediate of the analysis: a coefficient
// carries about the float epsilon times the condition of the standardized
// cross-products, relative to the largest coefficient; the intercept also
// that times the predictor means.
double tolerance(const Eigen::VectorXd& reference, const Scaled& d) {
  const double largest = reference.tail(reference.size() - 1).cwiseAbs().maxCoeff();
  const double meanSize = 1.0 + d.xMean.cwiseAbs().maxCoeff();
  return 2e-3 * largest * meanSize + 1e-5 * std::fabs(reference(0));
}

TEST_P(FitExamples, QZeroFitIsRidgeRegressionInTheDataUnitsAtEveryScaling) {
  for (int scale : {kCenterOnly, kCenterRescale, kReExpress}) {
    SCOPED_TRACE(::testing::Message() << GetParam().file << " scale " << scale);
    ASSERT_TRUE(analyse(examplePath(GetParam().file), scale));
    Eigen::MatrixXd x;
    Eigen::VectorXd y;
    observations(&x, &y);
    const Scaled d = scaleData(x, y, s.SCALECODE);
    // Between steps as well as on them: the fit is solved at the MCAL.
    for (double mcal : {0.0, 0.25, 0.6, 1.0, 1.37, s.RANK / 2.0, s.RANK - 0.1}) {
      ChosenExtent e;
      std::string why;
      ASSERT_TRUE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kMcal, mcal}, &e), &why))
          << why;
      FittedModel fit;
      ASSERT_TRUE(fitAtExtent(s, e, &fit));
      ASSERT_EQ(static_cast<int>(fit.terms.size()), s.P + 1);
      const Eigen::VectorXd ref = ridgeInDataUnits(d, e.k);
      const double tol = tolerance(ref, d);
      for (int j = 0; j <= s.P; ++j)
        EXPECT_NEAR(fit.terms[j].shrunken, ref(j), tol) << "MCAL " << mcal << " term " << j;
      // The same k really has MCAL = RANK - trace of the ridge smoother.
      const Eigen::MatrixXd xtx = d.x.transpose() * d.x;
      const Eigen::MatrixXd a = xtx + e.k * Eigen::MatrixXd::Identity(s.P, s.P);
      EXPECT_NEAR(s.RANK - a.ldlt().solve(xtx).trace(), mcal, 2e-3) << mcal;
      EXPECT_NEAR(fit.effectiveDf, s.RANK - mcal + 1.0, 1e-12);
    }
  }
}

TEST_P(FitExamples, LeastSquaresColumnsAreOrdinaryRegressionWithItsStandardErrors) {
  ASSERT_TRUE(analyse(examplePath(GetParam().file), kReExpress));
  ASSERT_EQ(s.RANK, s.P);
  Eigen::MatrixXd x;
  Eigen::VectorXd y;
  observations(&x, &y);
  const int n = static_cast<int>(x.rows()), p = s.P;
  Eigen::MatrixXd design(n, p + 1);
  design << Eigen::VectorXd::Ones(n), x;
  const Eigen::MatrixXd xtx = design.transpose() * design;
  const Eigen::VectorXd beta = xtx.ldlt().solve(design.transpose() * y);
  const double s2 = (y - design * beta).squaredNorm() / (n - p - 1);
  const Eigen::MatrixXd cov = s2 * xtx.inverse();
  ChosenExtent e;
  std::string why;
  ASSERT_TRUE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kMcal, 0.0}, &e), &why)) << why;
  FittedModel fit;
  ASSERT_TRUE(fitAtExtent(s, e, &fit));
  EXPECT_NEAR(fit.s2, s2, 1e-3 * s2);
  const Scaled d = scaleData(x, y, 1);
  const double tol = tolerance(beta, d);
  for (int j = 0; j <= p; ++j) {
    SCOPED_TRACE(j);
    EXPECT_NEAR(fit.terms[j].leastSquares, beta(j), tol);
    EXPECT_NEAR(fit.terms[j].shrunken, beta(j), tol);
    const double se = std::sqrt(cov(j, j));
    EXPECT_NEAR(fit.terms[j].leastSquaresSe, se, 2e-3 * se);
    // Unshrunken, the estimated error is the standard error.
    EXPECT_NEAR(fit.terms[j].rmse, se, 2e-3 * se);
  }
  EXPECT_NEAR(fit.rSquared, s.RSQ, 1e-4);
  EXPECT_NEAR(fit.residualSd, std::sqrt(s2), 1e-3 * std::sqrt(s2));
}

// At a step of the path the relative risk of the ridge traces times s^2 is
// the squared estimated error, on the standardized scale; in the data's
// units it is scaled by ySd / xSd.
TEST_P(FitExamples, EstimatedErrorsAgreeWithTheRiskTraceAtEveryStep) {
  ASSERT_TRUE(
      analyse(examplePath(GetParam().file), kCenterRescale, PathShape::kQShape, "-1", kStepsFour));
  for (int step = 1; step <= s.NSTEPS; ++step) {
    ChosenExtent e;
    std::string why;
    ASSERT_TRUE(
        passed(chooseExtent(s, walk, cc, {ExtentCriterion::kMcal, walk.mcal[step - 1]}, &e), &why));
    FittedModel fit;
    ASSERT_TRUE(fitAtExtent(s, e, &fit));
    for (int j = 1; j <= s.P; ++j) {
      const double scale = static_cast<double>(s.YSTD) / s.XSTD.data[j];
      const double fromTrace =
          std::sqrt(static_cast<double>(s.RYQ.data[step][j]) * s.S2OLS) * scale;
      // The trace sums G M G' in single precision: its rounding is relative
      // to the largest terms, of the size of the least-squares variance.
      EXPECT_NEAR(fit.terms[j].rmse, fromTrace, 1e-3 * fit.terms[j].leastSquaresSe)
          << "step " << step << " predictor " << j;
      EXPECT_NEAR(fit.terms[j].shrunken, s.CYQ.data[step][j] * scale,
                  1e-4 * (std::fabs(fit.terms[j].leastSquares) + 1e-3))
          << "step " << step << " predictor " << j;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Bundled, FitExamples,
                         ::testing::Values(Case{"hald.ayq", "hald.ayq"},
                                           Case{"hald_xpx.ayq", "hald.ayq"},
                                           Case{"plant.ayq", "plant.ayq"},
                                           Case{"plant_xpx.ayq", "plant.ayq"},
                                           Case{"wide.ayq", "wide.ayq"}),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           return name.substr(0, name.find('.'));
                         });

TEST_F(ModelFixture, FittedValuesAndResidualsFollowTheShrunkenCoefficients) {
  ASSERT_TRUE(analyse(examplePath("hald.ayq"), kCenterRescale));
  ChosenExtent e;
  std::string why;
  ASSERT_TRUE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kMcal, 1.5}, &e), &why));
  FittedModel fit;
  ASSERT_TRUE(fitAtExtent(s, e, &fit));
  const std::string csv = fittedValuesCsv(s, fit);
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "observation,y,fitted,residual");
  const Eigen::MatrixXd x = predictors();
  const Eigen::VectorXd y = response();
  double rss = 0.0;
  int rows = 0;
  while (std::getline(in, line)) {
    int obs = 0;
    double yy = 0, fitted = 0, residual = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%d,%lf,%lf,%lf", &obs, &yy, &fitted, &residual), 4);
    double expect = fit.terms[0].shrunken;
    for (int j = 0; j < s.P; ++j)
      expect += fit.terms[j + 1].shrunken * x(rows, j);
    EXPECT_EQ(obs, rows + 1);
    EXPECT_NEAR(fitted, expect, 1e-6 * std::fabs(expect));
    EXPECT_NEAR(residual, y(rows) - expect, 1e-5 * std::fabs(expect));
    rss += residual * residual;
    ++rows;
  }
  EXPECT_EQ(rows, s.N);
  // The residual SD of the block comes from the same residuals.
  EXPECT_NEAR(fit.residualSd, std::sqrt(rss / (s.N - fit.effectiveDf)), 1e-3 * fit.residualSd);
}

}  // namespace
}  // namespace tolvane::test
