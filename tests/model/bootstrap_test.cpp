// Case resampling along the path: the draws, the intervals against least
// squares computed here on the same resamples, the same bits for any seed
// repeat and any number of threads, the count of degenerate resamples, and
// the refusal of cross-product data.
#include "model/bootstrap.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "bootstrap_support.hpp"
#include "engine/extent_criteria.hpp"
#include "model/bootstrap_report.hpp"
#include "support/file_size_limit.hpp"
#include "support/refused_threads.hpp"

namespace tolvane {
namespace {

using test::analyseExample;
using test::analyseRows;
using test::linearModelRows;
using test::Normal;
using test::PathPick;

TEST(ResampleRows, SameDrawsForSeedAndIndexAloneAndEvenlySpread) {
  std::vector<int> a, b, c;
  resampleRows(7, 3, 50, &a);
  resampleRows(7, 4, 50, &b);
  resampleRows(7, 3, 50, &c);
  EXPECT_EQ(a, c);
  EXPECT_NE(a, b);
  resampleRows(8, 3, 50, &c);
  EXPECT_NE(a, c);
  for (int v : a) {
    EXPECT_GE(v, 0);
    EXPECT_LT(v, 50);
  }
  // 7000 resamples of 7 rows: each row about 7000 times; the standard
  // deviation of a count is about 78, so 5 of them is far outside chance.
  std::vector<int> counts(7, 0);
  std::vector<int> rows;
  for (int index = 0; index < 7000; ++index) {
    resampleRows(1, index, 7, &rows);
    for (int r : rows)
      ++counts[r];
  }
  for (int count : counts)
    EXPECT_NEAR(count, 7000, 400);
}

TEST(Quantile, InterpolatesBetweenOrderStatistics) {
  std::vector<float> v{5, 1, 4, 2, 3};
  EXPECT_DOUBLE_EQ(quantileOf(v, 0.5), 3.0);
  v = {5, 1, 4, 2, 3};
  EXPECT_DOUBLE_EQ(quantileOf(v, 0.0), 1.0);
  v = {5, 1, 4, 2, 3};
  EXPECT_DOUBLE_EQ(quantileOf(v, 1.0), 5.0);
  v = {5, 1, 4, 2, 3};
  EXPECT_DOUBLE_EQ(quantileOf(v, 0.1), 1.4);  // h = 0.4 between 1 and 2
  v = {};
  EXPECT_TRUE(std::isnan(quantileOf(v, 0.5)));
}

// Least squares with an intercept, in double, by the normal equations of
// the centred data: the coefficients in the data's own units.
std::vector<double> olsCoefficients(const std::vector<std::vector<double>>& rows,
                                    const std::vector<int>& pick) {
  const int p = static_cast<int>(rows[0].size()) - 1;
  const double n = static_cast<double>(pick.size());
  std::vector<double> mean(p + 1, 0.0);
  for (int r : pick)
    for (int j = 0; j <= p; ++j)
      mean[j] += rows[r][j] / n;
  std::vector<std::vector<double>> a(p, std::vector<double>(p + 1, 0.0));
  for (int r : pick) {
    for (int i = 0; i < p; ++i) {
      const double xi = rows[r][i] - mean[i];
      for (int j = 0; j < p; ++j)
        a[i][j] += xi * (rows[r][j] - mean[j]);
      a[i][p] += xi * (rows[r][p] - mean[p]);
    }
  }
  for (int k = 0; k < p; ++k) {
    for (int i = k + 1; i < p; ++i) {
      const double f = a[i][k] / a[k][k];
      for (int j = k; j <= p; ++j)
        a[i][j] -= f * a[k][j];
    }
  }
  std::vector<double> b(p, 0.0);
  for (int i = p - 1; i >= 0; --i) {
    double s = a[i][p];
    for (int j = i + 1; j < p; ++j)
      s -= a[i][j] * b[j];
    b[i] = s / a[i][i];
  }
  return b;
}

double type7(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const double h = (v.size() - 1) * p;
  const std::size_t lo = static_cast<std::size_t>(h);
  const double hi = lo + 1 < v.size() ? v[lo + 1] : v[lo];
  return v[lo] + (h - lo) * (hi - v[lo]);
}

class Simulated : public ::testing::Test {
 protected:
  void SetUp() override {
    Normal draw(11);
    rows = linearModelRows(draw, 40, {1.0, -0.5, 0.25}, 0.5, 1.0);
  }
  std::vector<std::vector<double>> rows;
  AnalysisState s;
};

TEST_F(Simulated, LeastSquaresIntervalsAreThoseOfTheSameResamplesFittedHere) {
  // On the given scale the MCAL = 0 row is plain least squares with an
  // intercept, which this test fits on each resample independently.
  ASSERT_TRUE(analyseRows(s, rows, PathPick{}, kReExpress));
  BootstrapSettings settings;
  settings.resamples = 200;
  settings.seed = 5;
  settings.level = 0.8;
  settings.threads = 2;
  const auto r = runBootstrap(s, settings, {});
  ASSERT_TRUE(r) << r.message();
  EXPECT_EQ(r->used, 200);
  EXPECT_EQ(r->failed(), 0);
  EXPECT_FALSE(r->unreliable());

  std::vector<std::vector<double>> coef(3);
  std::vector<int> pick;
  for (int b = 0; b < 200; ++b) {
    resampleRows(5, b, 40, &pick);
    const std::vector<double> beta = olsCoefficients(rows, pick);
    for (int j = 0; j < 3; ++j)
      coef[j].push_back(beta[j]);
  }
  for (int j = 1; j <= 3; ++j) {
    SCOPED_TRACE(j);
    const std::size_t c = r->cell(1, j);
    // Single-precision data and analysis: agreement to a few parts in 10^5.
    const double tol = 2e-4 * (1.0 + std::fabs(r->median[c]));
    EXPECT_NEAR(r->lower[c], type7(coef[j - 1], 0.1), tol);
    EXPECT_NEAR(r->median[c], type7(coef[j - 1], 0.5), tol);
    EXPECT_NEAR(r->upper[c], type7(coef[j - 1], 0.9), tol);
    EXPECT_NEAR(r->estimate[c],
                olsCoefficients(rows,
                                [] {
                                  std::vector<int> all(40);
                                  for (int i = 0; i < 40; ++i)
                                    all[i] = i;
                                  return all;
                                }())[j - 1],
                tol);
    // Full shrinkage leaves nothing to vary.
    const std::size_t last = r->cell(r->nsteps, j);
    EXPECT_EQ(r->lower[last], 0.0);
    EXPECT_EQ(r->upper[last], 0.0);
  }
}

TEST_F(Simulated, IntervalsHoldTheirMediansAndTheChosenMcalIsOnThePath) {
  ASSERT_TRUE(analyseRows(s, rows));
  BootstrapSettings settings;
  settings.resamples = 100;
  const auto r = runBootstrap(s, settings, {});
  ASSERT_TRUE(r) << r.message();
  for (std::size_t c = 0; c < r->lower.size(); ++c) {
    EXPECT_LE(r->lower[c], r->median[c]);
    EXPECT_LE(r->median[c], r->upper[c]);
  }
  for (int j = 0; j < r->P; ++j) {
    EXPECT_LE(r->chosenLower[j], r->chosenMedian[j]);
    EXPECT_LE(r->chosenMedian[j], r->chosenUpper[j]);
  }
  // CLIK by default: its minimum on the data's own table.
  EXPECT_DOUBLE_EQ(r->chosenMcal, r->mcalOf(extentMinima(s.THREEYQ, s.RANK).clikStep));
  for (int j = 1; j <= r->P; ++j) {
    EXPECT_NEAR(r->chosenEstimate[j - 1], s.CYQ.data[extentMinima(s.THREEYQ, s.RANK).clikStep][j],
                1e-5);
  }
  for (int i = 0; i < 5; ++i) {
    EXPECT_GE(r->mcalQuantiles[i], 0.0);
    EXPECT_LE(r->mcalQuantiles[i], r->rank);
    if (i > 0) {
      EXPECT_LE(r->mcalQuantiles[i - 1], r->mcalQuantiles[i]);
    }
  }
}

TEST_F(Simulated, AFixedExtentGivesTheIntervalsOfItsStepAndAnotherCriterionItsOwnChoice) {
  ASSERT_TRUE(analyseRows(s, rows));  // four steps per unit of MCAL
  BootstrapSettings settings;
  settings.resamples = 80;
  settings.extent.criterion = ExtentCriterion::kMcal;
  settings.extent.mcal = 1.0;
  const auto fixed = runBootstrap(s, settings, {});
  ASSERT_TRUE(fixed) << fixed.message();
  for (double q : fixed->mcalQuantiles)
    EXPECT_EQ(q, 1.0);
  for (int j = 1; j <= fixed->P; ++j) {
    const std::size_t c = fixed->cell(5, j);
    // The trace is held in single precision, the chosen extent in double.
    EXPECT_NEAR(fixed->chosenLower[j - 1], fixed->lower[c], 1e-6);
    EXPECT_NEAR(fixed->chosenUpper[j - 1], fixed->upper[c], 1e-6);
    EXPECT_NEAR(fixed->chosenEstimate[j - 1], fixed->estimate[c], 1e-5);
  }

  settings.extent.criterion = ExtentCriterion::kGcv;
  const auto gcv = runBootstrap(s, settings, {});
  ASSERT_TRUE(gcv) << gcv.message();
  EXPECT_EQ(gcv->extentLabel, extentRequestLabel(settings.extent));
  EXPECT_LE(gcv->mcalQuantiles[0], gcv->mcalQuantiles[4]);

  settings.extent.criterion = ExtentCriterion::kMcal;
  settings.extent.mcal = 7.0;  // beyond the rank
  const auto outside = runBootstrap(s, settings, {});
  EXPECT_FALSE(outside);
  EXPECT_NE(outside.message().find("outside"), std::string::npos) << outside.message();
}

bool sameBits(const BootstrapResult& a, const BootstrapResult& b) {
  auto same = [](const std::vector<double>& x, const std::vector<double>& y) {
    return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0;
  };
  return same(a.lower, b.lower) && same(a.median, b.median) && same(a.upper, b.upper) &&
         same(a.chosenLower, b.chosenLower) && same(a.chosenMedian, b.chosenMedian) &&
         same(a.chosenUpper, b.chosenUpper) &&
         std::memcmp(a.mcalQuantiles, b.mcalQuantiles, sizeof a.mcalQuantiles) == 0 &&
         a.used == b.used && a.failed() == b.failed();
}

TEST_F(Simulated, SameSeedSameBitsForAnyNumberOfThreads) {
  ASSERT_TRUE(analyseRows(s, rows));
  BootstrapSettings settings;
  settings.resamples = 60;
  settings.seed = 99;
  settings.threads = 1;
  const auto one = runBootstrap(s, settings, {});
  ASSERT_TRUE(one) << one.message();
  for (int threads : {1, 2, 3, 4, 8}) {
    SCOPED_TRACE(threads);
    settings.threads = threads;
    const auto again = runBootstrap(s, settings, {});
    ASSERT_TRUE(again) << again.message();
    EXPECT_TRUE(sameBits(*one, *again));
  }
  // Threads the system refuses, none or all but one, with and without
  // progress (with it the calling thread only watches while it can).
  const BootstrapProgress counting = [](int, int) { return true; };
  for (int allowed : {0, 1}) {
    for (const BootstrapProgress* progress :
         {static_cast<const BootstrapProgress*>(nullptr), &counting}) {
      SCOPED_TRACE(::testing::Message() << allowed << " threads allowed"
                                        << (progress != nullptr ? ", with progress" : ""));
      test::RefusedThreads refused(allowed);
      settings.threads = 8;
      const auto again =
          runBootstrap(s, settings, progress != nullptr ? *progress : BootstrapProgress{});
      ASSERT_TRUE(again) << again.message();
      EXPECT_TRUE(sameBits(*one, *again));
      EXPECT_GT(refused.asked(), allowed);
    }
  }
  settings.seed = 100;
  const auto other = runBootstrap(s, settings, {});
  ASSERT_TRUE(other);
  EXPECT_FALSE(sameBits(*one, *other));
}

TEST_F(Simulated, SinglePrecisionResamplesRoundAsTheDataDidOnAnyThread) {
  s.precision = Precision::kSingle;
  {
    PrecisionScope single(Precision::kSingle);
    ASSERT_TRUE(analyseRows(s, rows));
  }
  BootstrapSettings settings;
  settings.resamples = 30;
  settings.threads = 1;
  const auto one = runBootstrap(s, settings, {});
  ASSERT_TRUE(one) << one.message();
  settings.threads = 3;
  const auto three = runBootstrap(s, settings, {});
  ASSERT_TRUE(three) << three.message();
  EXPECT_TRUE(sameBits(*one, *three));

  // The same data in double precision: close, but not the same bits.
  AnalysisState d;
  ASSERT_TRUE(analyseRows(d, rows));
  const auto dbl = runBootstrap(d, settings, {});
  ASSERT_TRUE(dbl) << dbl.message();
  EXPECT_FALSE(sameBits(*one, *dbl));
  for (std::size_t c = 0; c < one->median.size(); ++c)
    EXPECT_NEAR(one->median[c], dbl->median[c], 1e-4 * (1.0 + std::fabs(dbl->median[c])));
}

TEST_F(Simulated, ProgressCountsUpAndACancelLeavesNoResult) {
  ASSERT_TRUE(analyseRows(s, rows));
  BootstrapSettings settings;
  settings.resamples = 40;
  settings.threads = 2;
  std::vector<int> seen;
  const auto r = runBootstrap(s, settings, [&](int done, int total) {
    EXPECT_EQ(total, 40);
    seen.push_back(done);
    return true;
  });
  ASSERT_TRUE(r);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 40);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

  const auto cancelled = runBootstrap(s, settings, [](int, int) { return false; });
  EXPECT_FALSE(cancelled);
  EXPECT_EQ(cancelled.status.code, StatusCode::kCancelled);
  EXPECT_NE(cancelled.message().find("cancelled"), std::string::npos) << cancelled.message();
}

// Resamples that miss row `k` of n, counted here from the same draws.
int resamplesWithout(std::uint64_t seed, int count, int n, int k) {
  int missing = 0;
  std::vector<int> pick;
  for (int b = 0; b < count; ++b) {
    resampleRows(seed, b, n, &pick);
    if (std::find(pick.begin(), pick.end(), k) == pick.end()) ++missing;
  }
  return missing;
}

TEST(DegenerateResamples, ARowThatAloneMovesAPredictorIsCountedWhenLeftOut) {
  // x3 is x1 except in row 7: a resample without row 7 has x3 = x1 and
  // loses an axis; x4 is 0 except in row 12: without row 12 it is constant
  // and cannot be rescaled. Both are counted, none silently dropped.
  Normal draw(3);
  std::vector<std::vector<double>> rows = linearModelRows(draw, 20, {1.0, 0.5}, 0.3, 1.0);
  for (int i = 0; i < 20; ++i) {
    std::vector<double>& r = rows[i];
    const double y = r[2];
    r.resize(2);
    r.push_back(r[0] + (i == 7 ? 1.5 : 0.0));
    r.push_back(i == 12 ? 1.0 : 0.0);
    r.push_back(y);
  }
  AnalysisState s;
  ASSERT_TRUE(analyseRows(s, rows));
  ASSERT_EQ(s.RANK, 4);
  BootstrapSettings settings;
  settings.resamples = 300;
  settings.seed = 17;
  const auto r = runBootstrap(s, settings, {});
  ASSERT_TRUE(r) << r.message();

  int constant = 0, collinear = 0;
  std::vector<int> pick;
  for (int b = 0; b < 300; ++b) {
    resampleRows(17, b, 20, &pick);
    const bool has7 = std::find(pick.begin(), pick.end(), 7) != pick.end();
    const bool has12 = std::find(pick.begin(), pick.end(), 12) != pick.end();
    if (!has12) {
      ++constant;  // the model stops first
    } else if (!has7) {
      ++collinear;
    }
  }
  ASSERT_EQ(resamplesWithout(17, 300, 20, 12), constant);
  EXPECT_EQ(r->modelStopped, constant);
  EXPECT_EQ(r->rankDropped, collinear);
  EXPECT_EQ(r->used + r->failed(), 300);
  EXPECT_EQ(r->used, 300 - constant - collinear);
  EXPECT_TRUE(r->unreliable());

  std::vector<std::string> lines;
  {
    ReportCapture capture(&lines);
    reportBootstrap(s, *r, "");
  }
  std::string text;
  for (const std::string& l : lines)
    text += l + "\n";
  EXPECT_NE(text.find("intervals are unreliable"), std::string::npos) << text;
  EXPECT_NE(text.find("rank dropped " + std::to_string(collinear)), std::string::npos) << text;
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-boot-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string dir;
  AnalysisState s;
};

TEST_F(Files, CrossProductDataCannotBeResampled) {
  ASSERT_TRUE(analyseExample(s, "hald_xpx.ayq", dir));
  const Status why = resamplingStatus(s);
  EXPECT_NE(why.message.find("cross-products"), std::string::npos) << why.message;
  const auto refused = runBootstrap(s, BootstrapSettings{}, {});
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.message(), why.message);
}

TEST_F(Files, ReportAndSummaryBlockAndOneCsvRowPerStepAndPredictor) {
  ASSERT_TRUE(analyseExample(s, "hald.ayq", dir));
  EXPECT_TRUE(resamplingStatus(s).ok());
  BootstrapSettings settings;
  settings.resamples = 50;
  settings.seed = 1234;
  const auto r = runBootstrap(s, settings, {});
  ASSERT_TRUE(r) << r.message();

  std::fflush(s.files.SUMMFILE);
  const std::string summaryPath = dir + "/" + s.files.SUMMNAME;
  const auto before = std::filesystem::file_size(summaryPath);
  std::vector<std::string> lines;
  {
    ReportCapture capture(&lines);
    reportBootstrap(s, *r, "hald_path1_intervals.csv");
  }
  std::fflush(s.files.SUMMFILE);
  std::ifstream in(summaryPath);
  std::stringstream all;
  all << in.rdbuf();
  const std::string added = all.str().substr(before);
  EXPECT_NE(added.find("50 resamples of the 13 observations (pairs), seed 1234, level 90%"),
            std::string::npos)
      << added;
  for (const std::string& l : lines)
    EXPECT_LE(l.size(), 80u) << l;
  std::string text;
  for (const std::string& l : lines)
    text += l + "\n";
  EXPECT_NE(text.find("    50 resamples of the 13 observations"), std::string::npos);
  EXPECT_NE(text.find("hald_path1_intervals.csv"), std::string::npos);
  EXPECT_EQ(text.find("unreliable"), std::string::npos);

  const std::string csv = dir + "/intervals.csv";
  const Status written = writeBootstrapCsv(*r, csv);
  ASSERT_TRUE(written.ok()) << written.message;
  std::ifstream file(csv);
  std::string line;
  std::getline(file, line);
  EXPECT_EQ(line, "step,MCAL,predictor,lower,median,upper");
  int count = 0;
  while (std::getline(file, line)) {
    ++count;
    std::istringstream fields(line);
    std::string step, mcal, name, lower;
    std::getline(fields, step, ',');
    std::getline(fields, mcal, ',');
    std::getline(fields, name, ',');
    std::getline(fields, lower, ',');
    const int st = std::stoi(step);
    const int j = (count - 1) % r->P + 1;
    EXPECT_EQ(name, s.XNAME[j]);
    EXPECT_DOUBLE_EQ(std::stod(mcal), r->mcalOf(st));
    EXPECT_NEAR(std::stod(lower), r->lower[r->cell(st, j)],
                1e-8 * (1 + std::fabs(std::stod(lower))));
  }
  EXPECT_EQ(count, r->nsteps * r->P);
  const Status refused = writeBootstrapCsv(*r, dir + "/no/such/folder/x.csv");
  EXPECT_FALSE(refused.ok());
  EXPECT_NE(refused.message.find("cannot write"), std::string::npos);
}

// The intervals file is put in place whole or not at all: written again
// over an earlier one, a write that fails part way (a limit on file sizes,
// as on a full disk) leaves the earlier file byte for byte and nothing
// beside it. A name that holds a quote is one quoted field.
TEST_F(Files, AnIntervalsFileThatFailsLeavesTheEarlierOneAsItWas) {
  BootstrapResult r;
  r.P = 2;
  r.nsteps = 40;
  r.msteps = 4;
  r.names = {"x1", "say\"hi"};
  for (int step = 1; step <= r.nsteps; ++step) {
    for (int j = 1; j <= r.P; ++j) {
      r.lower.push_back(-0.5 * step - j);
      r.median.push_back(0.25 * step);
      r.upper.push_back(0.5 * step + j);
    }
  }
  const std::string csv = dir + "/intervals.csv";
  Status why = writeBootstrapCsv(r, csv);
  ASSERT_TRUE(why.ok()) << why.message;
  std::ifstream in(csv);
  std::stringstream text;
  text << in.rdbuf();
  const std::string earlier = text.str();
  EXPECT_TRUE(
      earlier.starts_with("step,MCAL,predictor,lower,median,upper\n"
                          "1,0,x1,-1.5,0.25,1.5\n"
                          "1,0,\"say\"\"hi\",-2.5,0.25,2.5\n"))
      << earlier;

  r.upper[0] = 99.0;  // the new file would differ
  {
    test::FileSizeLimit limit(64);
    why = writeBootstrapCsv(r, csv);
  }
  EXPECT_FALSE(why.ok());
  EXPECT_EQ(why.message, "cannot write " + csv + ": File too large");
  std::ifstream again(csv);
  std::stringstream after;
  after << again.rdbuf();
  EXPECT_EQ(after.str(), earlier);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
    ++entries;
  EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace tolvane
