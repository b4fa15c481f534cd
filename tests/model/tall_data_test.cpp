// Delimited text of more than 200 rows stays raw data in double precision:
// least squares as an independent double-precision solve gives it, PRESS
// from the leverages, resampling and the fitted values; asked for, or in
// single precision, the same file streams into cross-products and says what
// that form cannot give. Hundreds of predictors agree with dense algebra.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "input/batch_input_run.hpp"
#include "input/delimited_input.hpp"
#include "model/bootstrap.hpp"
#include "model/fitted_model.hpp"
#include "model/model_results.hpp"
#include "model_fixture.hpp"
#include "support/report_lines.hpp"

namespace tolvane::test {
namespace {

constexpr int kRows = 442, kPredictors = 10;

// The report's text with its wrapped lines joined by single blanks.
std::string flat(const ReportLines& report) {
  std::string text;
  for (const std::string& line : report.lines()) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start != std::string::npos) text += line.substr(start) + " ";
  }
  return text;
}

class TallData : public ModelFixture {
 protected:
  void SetUp() override {
    ModelFixture::SetUp();
    write(kRows, kPredictors);
  }

  // Correlated predictors on different scales and a known linear model.
  void write(int rows, int predictors) {
    std::mt19937_64 g(442);
    std::normal_distribution<double> z;
    data_.resize(rows, predictors + 1);
    for (int i = 0; i < rows; ++i) {
      double previous = 0.0;
      for (int j = 0; j < predictors; ++j) {
        previous = 0.8 * previous + 0.6 * z(g);
        data_(i, j) = (j + 1) * previous + 10.0 * j;
      }
      double y = 5.0 + 3.0 * z(g);
      for (int j = 0; j < predictors; ++j)
        y += (j % 3 - 1) * 0.5 * data_(i, j) / (j + 1);
      data_(i, predictors) = y;
    }
    csv_ = dir_ + "/tall.csv";
    std::ofstream out(csv_);
    for (int j = 0; j < predictors; ++j)
      out << "x" << j + 1 << ",";
    out << "y\n";
    out.precision(17);
    for (int i = 0; i < rows; ++i) {
      for (int j = 0; j <= predictors; ++j)
        out << data_(i, j) << (j == predictors ? "\n" : ",");
    }
  }

  bool run(std::int64_t rawBudget) {
    std::FILE* in = std::fopen(csv_.c_str(), "r");
    if (in == nullptr) return false;
    BatchInput input{in, csv_, dir_, std::time_t{1'000'000'000}};
    input.delimited = true;
    input.rawBudget = rawBudget;
    ModelSettings settings;
    settings.ifExists = IfExists::kOverwrite;
    settings.scale = kCenterOnly;
    settings.precision = s.precision;
    return runBatchInput(s, input, settings).completed() && reselect(PathShape::kQShape, "0", 4);
  }

  Eigen::MatrixXd data_;
  std::string csv_;
};

TEST_F(TallData, OverTwoHundredRowsStayRawWithEveryRawDataResult) {
  ReportLines report;
  ASSERT_TRUE(run(kDefaultRawBudget));
  ASSERT_EQ(s.XPXFORM, 0);
  ASSERT_EQ(s.N, kRows);
  EXPECT_EQ(flat(report).find("cross-products"), std::string::npos);

  // Least squares by Householder QR of the centred data, in double.
  const Eigen::MatrixXd x =
      data_.leftCols(kPredictors).rowwise() - data_.leftCols(kPredictors).colwise().mean();
  const Eigen::VectorXd y = data_.col(kPredictors).array() - data_.col(kPredictors).mean();
  const Eigen::VectorXd b = x.colPivHouseholderQr().solve(y);
  // Predictors come in the order the role list shows them (x1, x10, x2...).
  for (int j = 1; j <= kPredictors; ++j) {
    const double expected = b(s.XCOL[j] - 1);
    EXPECT_NEAR(s.BOLS.data[j], expected, 1e-9 * (1.0 + std::fabs(expected))) << j;
  }

  // PRESS at MCAL 0 from the leverages of the fit with its intercept.
  ASSERT_TRUE(cc.hasLoo());
  const Eigen::VectorXd e = y - x * b;
  const Eigen::MatrixXd inverse = (x.transpose() * x).inverse();
  double press = 0.0;
  for (int i = 0; i < kRows; ++i) {
    const double h = 1.0 / kRows + x.row(i).dot(inverse * x.row(i).transpose());
    press += std::pow(e(i) / (1.0 - h), 2);
  }
  EXPECT_NEAR(cc.of(ComparisonKind::kLoo)[0], press, 1e-8 * press);

  // The fitted values cover every row, and the rows can be resampled.
  ModelResults results;
  ASSERT_TRUE(computeModelResults(s, {}, &results).ok());
  const std::string fitted = fittedValuesCsv(s, results.fit);
  EXPECT_EQ(std::count(fitted.begin(), fitted.end(), '\n'), kRows + 1);
  BootstrapSettings settings;
  settings.resamples = 20;
  const auto boot = runBootstrap(s, settings, {});
  ASSERT_TRUE(boot) << boot.message();
  EXPECT_EQ(boot->used, 20);
}

TEST_F(TallData, AskedForOrInSinglePrecisionTheRowsStreamAndTheReportSaysWhatIsLost) {
  ReportLines asked;
  ASSERT_TRUE(run(0));
  ASSERT_EQ(s.XPXFORM, 1);
  EXPECT_NE(flat(asked).find("Cross-products were asked for; cross-products give no fitted "
                             "values or residuals, no PRESS, no resampled intervals and no "
                             "observation range."),
            std::string::npos)
      << flat(asked);
  EXPECT_FALSE(cc.hasLoo());
  EXPECT_NE(resamplingStatus(s).message.find("cross-products"), std::string::npos);
  std::vector<double> streamed;
  for (int j = 1; j <= kPredictors; ++j)
    streamed.push_back(s.BOLS.data[j]);

  // The same least squares as the raw rows give.
  ASSERT_TRUE(run(kDefaultRawBudget));
  ASSERT_EQ(s.XPXFORM, 0);
  for (int j = 1; j <= kPredictors; ++j)
    EXPECT_NEAR(streamed[j - 1], s.BOLS.data[j], 1e-8 * (1.0 + std::fabs(s.BOLS.data[j]))) << j;

  // A budget that holds fewer rows than the file has.
  ReportLines small;
  ASSERT_TRUE(run(100 * (kPredictors + 1) * kBytesPerRawValue));
  EXPECT_EQ(s.XPXFORM, 1);
  EXPECT_NE(flat(small).find("memory budget holds (100 rows of these columns)"), std::string::npos);

  s.precision = Precision::kSingle;
  ReportLines single;
  ASSERT_TRUE(run(kDefaultRawBudget));
  EXPECT_EQ(s.XPXFORM, 1);
  EXPECT_NE(flat(single).find("Single precision keeps at most 200 rows as raw data"),
            std::string::npos);
}

// The fitted values file is written as it is made, in pieces, and holds
// what the text made at once holds.
TEST_F(TallData, FittedValuesStreamToTheirFile) {
  write(5000, 3);
  ReportLines report;
  ASSERT_TRUE(run(kDefaultRawBudget));
  ModelResults results;
  ASSERT_TRUE(computeModelResults(s, {}, &results).ok());
  const std::string path = dir_ + "/fitted.csv";
  ASSERT_TRUE(writeFittedValues(path, s, results.fit).ok());
  std::ifstream in(path, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string whole = fittedValuesCsv(s, results.fit);
  EXPECT_GT(whole.size(), std::size_t{2} << 16);  // several pieces
  EXPECT_EQ(written, whole);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 5001);
  EXPECT_FALSE(writeFittedValues(dir_, s, results.fit).ok()) << "a folder is no file";
}

// Hundreds of predictors in double precision: least squares, its standard
// errors and the fit's error sizes as dense double-precision algebra gives
// them; single precision refuses the file and names double precision.
TEST_F(TallData, TwoHundredPredictorsAgreeWithADenseSolve) {
  constexpr int kRowsWide = 400, kWide = 200;
  write(kRowsWide, kWide);
  ReportLines report;
  ASSERT_TRUE(run(kDefaultRawBudget)) << flat(report);
  ASSERT_EQ(s.P, kWide);
  ASSERT_EQ(s.RANK, kWide);
  const Eigen::MatrixXd x =
      data_.leftCols(kWide).rowwise() - data_.leftCols(kWide).colwise().mean();
  const Eigen::VectorXd y = data_.col(kWide).array() - data_.col(kWide).mean();
  const Eigen::VectorXd b = x.colPivHouseholderQr().solve(y);
  const Eigen::MatrixXd inverse = (x.transpose() * x).inverse();
  const double s2 = (y - x * b).squaredNorm() / (kRowsWide - kWide - 1);

  ModelResults results;
  ASSERT_TRUE(computeModelResults(s, {}, &results).ok());
  const FittedModel& f = results.fit;
  ASSERT_EQ(f.terms.size(), static_cast<std::size_t>(kWide) + 1);
  // The fit's error size: G M G' with M the component risk, built densely.
  const int r = s.RANK;
  Eigen::MatrixXd g(kWide, r), m = Eigen::MatrixXd::Zero(r, r);
  Eigen::VectorXd v = Eigen::VectorXd::Zero(r), floor(r);
  const double F = static_cast<double>(s.N - r - 3) / (s.N - r - 1);
  for (int i = 1; i <= r; ++i) {
    const double d = f.extent.delta[i], sv = s.SVAL.data[i];
    if (d < 1.0) v(i - 1) = (1.0 - d) * s.PCTSTAT.data[i] / sv;
    floor(i - 1) = (d / sv) * (d / sv);
    for (int a = 1; a <= kWide; ++a)
      g(a - 1, i - 1) = s.DCOS.data[a][i];
  }
  m = F * v * v.transpose();
  for (int i = 0; i < r; ++i) {
    const double sv = s.SVAL.data[i + 1];
    m(i, i) = std::max(m(i, i) + (2.0 * f.extent.delta[i + 1] - 1.0) / (sv * sv), floor(i));
  }
  Eigen::MatrixXd risk = g * m * g.transpose();
  for (int a = 0; a < kWide; ++a)
    risk(a, a) =
        std::max(risk(a, a), (g.row(a).array().square() * floor.transpose().array()).sum());

  for (int j = 1; j <= kWide; ++j) {
    const int c = s.XCOL[j] - 1;
    const FittedTerm& t = f.terms[static_cast<std::size_t>(j)];
    EXPECT_NEAR(t.leastSquares, b(c), 1e-8 * (1.0 + std::fabs(b(c)))) << j;
    const double se = std::sqrt(s2 * inverse(c, c));
    EXPECT_NEAR(t.leastSquaresSe, se, 1e-7 * se) << j;
    const double rmse = std::sqrt(s.S2OLS * risk(j - 1, j - 1));
    EXPECT_NEAR(t.rmse, rmse, 1e-7 * rmse) << j;
  }
  Eigen::VectorXd means(kWide);
  for (int j = 1; j <= kWide; ++j)
    means(j - 1) = s.XAVG.data[j];
  const double interceptRmse =
      std::sqrt(s.S2OLS / s.N + s.S2OLS * std::max(means.dot(risk * means), 0.0));
  EXPECT_NEAR(f.terms[0].rmse, interceptRmse, 1e-7 * interceptRmse);

  s.precision = Precision::kSingle;
  ReportLines single;
  EXPECT_FALSE(run(kDefaultRawBudget));
  EXPECT_NE(flat(single).find("201 columns to read; Tolvane takes at most 50 in single precision "
                              "(double precision takes"),
            std::string::npos)
      << flat(single);
}

}  // namespace
}  // namespace tolvane::test
