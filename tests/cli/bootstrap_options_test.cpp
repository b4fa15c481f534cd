#include "cli/bootstrap_options.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "cli/batch_options.hpp"
#include "cli/plot_options.hpp"
#include "cli/run_batch.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

struct BatchRun {
  test::TempDir dir;
  std::unique_ptr<AnalysisState> state = std::make_unique<AnalysisState>();
  std::string out, err;
  int status = -1;

  // tolvane-batch with these options after the input file; outputs in dir.
  int run(const std::string& example, std::vector<std::string> extra) {
    std::vector<std::string> args{"tolvane-batch",
                                  std::string(TOLVANE_SOURCE_DIR) + "/examples/" + example, "--out",
                                  dir.file("run")};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<const char*> argv;
    for (const std::string& a : args)
      argv.push_back(a.c_str());
    std::ostringstream o, e;
    int code = -1;
    const auto options = parseBatchOptions(static_cast<int>(argv.size()), argv.data(), o, e, &code);
    if (!options) {
      err = e.str();
      return status = code;
    }
    status = runBatch(*options, *state, o, e);
    out = o.str();
    err = e.str();
    return status;
  }
};

TEST(BootstrapOptions, IntervalsFollowEachPathInReportSummaryAndCsv) {
  BatchRun a;
  ASSERT_EQ(a.run("hald.ayq", {"--bootstrap", "40", "--seed", "7", "--level", "0.8", "--path",
                               "q=0:4", "--path", "lasso:1"}),
            kExitCompleted)
      << a.err;
  const std::string summary = a.dir.read("run.syq");
  // The block comes after each path's criteria table, the second after the
  // second path's.
  const std::size_t first = summary.find("40 resamples of the 13 observations (pairs), seed 7");
  const std::size_t lasso = summary.find("Tibshirani-like Generalized Lasso PATH.");
  const std::size_t second = summary.find("40 resamples", first + 1);
  ASSERT_NE(first, std::string::npos) << summary;
  ASSERT_NE(lasso, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, lasso);
  EXPECT_LT(lasso, second);
  EXPECT_NE(a.out.find("    Bootstrap Inference Intervals along the LASSO Shape Path:"),
            std::string::npos);
  EXPECT_NE(a.out.find("level 80%"), std::string::npos);
  ASSERT_TRUE(a.dir.has("run_path1_intervals.csv"));
  ASSERT_TRUE(a.dir.has("run_path2_intervals.csv"));
  // 4 predictors, 17 and 5 steps, and a header.
  const std::string csv1 = a.dir.read("run_path1_intervals.csv");
  EXPECT_EQ(std::count(csv1.begin(), csv1.end(), '\n'), 17 * 4 + 1);
  const std::string csv2 = a.dir.read("run_path2_intervals.csv");
  EXPECT_EQ(std::count(csv2.begin(), csv2.end(), '\n'), 5 * 4 + 1);

  // The same seed repeats every digit; another seed does not.
  BatchRun b;
  ASSERT_EQ(b.run("hald.ayq", {"--bootstrap", "40", "--seed", "7", "--level", "0.8", "--path",
                               "q=0:4", "--path", "lasso:1"}),
            kExitCompleted);
  EXPECT_EQ(b.dir.read("run_path1_intervals.csv"), csv1);
  BatchRun c;
  ASSERT_EQ(c.run("hald.ayq", {"--bootstrap", "40", "--seed", "8", "--level", "0.8"}),
            kExitCompleted);
  EXPECT_NE(c.dir.read("run_path1_intervals.csv"), csv1);
}

TEST(BootstrapOptions, TheExtentOptionChoosesForTheDataAndEveryResample) {
  BatchRun a;
  ASSERT_EQ(a.run("hald.ayq", {"--bootstrap", "20", "--extent", "1.5"}), kExitCompleted) << a.err;
  EXPECT_NE(a.out.find("    Extent (MCAL chosen): MCAL = 1.500"), std::string::npos) << a.out;
  EXPECT_NE(a.out.find("Chosen MCAL over the resamples:  5% 1.500  25% 1.500  50% 1.500"),
            std::string::npos);
}

TEST(BootstrapOptions, CsvGoesIntoTheTracesFolderWhenThereIsOne) {
  BatchRun a;
  ASSERT_EQ(a.run("hald.ayq", {"--bootstrap", "10", "--traces-csv", a.dir.file("csv")}),
            kExitCompleted)
      << a.err;
  EXPECT_TRUE(a.dir.has("csv/path1_intervals.csv"));
  EXPECT_FALSE(a.dir.has("run_path1_intervals.csv"));
}

TEST(BootstrapOptions, PlotsIncludeTheIntervalsChart) {
  if (!plotsAvailable()) GTEST_SKIP() << "built without the graph layer";
  BatchRun a;
  ASSERT_EQ(a.run("hald.ayq",
                  {"--bootstrap", "20", "--plots", a.dir.file("plots"), "--plot-format", "svg"}),
            kExitCompleted)
      << a.err;
  // The trace charts carry the path in their names.
  EXPECT_TRUE(a.dir.has("plots/path1_qshape_q0.0_4steps_cyq.svg"));
  ASSERT_TRUE(a.dir.has("plots/path1_intervals.svg"));
  EXPECT_NE(a.dir.read("plots/path1_intervals.svg").find("Inference Intervals"), std::string::npos);
}

// Data that cannot be resampled are refused before the analysis runs:
// nothing is written (the refusal used to come after the whole analysis).
TEST(BootstrapOptions, DataThatCannotBeResampledAreRefusedBeforeAnythingIsWritten) {
  BatchRun a;
  EXPECT_EQ(a.run("hald_xpx.ayq", {"--bootstrap", "10", "--traces-csv", "csv"}), kExitUsage);
  EXPECT_NE(a.err.find("tolvane-batch: --bootstrap: Inference intervals resample raw "
                       "observations; these data are cross-products."),
            std::string::npos)
      << a.err;
  EXPECT_FALSE(a.dir.has("run.syq"));
  EXPECT_FALSE(a.dir.has("run.myq"));
  EXPECT_FALSE(a.dir.has("run_path1_intervals.csv"));
  // Delimited text reduced to sums in one pass cannot be resampled either.
  BatchRun b;
  EXPECT_EQ(b.run("hald.csv", {"--bootstrap", "10", "--raw-memory", "0"}), kExitUsage);
  EXPECT_NE(b.err.find("reduced to cross-products in one pass. Raise --raw-memory"),
            std::string::npos)
      << b.err;
  EXPECT_FALSE(b.dir.has("run.syq"));
  // The same file held as raw data is resampled.
  BatchRun c;
  EXPECT_EQ(c.run("hald.csv", {"--bootstrap", "10"}), kExitCompleted) << c.err;
}

// With resampling the fit's CSV holds each term's interval at the chosen
// extent in the data's units, and the criteria CSV every digit of a double.
TEST(BootstrapOptions, FitCsvCarriesTheIntervalsAndCriteriaCsvSeventeenDigits) {
  BatchRun a;
  ASSERT_EQ(a.run("hald.ayq", {"--bootstrap", "200", "--traces-csv", a.dir.file("csv")}),
            kExitCompleted)
      << a.err;
  std::istringstream fit(a.dir.read("csv/path1_fit.csv"));
  std::string line;
  std::getline(fit, line);
  EXPECT_EQ(line, "term,least_squares,shrunken,ls_std_error,rmse,lower,upper");
  int terms = 0;
  while (std::getline(fit, line) && !line.empty()) {
    std::string name;
    std::istringstream cells(line);
    std::getline(cells, name, ',');
    double v[6];
    char comma;
    cells >> v[0] >> comma >> v[1] >> comma >> v[2] >> comma >> v[3] >> comma >> v[4] >> comma >>
        v[5];
    ASSERT_TRUE(cells) << line;
    ++terms;
    // In the data's units (the default scaling rescales): the band lies
    // around the shrunken value and is of the size of its error.
    EXPECT_LT(v[4], v[5]) << line;
    EXPECT_LT(v[4], v[1] + 4 * v[2]) << line;
    EXPECT_GT(v[5], v[1] - 4 * v[2]) << line;
    EXPECT_LT(v[5] - v[4], 8 * v[2]) << line;
    EXPECT_GT(v[5] - v[4], 0.05 * v[2]) << line;
  }
  EXPECT_EQ(terms, 5);
  // Without resampling the columns are not there.
  BatchRun b;
  ASSERT_EQ(b.run("hald.ayq", {"--traces-csv", b.dir.file("csv")}), kExitCompleted) << b.err;
  const std::string plain = b.dir.read("csv/path1_fit.csv");
  EXPECT_EQ(plain.rfind("term,least_squares,shrunken,ls_std_error,rmse\n", 0), 0u) << plain;
  std::istringstream criteria(b.dir.read("csv/path1_criteria.csv"));
  std::getline(criteria, line);
  std::getline(criteria, line);
  std::getline(criteria, line);  // step 2: MCAL 0.25, GCV of many digits
  const std::size_t gcvAt = line.find(',', line.find(',') + 1) + 1;
  const std::string gcv = line.substr(gcvAt, line.find(',', gcvAt) - gcvAt);
  const auto digits = std::count_if(gcv.begin(), gcv.begin() + std::min(gcv.find('e'), gcv.size()),
                                    [](char c) { return c >= '0' && c <= '9'; });
  EXPECT_GE(digits, 16) << line;
}

TEST(BootstrapOptions, BadCountsAndLevelsAreUsageErrors) {
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--bootstrap", "0"},
                                              {"--bootstrap", "x"},
                                              {"--level", "1.5"},
                                              {"--level", "0.1"},
                                              {"--seed", "-3"}}) {
    BatchRun a;
    EXPECT_EQ(a.run("hald.ayq", bad), kExitUsage) << bad[0] << " " << bad[1];
    EXPECT_FALSE(a.dir.has("run.syq"));
  }
}

}  // namespace
}  // namespace tolvane
