// The comparison criteria against their textbook closed forms, computed by
// the test with Eigen from the observations: the ridge smoother
// H = 1 1'/N + X (X'X + kI)^-1 X' at each step's constant of the Q = 0 path,
// leave-one-out by refitting without each observation, and the HKB and LW
// constants from the least-squares fit.
#include "model/comparison_criteria.hpp"

#include <gtest/gtest.h>
#include <algorithm>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>

#include "bootstrap_support.hpp"
#include "model_fixture.hpp"
#include "report/report.hpp"
#include "support/refused_threads.hpp"

namespace tolvane::test {
namespace {

class CriteriaExamples : public ModelFixture, public ::testing::WithParamInterface<const char*> {};

struct Reference {
  double gcv, press, aic, bic;
};

// The criteria of ridge regression at k, in the squared units of the data
// (the scaled response times ySd).
Reference ridgeReference(const Scaled& d, double k) {
  const int n = static_cast<int>(d.x.rows()), p = static_cast<int>(d.x.cols());
  const Eigen::MatrixXd a = d.x.transpose() * d.x + k * Eigen::MatrixXd::Identity(p, p);
  const Eigen::MatrixXd h =
      Eigen::MatrixXd::Constant(n, n, 1.0 / n) + d.x * a.ldlt().solve(d.x.transpose());
  const Eigen::VectorXd y = d.y * d.ySd;
  const Eigen::VectorXd e = y - h * y;
  const double rss = e.squaredNorm(), df = h.trace();
  Reference r{};
  r.gcv = n * rss / ((n - df) * (n - df));
  r.aic = n * std::log(rss / n) + 2.0 * df;
  r.bic = n * std::log(rss / n) + std::log(static_cast<double>(n)) * df;
  // Leave each observation out: ridge with a free intercept on the rest.
  r.press = 0.0;
  for (int i = 0; i < n; ++i) {
    Eigen::MatrixXd design(n - 1, p + 1);
    Eigen::VectorXd rest(n - 1);
    for (int row = 0, at = 0; row < n; ++row) {
      if (row == i) continue;
      design(at, 0) = 1.0;
      design.row(at).tail(p) = d.x.row(row);
      rest(at++) = y(row);
    }
    Eigen::MatrixXd penalty = k * Eigen::MatrixXd::Identity(p + 1, p + 1);
    penalty(0, 0) = 0.0;
    const Eigen::VectorXd b =
        (design.transpose() * design + penalty).ldlt().solve(design.transpose() * rest);
    const double predicted = b(0) + d.x.row(i).dot(b.tail(p));
    r.press += (y(i) - predicted) * (y(i) - predicted);
  }
  return r;
}

TEST_P(CriteriaExamples, QZeroPathCriteriaAreThoseOfRidgeRegression) {
  for (int scale : {kCenterOnly, kCenterRescale}) {
    SCOPED_TRACE(::testing::Message() << GetParam() << " scale " << scale);
    ASSERT_TRUE(analyse(examplePath(GetParam()), scale, PathShape::kQShape, "0", kStepsOne));
    const Scaled d = scaleData(predictors(), response(), s.SCALECODE);
    ASSERT_EQ(static_cast<int>(cc.mcal.size()), s.NSTEPS);
    ASSERT_TRUE(cc.hasLoo());
    // The last step shrinks everything: k is infinite and the fit is the mean.
    // The leave-one-out reference refits N times a step, so long paths are
    // checked at about eight evenly spaced steps (every step on short ones).
    const int stride = std::max(1, (s.NSTEPS - 1) / 8);
    for (int step = 1; step < s.NSTEPS; step += stride) {
      const Reference r = ridgeReference(d, walk.k[step - 1]);
      const int i = step - 1;
      // Relative to the criteria's size: the principal correlations and the
      // coordinates come out of single-precision storage.
      EXPECT_NEAR(cc.of(ComparisonKind::kGcv)[i], r.gcv, 1e-4 * r.gcv) << step;
      EXPECT_NEAR(cc.of(ComparisonKind::kLoo)[i], r.press, 1e-4 * r.press) << step;
      // N ln(RSS / N) turns RSS's relative error into N times as much.
      EXPECT_NEAR(cc.of(ComparisonKind::kAic)[i], r.aic, 1e-4 * s.N) << step;
      EXPECT_NEAR(cc.of(ComparisonKind::kBic)[i], r.bic, 1e-4 * s.N) << step;
    }
    // At MCAL = RANK only the mean is fitted: RSS is the total sum of squares.
    const Eigen::VectorXd y = d.y * d.ySd;
    const double tss = y.squaredNorm();
    const double n = s.N;
    EXPECT_NEAR(cc.of(ComparisonKind::kGcv).back(), n * tss / ((n - 1) * (n - 1)), 1e-4 * tss);
    // The reported minimum is the smallest value and its step's MCAL.
    for (ComparisonKind kind :
         {ComparisonKind::kGcv, ComparisonKind::kLoo, ComparisonKind::kAic, ComparisonKind::kBic}) {
      const CriterionMinimum& m = cc.minOf(kind);
      ASSERT_TRUE(m.available);
      const std::vector<double>& v = cc.of(kind);
      for (double value : v)
        EXPECT_LE(m.value, value);
      EXPECT_EQ(m.value, v[m.step - 1]);
      EXPECT_EQ(m.mcal, cc.mcal[m.step - 1]);
    }
  }
}

// Both rules from their definitions on predictors of unit length (centred,
// each column of sum of squares 1, so X'X is the correlation matrix), where
// HKB is p s^2 / b'b and LW p s^2 / b'X'Xb; the ridge fit with constant k
// there is the fit with (N - 1) k on the model's scale. The check is on the
// fit itself: the model-scale ridge at the rule's k gives the unit-length
// ridge's coefficients at the definition's k. Wide (N - 1 = 199) tells a
// missing factor from round-off; so does Hald (12) and plant.
TEST_P(CriteriaExamples, RidgeRulesFollowTheirDefinitionsOnUnitLengthScaling) {
  ASSERT_TRUE(
      analyse(examplePath(GetParam()), kCenterRescale, PathShape::kGarrote, "0", kStepsFour));
  const int n = s.N, p = s.P;
  ASSERT_EQ(s.RANK, p);
  Eigen::MatrixXd xu = predictors();
  xu.rowwise() -= xu.colwise().mean();
  const Eigen::RowVectorXd norms = xu.colwise().norm();
  for (int j = 0; j < p; ++j)
    xu.col(j) /= norms(j);
  Eigen::VectorXd y = response();
  y.array() -= y.mean();
  const Eigen::MatrixXd r = xu.transpose() * xu;
  const Eigen::VectorXd bu = r.ldlt().solve(xu.transpose() * y);
  const double s2 = (y - xu * bu).squaredNorm() / (n - p - 1);
  const double hkbUnit = p * s2 / bu.squaredNorm();
  const double lwUnit = p * s2 / bu.dot(r * bu);
  EXPECT_NEAR(cc.hkb.k, (n - 1) * hkbUnit, 1e-3 * (n - 1) * hkbUnit);
  EXPECT_NEAR(cc.lw.k, (n - 1) * lwUnit, 1e-3 * (n - 1) * lwUnit);

  // The model's ridge at the reported k reproduces the unit-length ridge at
  // the definition's k (coefficients compared on the unit-length scale).
  const Scaled d = scaleData(predictors(), response(), s.SCALECODE);
  const Eigen::MatrixXd xtx = d.x.transpose() * d.x;
  const Eigen::MatrixXd id = Eigen::MatrixXd::Identity(p, p);
  const auto unitRidge = [&](double k) {
    return Eigen::VectorXd((r + k * id).ldlt().solve(xu.transpose() * y));
  };
  const auto modelRidge = [&](double k) {
    // Model scale: x / sd and y / ySd; back to unit length, b sd sqrt(N-1) ySd.
    const Eigen::VectorXd b = (xtx + k * id).ldlt().solve(d.x.transpose() * d.y);
    return Eigen::VectorXd(b * std::sqrt(n - 1.0) * d.ySd);
  };
  for (const auto& [name, unitK, modelK] :
       {std::tuple{"HKB", hkbUnit, cc.hkb.k}, std::tuple{"LW", lwUnit, cc.lw.k}}) {
    const Eigen::VectorXd want = unitRidge(unitK), got = modelRidge(modelK);
    EXPECT_LT((got - want).norm(), 1e-3 * want.norm()) << name;
  }
  const auto mcalOf = [&](double k) { return p - (xtx + k * id).ldlt().solve(xtx).trace(); };
  EXPECT_NEAR(cc.hkb.mcal, mcalOf(cc.hkb.k), 1e-3);
  EXPECT_NEAR(cc.lw.mcal, mcalOf(cc.lw.k), 1e-3);

  // On the Q = 0 path the extent at the rule's MCAL has the rule's constant.
  ASSERT_TRUE(reselect(PathShape::kQShape, "0", kStepsFour));
  for (const auto& [criterion, k] :
       {std::pair{ExtentCriterion::kHkb, cc.hkb.k}, std::pair{ExtentCriterion::kLw, cc.lw.k}}) {
    ChosenExtent e;
    std::string why;
    ASSERT_TRUE(passed(chooseExtent(s, walk, cc, {criterion, 0.0}, &e), &why)) << why;
    EXPECT_NEAR(e.k, k, 2e-3 * k);
    EXPECT_TRUE(e.warning.empty()) << e.warning;
  }
}

// The Hald data's constants as the peers print them, converted: MASS's
// select works on predictors of mean square 1 (X'X = N R, so its lambda is
// N / (N - 1) times the model's k) and takes p - 2 where the definitions
// take p. Its values, printed by select(lm.ridge(y ~ ., hald)) in R 4.2
// with MASS 7.3-58, are the reference.
TEST_F(ModelFixture, HaldRidgeRulesAgreeWithThePeersConventionsConverted) {
  ASSERT_TRUE(analyse(examplePath("hald.ayq"), kCenterRescale));
  const double n = s.N, p = s.P;
  const double toPeer = (p - 2.0) / p * n / (n - 1.0);
  EXPECT_NEAR(cc.hkb.k * toPeer, 0.08499604, 1e-5 * 0.085);
  EXPECT_NEAR(cc.lw.k * toPeer, 0.05830686, 1e-5 * 0.058);
}

INSTANTIATE_TEST_SUITE_P(Bundled, CriteriaExamples,
                         ::testing::Values("hald.ayq", "plant.ayq", "wide.ayq"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

// A response orthogonal to both predictors: nothing is explained, so every
// bit of fit is overfitting and GCV, PRESS, AIC and BIC fall all the way to
// MCAL = RANK.
TEST_F(ModelFixture, ACriterionWithoutInteriorMinimumSaysSoAndTheExtentUsesTheEnd) {
  Eigen::MatrixXd data(12, 3);
  for (int i = 0; i < 12; ++i) {
    const double a = (i % 2 == 0) ? 1 : -1, b = (i % 4 < 2) ? 1 : -1;
    const double c = (i % 3 == 0) ? 2 : -1;  // a third pattern, for full rank
    data(i, 0) = a + 0.5 * c;
    data(i, 1) = b;
    data(i, 2) = 10 + a * b;
  }
  ASSERT_TRUE(analyse(writeData("orth.ayq", data), kCenterRescale));
  const CriterionMinimum& gcv = cc.minOf(ComparisonKind::kGcv);
  ASSERT_TRUE(gcv.available);
  EXPECT_TRUE(gcv.atEnd);
  EXPECT_EQ(gcv.mcal, s.RANK);
  EXPECT_EQ(endOfPathNote("GCV", gcv), "GCV keeps falling to MCAL = RANK: no interior minimum");
  ChosenExtent e;
  std::string why;
  ASSERT_TRUE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kGcv, 0.0}, &e), &why)) << why;
  EXPECT_EQ(e.mcal, s.RANK);
  EXPECT_NE(e.warning.find("no interior minimum"), std::string::npos) << e.warning;
  // An interior minimum gives no note.
  CriterionMinimum interior = gcv;
  interior.atEnd = false;
  EXPECT_EQ(endOfPathNote("GCV", interior), "");
}

TEST_F(ModelFixture, CrossProductsHaveNoPressAndTheReportSaysWhy) {
  ASSERT_TRUE(analyse(examplePath("hald_xpx.ayq"), kCenterRescale));
  EXPECT_FALSE(cc.hasLoo());
  EXPECT_FALSE(cc.minOf(ComparisonKind::kLoo).available);
  EXPECT_TRUE(cc.minOf(ComparisonKind::kGcv).available);
  ChosenExtent e;
  std::string why;
  EXPECT_FALSE(passed(chooseExtent(s, walk, cc, {ExtentCriterion::kLoo, 0.0}, &e), &why));
  EXPECT_NE(why.find("cross-products"), std::string::npos) << why;
  const int before = reportCounters().linesWritten;
  reportComparisonCriteria(s, cc);
  const std::vector<std::string> lines = reportLinesSince(before);
  bool said = false;
  for (const std::string& line : lines)
    said = said || (line.find("PRESS") != std::string::npos &&
                    line.find("cross-products") != std::string::npos);
  EXPECT_TRUE(said);
  // The same GCV as the raw data behind the sums, to single precision.
  const std::vector<double> gcv = cc.of(ComparisonKind::kGcv);
  ASSERT_TRUE(analyse(examplePath("hald.ayq"), kCenterRescale));
  ASSERT_EQ(gcv.size(), cc.of(ComparisonKind::kGcv).size());
  for (std::size_t i = 0; i < gcv.size(); ++i)
    EXPECT_NEAR(gcv[i], cc.of(ComparisonKind::kGcv)[i], 1e-3 * gcv[i]) << i;
}

TEST_F(ModelFixture, CsvHasOneRowPerStepAndEmptyPressCellsForCrossProducts) {
  ASSERT_TRUE(analyse(examplePath("hald_xpx.ayq"), kCenterRescale));
  const std::string path = dir_ + "/crit.csv";
  const Status written = writeComparisonCsv(cc, path);
  ASSERT_TRUE(written.ok()) << written.message;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "step,MCAL,GCV,PRESS,AIC,BIC");
  int rows = 0;
  while (std::getline(in, line)) {
    ++rows;
    int step = 0;
    double mcal = 0, gcv = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%d,%lf,%lf,", &step, &mcal, &gcv), 3) << line;
    EXPECT_EQ(step, rows);
    EXPECT_DOUBLE_EQ(mcal, (rows - 1) / 4.0);
    EXPECT_NE(line.find(",,"), std::string::npos) << line;
  }
  EXPECT_EQ(rows, s.NSTEPS);
}

}  // namespace
}  // namespace tolvane::test

namespace tolvane::test {
namespace {

// On tall data PRESS runs its steps on the threads: the same bits for any
// number of them, also when the system refuses threads, and the value of a
// hand computation.
TEST(ComparisonThreads, TallDataGivePressOfTheSameBitsOnAnyNumberOfThreads) {
  std::mt19937_64 g(77);
  std::normal_distribution<double> z;
  std::vector<std::vector<double>> rows(3000, std::vector<double>(6));
  for (auto& row : rows) {
    for (int j = 0; j < 5; ++j)
      row[j] = z(g) + (j > 0 ? 0.6 * row[j - 1] : 0.0);
    row[5] = row[0] - 0.5 * row[2] + row[4] + z(g);
  }
  AnalysisState s;
  ASSERT_TRUE(analyseRows(s, rows));
  PathWalk walk;
  ASSERT_TRUE(walkPath(s, &walk));
  ASSERT_GT(3000.0 * s.RANK * walk.steps(), 2.0e5) << "the threads must be used";
  ComparisonCriteria one;
  ASSERT_TRUE(computeComparisonCriteria(s, walk, &one, 1).ok());
  ASSERT_TRUE(one.hasLoo());
  const std::vector<double>& press = one.of(ComparisonKind::kLoo);
  for (unsigned threads : {2u, 3u, 8u}) {
    ComparisonCriteria many;
    ASSERT_TRUE(computeComparisonCriteria(s, walk, &many, threads).ok());
    ASSERT_EQ(many.of(ComparisonKind::kLoo).size(), press.size());
    EXPECT_EQ(std::memcmp(many.of(ComparisonKind::kLoo).data(), press.data(),
                          press.size() * sizeof(double)),
              0)
        << threads;
  }
  {
    RefusedThreads refused(0);
    ComparisonCriteria alone;
    ASSERT_TRUE(computeComparisonCriteria(s, walk, &alone, 4).ok());
    EXPECT_EQ(std::memcmp(alone.of(ComparisonKind::kLoo).data(), press.data(),
                          press.size() * sizeof(double)),
              0);
  }
  // At MCAL 0, least squares' leave-one-out residuals from the hat matrix
  // of the model's own (centred, rescaled) predictors.
  Eigen::MatrixXd x(s.N, s.P);
  Eigen::VectorXd y(s.N);
  for (int i = 0; i < s.N; ++i) {
    for (int j = 0; j < s.P; ++j)
      x(i, j) = s.XMAT.data[i + 1][j + 1];
    y(i) = s.YVEC.data[i + 1];
  }
  const Eigen::MatrixXd inverse = (x.transpose() * x).inverse();
  const Eigen::VectorXd e = y - x * (inverse * (x.transpose() * y));
  double expected = 0.0;
  for (int i = 0; i < s.N; ++i) {
    const double h = 1.0 / s.N + x.row(i).dot(inverse * x.row(i).transpose());
    expected += std::pow(e(i) / (1.0 - h), 2);
  }
  expected *= static_cast<double>(s.YSTD) * s.YSTD;
  EXPECT_NEAR(press[0], expected, 1e-8 * expected);
}

}  // namespace
}  // namespace tolvane::test
