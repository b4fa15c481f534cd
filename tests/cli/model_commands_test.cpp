// The model options of tolvane-batch end to end: --extent, the model CSV
// files, --save-model, and predict with a saved model, including the bad
// input each must refuse without emptying what was written.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "cli/predict_command.hpp"
#include "cli/run_batch.hpp"
#include "model/file_digest.hpp"
#include "support/input_test_support.hpp"

namespace tolvane {
namespace {

struct BatchRun {
  test::TempDir dir;
  std::unique_ptr<AnalysisState> state = std::make_unique<AnalysisState>();
  BatchOptions options;
  std::string out, err;

  explicit BatchRun(const std::string& example) {
    options.input = test::sourceFile("examples/" + example);
    options.out = dir.file("run");
  }
  int run() {
    std::ostringstream o, e;
    const int status = runBatch(options, *state, o, e);
    out = o.str();
    err = e.str();
    return status;
  }
};

struct Predict {
  std::string err;
  int run(std::vector<std::string> args) {
    std::vector<const char*> argv{"predict"};
    for (const std::string& a : args)
      argv.push_back(a.c_str());
    std::ostringstream o, e;
    const int status = runPredict(static_cast<int>(argv.size()), argv.data(), o, e);
    err = e.str();
    return status;
  }
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    out.push_back(line);
  return out;
}

TEST(ModelCommands, ExtentChoicesReportTheFitAndBadOnesAreUsageErrorsThatKeepTheSummary) {
  {
    BatchRun r("hald.ayq");
    r.options.path.extent = "2.125";
    ASSERT_EQ(r.run(), kExitCompleted) << r.err;
    EXPECT_NE(r.out.find("    Fit at MCAL = 2.125 (MCAL chosen)"), std::string::npos);
    EXPECT_NE(r.dir.read("run.syq").find("Fit at MCAL = 2.125 (MCAL chosen)"), std::string::npos);
    EXPECT_NE(r.dir.read("run.syq").find("Comparison Criteria for Extent of Shrinkage"),
              std::string::npos);
  }
  {
    BatchRun r("hald.ayq");
    r.options.path.extent = "4.5";
    EXPECT_EQ(r.run(), kExitUsage);
    EXPECT_NE(r.err.find("--extent 4.5: the extent MCAL = 4.5 lies outside [0, RANK] = [0, 4]"),
              std::string::npos)
        << r.err;
    // The analysis and the path were written before the extent was refused.
    EXPECT_NE(r.dir.read("run.syq").find("R-squared Statistic = 0.9824"), std::string::npos);
  }
  {
    BatchRun r("hald_xpx.ayq");
    r.options.path.extent = "loo";
    EXPECT_EQ(r.run(), kExitUsage);
    EXPECT_NE(r.err.find("cross-products have none"), std::string::npos) << r.err;
  }
  {
    BatchRun r("hald.ayq");
    r.options.path.extent = "gcv";
    r.options.path.paths = {"q=1:4", "garrote:8"};
    ASSERT_EQ(r.run(), kExitCompleted) << r.err;
    EXPECT_NE(r.err.find("path 2 (garrote) traced in 33 steps; extent MCAL = "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("(GCV minimum)"), std::string::npos) << r.err;
  }
}

TEST(ModelCommands, CsvFilesHoldTheCriteriaTheFitAndTheFittedValues) {
  BatchRun r("plant.ayq");
  r.options.path.tracesCsv = r.dir.file("csv");
  ASSERT_EQ(r.run(), kExitCompleted) << r.err;
  const std::vector<std::string> criteria = lines(r.dir.read("csv/path1_criteria.csv"));
  ASSERT_EQ(static_cast<int>(criteria.size()), r.state->NSTEPS + 1);
  EXPECT_EQ(criteria[0], "step,MCAL,GCV,PRESS,AIC,BIC");
  const std::vector<std::string> fit = lines(r.dir.read("csv/path1_fit.csv"));
  EXPECT_EQ(fit[0], "term,least_squares,shrunken,ls_std_error,rmse");
  EXPECT_EQ(fit[1].rfind("Intercept,", 0), 0u);
  const std::vector<std::string> fitted = lines(r.dir.read("csv/path1_fitted.csv"));
  EXPECT_EQ(static_cast<int>(fitted.size()), r.state->N + 1);
}

// Scoring the data a model was fitted to gives its fitted values back, and
// the residuals against the response in the data.
TEST(ModelCommands, SavedModelScoresItsOwnDataToItsFittedValues) {
  BatchRun r("hald.ayq");
  r.options.path.tracesCsv = r.dir.file("csv");
  r.options.saveModel = r.dir.file("model.json");
  ASSERT_EQ(r.run(), kExitCompleted) << r.err;
  const std::string model = r.dir.read("model.json");
  EXPECT_NE(model.find("\"format_version\": 1"), std::string::npos);
  const StatusOr<std::string> digest = sha256OfFile(r.options.input);
  ASSERT_TRUE(digest) << digest.message();
  EXPECT_NE(model.find(*digest), std::string::npos);

  Predict p;
  ASSERT_EQ(p.run({"--model", r.dir.file("model.json"), "--data", r.options.input, "--out",
                   r.dir.file("pred.csv")}),
            kExitCompleted)
      << p.err;
  EXPECT_NE(p.err.find("13 rows scored"), std::string::npos) << p.err;
  const std::vector<std::string> pred = lines(r.dir.read("pred.csv"));
  const std::vector<std::string> fitted = lines(r.dir.read("csv/path1_fitted.csv"));
  ASSERT_EQ(pred.size(), 14u);
  EXPECT_EQ(pred[0], "line,prediction,residual");
  for (std::size_t i = 1; i < pred.size(); ++i) {
    int line = 0, obs = 0;
    double prediction = 0, residual = 0, y = 0, value = 0, res = 0;
    ASSERT_EQ(std::sscanf(pred[i].c_str(), "%d,%lf,%lf", &line, &prediction, &residual), 3);
    ASSERT_EQ(std::sscanf(fitted[i].c_str(), "%d,%lf,%lf,%lf", &obs, &y, &value, &res), 4);
    EXPECT_EQ(line, static_cast<int>(i) + 3);  // observations start on line 4
    EXPECT_NEAR(prediction, value, 1e-9 * std::fabs(value));
    // The analysis holds the response in single precision, scoring reads it
    // as written.
    EXPECT_NEAR(residual, res, 1e-7 * std::fabs(y) + 1e-9);
  }
}

// Delimited text: columns in any order, a text column the model does not
// use, and a row with an empty value, which keeps its line with an empty
// prediction.
TEST(ModelCommands, PredictReadsCsvWithExtraColumnsAndMissingValues) {
  BatchRun r("hald.ayq");
  r.options.saveModel = r.dir.file("model.json");
  ASSERT_EQ(r.run(), kExitCompleted) << r.err;
  r.dir.write("new.csv",
              "site,x4,x3,x2,x1\n"
              "\"north, upper\",60,6,26,7\n"
              "south,52,15,,1\n"
              "east,20,8,56,11\n");
  Predict p;
  ASSERT_EQ(p.run({"--model", r.dir.file("model.json"), "--data", r.dir.file("new.csv"), "--out",
                   r.dir.file("pred.csv")}),
            kExitCompleted)
      << p.err;
  EXPECT_NE(p.err.find("3 rows scored"), std::string::npos) << p.err;
  EXPECT_NE(p.err.find("1 row lacks a predictor value and has an empty prediction"),
            std::string::npos)
      << p.err;
  const std::vector<std::string> pred = lines(r.dir.read("pred.csv"));
  ASSERT_EQ(pred.size(), 4u);
  EXPECT_EQ(pred[0], "line,prediction");
  EXPECT_EQ(pred[2], "3,");
  // The first and last rows are Hald's observations 1 and 3: their fitted
  // values.
  const std::vector<std::string> again = [&] {
    Predict own;
    EXPECT_EQ(own.run({"--model", r.dir.file("model.json"), "--data", r.options.input, "--out",
                       r.dir.file("own.csv")}),
              kExitCompleted);
    return lines(r.dir.read("own.csv"));
  }();
  double first = 0, own = 0;
  ASSERT_EQ(std::sscanf(pred[1].c_str(), "2,%lf", &first), 1);
  ASSERT_EQ(std::sscanf(again[1].c_str(), "4,%lf", &own), 1);
  EXPECT_DOUBLE_EQ(first, own);
  double a = 0, b = 0;
  ASSERT_EQ(std::sscanf(pred[3].c_str(), "4,%lf", &a), 1);
  ASSERT_EQ(std::sscanf(again[3].c_str(), "6,%lf", &b), 1);
  EXPECT_DOUBLE_EQ(a, b);
}

TEST(ModelCommands, PredictRefusesBadModelsAndDataWithAUsageStatusAndKeepsTheOldOutput) {
  BatchRun r("hald.ayq");
  r.options.saveModel = r.dir.file("model.json");
  ASSERT_EQ(r.run(), kExitCompleted) << r.err;
  const std::string good = r.dir.read("model.json");
  r.dir.write("pred.csv", "earlier results\n");
  const auto predict = [&](const std::string& model, const std::string& data) {
    Predict p;
    const int status = p.run({"--model", model, "--data", data, "--out", r.dir.file("pred.csv")});
    EXPECT_EQ(r.dir.read("pred.csv"), "earlier results\n");
    EXPECT_EQ(status, kExitUsage) << p.err;
    return p.err;
  };
  const std::string hald = r.options.input;
  r.dir.write("notjson.json", "{ \"format\": ");
  EXPECT_NE(predict(r.dir.file("notjson.json"), hald).find("notjson.json: not a JSON file"),
            std::string::npos);
  std::string v2 = good;
  v2.replace(v2.find("\"format_version\": 1"), 19, "\"format_version\": 2");
  r.dir.write("v2.json", v2);
  EXPECT_NE(predict(r.dir.file("v2.json"), hald)
                .find("format version 2; this program reads "
                      "version 1"),
            std::string::npos);
  std::string noCoef = good;
  const std::size_t second = noCoef.find("\"coefficient\"", noCoef.find("\"predictors\""));
  noCoef.replace(second, 13, "\"coefficiant\"");
  r.dir.write("nocoef.json", noCoef);
  EXPECT_NE(
      predict(r.dir.file("nocoef.json"), hald).find("missing field predictors[0].coefficient"),
      std::string::npos);
  // Data without x2 and x4 (an extra column is ignored, the lack is not).
  r.dir.write("less.ayq",
              "4 variables\n5 observations\nx1 x3 y z\n1 2 3 4\n1 2 3 4\n2 3 4 5\n"
              "3 4 5 6\n4 5 6 8\n");
  EXPECT_NE(predict(r.dir.file("model.json"), r.dir.file("less.ayq"))
                .find("lacks the model's predictors x2, x4"),
            std::string::npos);
  r.dir.write("bad.ayq",
              "5 variables\n5 observations\nx1 x2 x3 x4 y\n1 2 3 4 5\n1 2 3 4 5\n"
              "1 2 oops 4 5\n1 2 3 4 5\n1 2 3 4 5\n");
  const std::string bad = predict(r.dir.file("model.json"), r.dir.file("bad.ayq"));
  EXPECT_NE(bad.find("line 6"), std::string::npos) << bad;
  EXPECT_NE(bad.find("oops"), std::string::npos) << bad;
  Predict missing;
  EXPECT_EQ(missing.run({"--model", r.dir.file("model.json")}), kExitUsage);
}

}  // namespace
}  // namespace tolvane
